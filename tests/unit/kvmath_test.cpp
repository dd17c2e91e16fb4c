// Calculator: where the operands come from, and the integer result. The scheme's seconds × 1000.0
// with a real result is read in the scheme test's period table.
#include <gtest/gtest.h>

#include <vector>

#include "components/kvmath.h"
#include "components/kvmemory.h"

#include "tests/unit/testdata.h"

namespace {

class Calculator : public LinkedTest {};

TEST_F(Calculator, OperandsAndResult) {
    const struct {
        const char* name;
        double op1, op2;
        uint8_t resultType;
        bool kept;                    // the incoming record is left as it came
        std::vector<TData> incoming;  // a chain, first value first
        TData result;
    } cases[] = {
        {"set defaults leave the incoming value alone", 3.0, 1000.0, 1, true, {Str("5")}, Real(3000.0)},
        {"the second operand takes the next value", 0.0, 0.0, 1, false, {IntData(2), Str("3.5")}, Real(7.0)},
        {"integer result by the rounding rule", 0.0, 1.0, 0, false, {Str("2.5")}, IntData(2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TKVMath m;
        m.Op1 = c.op1;
        m.Op2 = c.op2;
        m.ResultType = c.resultType;
        TKVMemory fired;  // keeps what the outlet carried
        m.evResult = MakeEvent<&TKVMemory::actValue>(&fired, 0);

        std::vector<TData> chain = c.incoming;
        TData d = Chain(chain);
        Emit(MakeEvent<&TKVMath::actCalc>(&m, 0), d);
        TData pulled;
        Pull(MakeEvent<&TKVMath::getResult>(&m, 0), pulled);
        for (const TData& result : {fired.Value, pulled}) {
            EXPECT_EQ(DataType(result), DataType(c.result));
            EXPECT_EQ(ToReal(result), ToReal(c.result));
        }
        EXPECT_EQ(DataType(d), c.kept ? DataType(chain[0]) : kTypeNull);  // taken: every value of the chain
    }
}

}  // namespace
