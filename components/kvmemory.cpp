#include "components/kvmemory.h"

#include <utility>

namespace {

// A kept value outlives the call that brought it: a chain or forwarding reference in it would
// point into someone's stack frame by the time it is read again.
void KeepOne(TData& field, TData value) {
    field = std::move(value);
    field.Next = nullptr;
    field.Target = nullptr;
}

}  // namespace

void TKVMemory::SetDefault(const TData& value) {
    KeepOne(Default, value);
    KeepOne(Value, value);
}

void TKVMemory::actValue(TData& data, uint16_t /*index*/) {
    KeepOne(Value, ReadData(data, pinData, nullptr));
    ForwardData(data, evData, Value);
}
