#include "scheme/faulttick.h"

#include <cstdlib>
#include <cstring>
#include <exception>

#include "runtime/tdata.h"

namespace {

enum class TWhere { Tick, Paint, Throw };

double Divided() {
    volatile double zero = 0.0;
    return 1.0 / zero;
}

struct TFaultTick {
    TKV_Event evTimer;
    int32_t Left = 50;
    TWhere Where = TWhere::Tick;
    TControl* Form = nullptr;
    bool PaintArmed = false;

    void actTick(TData& data, uint16_t /*index*/) {
        if (--Left == 0) {
            if (Where == TWhere::Tick) {
                SetReal(data, Divided());
            } else {
                PaintArmed = true;
                InvalidateRect(Form->Handle, nullptr, TRUE);
            }
        }
        Emit(evTimer, data);
    }
};
TFaultTick faultTick;

bool FaultPaint(TControl* /*self*/, MSG& msg, LRESULT& result) {
    if (msg.message != WM_PAINT || !faultTick.PaintArmed) return false;
    if (faultTick.Where == TWhere::Throw) throw std::exception();
    result = static_cast<LRESULT>(Divided());
    return true;
}

}  // namespace

void InsertFaultTick(TKV_Event& timerOutlet, TControl* form) {
    if (const char* tick = std::getenv("ECHOMETER_FAULT_TICK")) faultTick.Left = std::atoi(tick);
    if (const char* where = std::getenv("ECHOMETER_FAULT_IN")) {
        if (std::strcmp(where, "paint") == 0) faultTick.Where = TWhere::Paint;
        if (std::strcmp(where, "throw") == 0) faultTick.Where = TWhere::Throw;
    }
    faultTick.evTimer = timerOutlet;
    timerOutlet = MakeEvent<&TFaultTick::actTick>(&faultTick, 0);
    faultTick.Form = form;
    form->AttachHandler(&FaultPaint);
}
