// Numbers to text and back, with the program's own rules (no locale, no exponent, no failures).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Decimal digits, "-" for negatives; INT32_MIN converts correctly.
std::string IntToStr(int32_t value);

// One optional sign at the first position, then digits up to the first non-digit; wraps on overflow.
// No blank skipping; empty or non-numeric text gives 0.
int32_t StrToInt(std::string_view text);

// As StrToInt, but an empty text, or a zero value whose text does not start with "0", gives -1.
int32_t StrToIndex(std::string_view text);

// A scanning parser: digits, one ".", an exponent after "E"/"e"; every other character is skipped.
double StrToReal(std::string_view text);

// Positional notation, at most 15 significant digits, never an exponent, computed in 80-bit
// extended precision where the platform has it.
std::string RealToStr(long double value);

// The n lowest hexadecimal digits of value, upper case, zero-padded.
std::string IntToHex(uint32_t value, int digits);

// Round to nearest, ties to even, as a 64-bit integer whose low 32 bits are the result.
int32_t RoundToInt32(double value);
