#include "support/numstr.h"

#include <cfloat>
#include <cmath>

std::string IntToStr(int32_t value) {
    char buf[12];
    char* p = buf + sizeof buf;
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--p = '-';
    return std::string(p, buf + sizeof buf);
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int32_t StrToInt(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        i = 1;
    }
    uint32_t value = 0;  // unsigned, so overflow wraps without undefined behaviour
    for (; i < text.size() && IsDigit(text[i]); ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

int32_t StrToIndex(std::string_view text) {
    if (text.empty()) return -1;
    const int32_t value = StrToInt(text);
    if (value == 0 && text[0] != '0') return -1;
    return value;
}

namespace {

// value × 10^exponent without overflow traps: a result beyond the double range saturates.
long double ScaleByPowerOfTen(long double value, int32_t exponent) {
    if (value == 0.0L || exponent == 0) return value;
    const long double magnitude = std::log10(value);
    if (magnitude + exponent > DBL_MAX_10_EXP + 1) return HUGE_VALL;
    if (magnitude + exponent < DBL_MIN_10_EXP - 20) return 0.0L;
    return value * std::pow(10.0L, static_cast<long double>(exponent));
}

}  // namespace

double StrToReal(std::string_view text) {
    // Past this the value is beyond any double whatever exponent follows within reason; stop growing
    // so that a long run of digits cannot overflow the extended range.
    constexpr long double kCeiling = 1e4000L;
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
        negative = true;
        i = 1;
    }
    long double value = 0.0L;
    long double scale = 1.0L;
    bool fraction = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            const int digit = c - '0';
            if (!fraction) {
                if (value < kCeiling) value = value * 10.0L + digit;
            } else {
                scale *= 0.1L;
                value += digit * scale;
            }
        } else if (c == '.') {
            if (fraction) break;
            fraction = true;
        } else if (c == 'E' || c == 'e') {
            value = ScaleByPowerOfTen(value, StrToInt(text.substr(i + 1)));
            break;
        }
        // Any other character is skipped.
    }
    double result;
    if (value > static_cast<long double>(DBL_MAX))
        result = HUGE_VAL;  // assigned, not converted: an overflowing conversion would trap
    else
        result = static_cast<double>(value);
    return negative ? -result : result;
}

std::string RealToStr(long double x) {
    if (x == 0.0L) return "0";
    // Not in the program's flows; the scaling loops below would never end on them.
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";

    const bool negative = std::signbit(x);
    long double v = std::fabs(x);

    int e = 15;
    while (v < 5e12L) {
        v *= 10.0L;
        --e;
    }
    if (e == 15) {
        while (v >= 1e13L) {
            v /= 10.0L;
            ++e;
        }
    }
    long double r = std::nearbyint(v);
    while (r < 1e14L) {
        v *= 10.0L;
        --e;
        r = std::nearbyint(v);
    }
    auto n = static_cast<uint64_t>(r);
    if (n >= 1000000000000000ull) {  // a carry to 16 digits; keep 15 significant ones
        n = (n + 5) / 10;
        ++e;
    }

    char digits[15];
    for (int k = 14; k >= 0; --k) {
        digits[k] = static_cast<char>('0' + n % 10);
        n /= 10;
    }

    std::string out;
    out.reserve(40);
    if (e <= 0) {
        out.append("0.");
        out.append(static_cast<std::size_t>(-e), '0');
        out.append(digits, 15);
    } else if (e < 15) {
        out.append(digits, static_cast<std::size_t>(e));
        out.push_back('.');
        out.append(digits + e, static_cast<std::size_t>(15 - e));
    } else {
        out.append(digits, 15);
        out.append(static_cast<std::size_t>(e - 15), '0');
    }
    if (e < 15) {
        while (out.size() > 1 && out.back() == '0')
            out.pop_back();
        if (out.size() > 1 && out.back() == '.') out.pop_back();
    }
    if (negative) out.insert(out.begin(), '-');
    return out;
}

std::string IntToHex(uint32_t value, int digits) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (digits <= 0) return {};
    std::string out(static_cast<std::size_t>(digits), '0');
    for (int k = digits - 1; k >= 0 && k >= digits - 8; --k) {
        out[static_cast<std::size_t>(k)] = kHex[value & 0xF];
        value >>= 4;
    }
    return out;
}

int32_t RoundToInt32(double value) {
    // llrint rounds in the current mode (to nearest, ties to even); out of range it yields the
    // platform's "integer indefinite", whose low 32 bits are 0.
    const long long wide = std::llrint(value);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(wide)));
}
