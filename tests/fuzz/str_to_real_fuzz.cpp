// Text-to-real: never fails, never traps, and reads plain decimal texts exactly enough. Whether a real
// turns into text and back is the real-to-text target's part.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/tdata.h"
#include "support/numstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = StrToReal(text);
    if (std::isnan(value)) abort();  // 0 × huge must not happen: a zero skips its exponent

    TData d;
    SetString(d, text);
    if (ToReal(d) != value && !(std::isnan(ToReal(d)) && std::isnan(value))) abort();

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

    return 0;
}
