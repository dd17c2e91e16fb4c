// Text-to-integer: never fails, reads only the sign position and the leading digits, and agrees with
// the integer-to-text rule. Text-to-index: the same, except that empty and non-numeric texts are
// "no index" (-1).
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

    TData d;
    SetString(d, text);
    if (ToInteger(d) != value || ToIndex(d) != index) abort();
    return 0;
}
