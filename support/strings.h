// String primitives with 1-based positions; out-of-range arguments are clamped, never an error.
#pragma once

#include <string>
#include <string_view>

std::string Concat(std::string_view a, std::string_view b);

// The part of [start, start + count) (1-based) that lies inside the text.
std::string Copy(std::string_view text, int start, int count);

// Removes [start, start + count) (1-based); nothing when start <= 0, count <= 0 or start is past the end.
void Delete(std::string& text, int start, int count);

// 1-based position of the first occurrence of needle; 0 when needle is empty or absent.
int Pos(std::string_view needle, std::string_view haystack);

inline void AppendChar(std::string& text, char c) {
    text.push_back(c);
}
inline std::string CharToStr(char c) {
    return std::string(1, c);
}
