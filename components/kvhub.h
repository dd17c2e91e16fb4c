// TKVHub: several inputs into one point, every arrival fanned out to its outlets in index order.
//
// Each outlet gets a copy of its own, and its whole chain ends before the next outlet fires, so a
// chain that consumes or overwrites its copy changes nothing for the outlets after it.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/event.h"
#include "runtime/tobject.h"

class TKVHub : public TObject {
public:
    uint8_t OutCount = 0;  // through SetOutCount only, so it always matches evOut
    uint8_t InCount = 0;   // inputs the scheme links; informational
    std::vector<TKV_Event> evOut;

    // Sizes the outlet array; new outlets start unlinked.
    void SetOutCount(uint8_t count);

    // Action entry for every input; the index tells the inputs apart and is not used.
    void actIn(TData& data, uint16_t index);
};
