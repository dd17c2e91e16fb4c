#include "components/kvhub.h"

#include <algorithm>

#include "support/check.h"

void TKVHub::SetOutCount(uint8_t count) {
    evOut.resize(count);
    OutCount = count;
}

void TKVHub::actIn(TData& data, uint16_t /*index*/) {
    // OutCount is a plain field: a count beyond the array is a programmer's error, and the shipped
    // program still never reads past the array.
    EM_CHECK(OutCount <= evOut.size());
    const std::size_t count = std::min<std::size_t>(OutCount, evOut.size());
    for (std::size_t i = 0; i < count; ++i)
        EmitCopy(evOut[i], data);
}
