// Numbers and their texts, one input read three ways: as a real turned into text, as a text read as
// an integer and an index, and as a text read as a real.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/tdata.h"
#include "support/numstr.h"

namespace {

// Real-to-text: plain positional text, at most 15 significant digits, close to the value.
void RealToText(double x) {
    const std::string text = RealToStr(x);
    if (!std::isfinite(x)) return;
    if (text.empty()) abort();

    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == 1 && !std::signbit(x)) abort();
    int significant = 0, points = 0;
    bool leading = true;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            ++points;
            continue;
        }
        if (c < '0' || c > '9') abort();  // no exponent, no blanks
        if (c != '0') leading = false;
        if (!leading) ++significant;
    }
    if (points > 1) abort();
    if (points == 1 && (text.back() == '0' || text.back() == '.')) abort();
    if (x != 0 && significant > 15 && points == 1) abort();

    // Read back in extended precision: fifteen digits of DBL_MAX round above the double range.
    const long double back = std::strtold(text.c_str(), nullptr);
    if (x == 0) {
        if (text != "0") abort();
    } else if (std::fabs(back - x) > std::fabs(static_cast<long double>(x)) * 1e-14L) {
        abort();
    }
}

// Text-to-integer: never fails, reads only the sign position and the leading digits, and agrees with
// the integer-to-text rule. Text-to-index: the same, except that empty and non-numeric texts are
// "no index" (-1).
void TextToInteger(std::string_view text, const TData& d) {
    const int32_t value = StrToInt(text);
    std::size_t end = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    const std::size_t digitsFrom = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (StrToInt(text.substr(0, end)) != value) abort();

    // Up to nine digits cannot wrap: the value is exactly what strtol reads.
    if (end - digitsFrom <= 9) {
        const long expected = std::strtol(std::string(text.substr(0, end)).c_str(), nullptr, 10);
        if (end > digitsFrom && expected != value) abort();
    }
    if (StrToInt(IntToStr(value)) != value) abort();

    // A text that names index 0 starts with the digit 0.
    const int32_t index = StrToIndex(text);
    const bool none = text.empty() || (value == 0 && text[0] != '0');
    if (none ? index != -1 : index != value) abort();
    if (ToInteger(d) != value || ToIndex(d) != index) abort();
}

// Text-to-real: never fails, never traps, and reads plain decimal texts exactly enough.
void TextToReal(std::string_view text, const TData& d) {
    const double value = StrToReal(text);
    if (std::isnan(value)) abort();  // 0 × huge must not happen: a zero skips its exponent
    if (ToReal(d) != value) abort();

    // A text of at most 15 digits, one optional point and nothing else reads as strtod does.
    bool plain = !text.empty() && text.size() <= 16;
    int points = 0, digits = 0;
    for (char c : text) {
        if (c == '.')
            ++points;
        else if (c >= '0' && c <= '9')
            ++digits;
        else
            plain = false;
    }
    if (plain && points <= 1 && digits > 0 && digits <= 15) {
        const double expected = std::strtod(std::string(text).c_str(), nullptr);
        if (std::fabs(value - expected) > std::fabs(expected) * 1e-15) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= sizeof(double)) {
        double x;
        std::memcpy(&x, data, sizeof x);
        RealToText(x);
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TData d;
    SetString(d, text);
    TextToInteger(text, d);
    TextToReal(text, d);
    return 0;
}
