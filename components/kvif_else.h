// TKVIf_else: compares two values under one of six relations and passes the value it was called
// with, unchanged, to evTrue or evFalse.
//
// Each operand comes from its pin, else from its default record when that is not null, else from
// the incoming value; the value passed on is the one that arrived, even when an operand consumed it.
#pragma once

#include <cstdint>

#include "runtime/event.h"
#include "runtime/tobject.h"

// Comparison codes: the relation "first operand ? second operand".
inline constexpr uint8_t kCompareEqual = 0;
inline constexpr uint8_t kCompareLess = 1;
inline constexpr uint8_t kCompareGreater = 2;
inline constexpr uint8_t kCompareLessOrEqual = 3;
inline constexpr uint8_t kCompareGreaterOrEqual = 4;
inline constexpr uint8_t kCompareNotEqual = 5;

// A's type decides: a null A holds exactly when B is null too, whatever the code; otherwise B is
// converted to A's type (integer, string or real) and compared. Strings are equal only byte for
// byte; their ordering folds ASCII a-z to upper case, takes bytes as unsigned and puts a prefix
// first. Any other type of A, or a code outside 0 to 5, gives false.
bool Compare(const TData& A, const TData& B, uint8_t Type);

class TKVIf_else : public TObject {
public:
    uint8_t Type = kCompareEqual;
    TData Op1;  // default first operand; null means none
    TData Op2;  // default second operand; null means none
    TKV_Event pinOp2;
    TKV_Event pinOp1;
    TKV_Event evTrue;
    TKV_Event evFalse;

    // Action entry: compares and forwards the incoming value to evTrue or evFalse.
    void actCompare(TData& data, uint16_t index);
};
