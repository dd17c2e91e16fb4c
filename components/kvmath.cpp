#include "components/kvmath.h"

#include <numbers>

#include "support/numstr.h"

void TKVMath::SetDefault(double value) {
    Default = value;
    Result = value;
}

void TKVMath::SetAngleMode(bool degrees) {
    AngleFactor = degrees ? std::numbers::pi / 180.0 : 1.0;
}

void TKVMath::actCalc(TData& data, uint16_t /*index*/) {
    // First operand first: when both fall back to the incoming value, a takes the first value of the
    // chain and b the next.
    const double a = ReadReal(data, pinOp1, Op1);
    const double b = ReadReal(data, pinOp2, Op2);
    Result = a * b;
    if (ResultType == 0)
        EmitInt(evResult, RoundToInt32(Result));
    else
        EmitReal(evResult, Result);
}

void TKVMath::getResult(TData& data, uint16_t /*index*/) {
    if (ResultType == 0)
        SetInteger(data, RoundToInt32(Result));
    else
        SetReal(data, Result);
}
