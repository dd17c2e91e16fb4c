#include "scheme/faulttick.h"

#include <cstdlib>

#include "runtime/tdata.h"

namespace {

struct TFaultTick {
    TKV_Event evTimer;
    int32_t Left = 50;
    void actTick(TData& data, uint16_t /*index*/) {
        if (--Left == 0) {
            volatile double zero = 0.0;
            SetReal(data, 1.0 / zero);
        }
        Emit(evTimer, data);
    }
};
TFaultTick faultTick;

}  // namespace

void InsertFaultTick(TKV_Event& timerOutlet) {
    if (const char* tick = std::getenv("ECHOMETER_FAULT_TICK")) faultTick.Left = std::atoi(tick);
    faultTick.evTimer = timerOutlet;
    timerOutlet = MakeEvent<&TFaultTick::actTick>(&faultTick, 0);
}
