// TKVMemory: keeps a value when told to, passes it on, and starts out with a default.
//
// actValue stores what pinData yields when it is linked, otherwise the value that reached it; the
// stored value then goes to evData from the emit loop that called actValue.
#pragma once

#include <cstdint>

#include "runtime/event.h"
#include "runtime/tobject.h"

class TKVMemory : public TObject {
public:
    TData Value;    // the stored value
    TData Default;  // the starting value
    TKV_Event evData;
    TKV_Event pinData;

    // Sets both Default and Value: the memory holds its default until the first store.
    void SetDefault(const TData& value);

    // Action entry: stores and forwards to evData.
    void actValue(TData& data, uint16_t index);
};
