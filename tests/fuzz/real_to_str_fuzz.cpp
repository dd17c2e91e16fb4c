// Real-to-text: plain positional text, at most 15 significant digits, close to the value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/numstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(double)) return 0;
    double x;
    std::memcpy(&x, data, sizeof x);
    const std::string text = RealToStr(x);
    if (!std::isfinite(x)) return 0;
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
    return 0;
}
