// TPeriodIf_else: the comparator that checks a timer period in milliseconds against zero.
//
// The comparator refuses only a period of exactly zero. A period the timer cannot honour (under 1 ms
// once rounded, over 999 s, negative, or not a number) is compared as zero, so it is refused the same
// way, instead of starting a timer that never ticks while the start line and the lamp say it runs.
#pragma once

#include <cstdint>

#include "components/kvif_else.h"

class TPeriodIf_else : public TKVIf_else {
public:
    static constexpr double kMaxPeriodMs = 999000.0;
    void actCompare(TData& data, uint16_t index);
};
