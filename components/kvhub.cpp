#include "components/kvhub.h"

#include <algorithm>

void TKVHub::SetOutCount(uint8_t count) {
    evOut.resize(count);
    OutCount = count;
}

void TKVHub::actIn(TData& data, uint16_t /*index*/) {
    // OutCount is a plain field: never trust it beyond the array it describes.
    const std::size_t count = std::min<std::size_t>(OutCount, evOut.size());
    for (std::size_t i = 0; i < count; ++i)
        EmitCopy(evOut[i], data);
}
