// Text-to-integer and text-to-index: never fail, and agree with the digits they were given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/tdata.h"
#include "support/numstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int32_t value = StrToInt(text);

    // Only the sign position and the leading digits count.
    std::size_t end = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (StrToInt(text.substr(0, end)) != value) abort();

    // The digits, when they fit, are the value.
    if (end <= 10 && value >= 0 && !(text.size() > 0 && text[0] == '-')) {
        const std::string digits(text.substr(text.empty() || text[0] != '+' ? 0 : 1, end));
        if (!digits.empty() && std::strtoll(digits.c_str(), nullptr, 10) <= INT32_MAX &&
            std::strtoll(digits.c_str(), nullptr, 10) != value)
            abort();
    }
    if (IntToStr(value) != std::string(IntToStr(StrToInt(IntToStr(value))))) abort();

    const int32_t index = StrToIndex(text);
    const bool none = text.empty() || (value == 0 && text[0] != '0');
    if (none ? index != -1 : index != value) abort();

    TData d;
    SetString(d, text);
    if (ToInteger(d) != value || ToIndex(d) != index) abort();
    return 0;
}
