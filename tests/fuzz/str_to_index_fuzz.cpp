// Text-to-index: the integer rule, except that empty and non-numeric texts are "no index" (-1).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/tdata.h"
#include "support/numstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int32_t index = StrToIndex(text);
    const int32_t value = StrToInt(text);
    const bool none = text.empty() || (value == 0 && text[0] != '0');
    if (none ? index != -1 : index != value) abort();
    // A text that names index 0 starts with the digit 0.
    if (index == 0 && text[0] != '0') abort();

    TData d;
    SetString(d, text);
    if (ToIndex(d) != index) abort();
    return 0;
}
