#include "components/periodif_else.h"

#include "runtime/tdata.h"

void TPeriodIf_else::actCompare(TData& data, uint16_t index) {
    // The timer takes the period rounded half to even: anything up to 0.5 ms becomes 0.
    const double ms = ToReal(data);
    if (!(ms > 0.5 && ms <= kMaxPeriodMs)) SetReal(data, 0.0);
    TKVIf_else::actCompare(data, index);
}
