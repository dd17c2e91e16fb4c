// TKVMath: combines two real operands and passes the result on.
//
// Only multiplication is ever asked for (seconds × 1000.0 for the timer period); Operation and the
// angle factor are kept as set but change nothing. Each operand comes from its pin, else from its
// default when that is not 0.0, else from the incoming value, which it consumes.
#pragma once

#include <cstdint>

#include "runtime/event.h"
#include "runtime/tobject.h"

class TKVMath : public TObject {
public:
    double Result = 0.0;  // the last product; Default until the first
    double Default = 0.0;
    double AngleFactor = 1.0;  // 1.0 for radians, pi/180 for degrees
    uint8_t Operation = 0;
    double Op1 = 0.0;        // default first operand
    double Op2 = 0.0;        // default second operand
    uint8_t ResultType = 0;  // 0: integer result (rounded half to even), 1: real
    TKV_Event evResult;
    TKV_Event pinOp1;
    TKV_Event pinOp2;

    // Sets Default and the result reported until the first calculation.
    void SetDefault(double value);
    void SetAngleMode(bool degrees);

    // Action entry: Result := Op1 × Op2 and fires evResult.
    void actCalc(TData& data, uint16_t index);
    // Value getter: the last result, in the form ResultType asks for.
    void getResult(TData& data, uint16_t index);
};
