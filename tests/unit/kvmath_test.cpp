// Calculator: operand sources, the product, integer rounding and the getter.
#include <gtest/gtest.h>

#include <vector>

#include "components/kvmath.h"

#include "tests/unit/testdata.h"

namespace {

class Calculator : public LinkedTest {};

// The scheme's calculator: seconds × 1000.0, real result.
void SchemeSettings(TKVMath& m) {
    m.Operation = 2;
    m.Op1 = 0.0;
    m.Op2 = 1000.0;
    m.ResultType = 1;
    m.SetDefault(0.0);
    m.SetAngleMode(false);
}

TEST_F(Calculator, OperandsAndResult) {
    const struct {
        const char* name;
        double op1, op2;
        uint8_t resultType;
        bool kept;                    // the incoming record is left as it came
        std::vector<TData> incoming;  // a chain, first value first
        TData result;
    } cases[] = {
        {"seconds as text", 0.0, 1000.0, 1, false, {Str("5")}, Real(5000.0)},
        {"null incoming", 0.0, 1000.0, 1, true, {TData{}}, Real(0.0)},
        {"set defaults leave the incoming value alone", 3.0, 1000.0, 1, true, {Str("5")}, Real(3000.0)},
        {"the second operand takes the next value", 0.0, 0.0, 1, false, {IntData(2), Str("3.5")}, Real(7.0)},
        {"integer result by the rounding rule", 3.5, 1.0, 0, false, {}, IntData(4)},
        {"integer result from text", 0.0, 1.0, 0, false, {Str("2.5")}, IntData(2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TKVMath m;
        SchemeSettings(m);
        m.Op1 = c.op1;
        m.Op2 = c.op2;
        m.ResultType = c.resultType;
        Sink sink;
        m.evResult = MakeEvent<&Sink::act>(&sink, 0);

        std::vector<TData> chain = c.incoming;
        TData d = Chain(chain);
        Emit(MakeEvent<&TKVMath::actCalc>(&m, 0), d);

        ASSERT_EQ(sink.seen.size(), 1u);
        EXPECT_EQ(DataType(sink.seen[0]), DataType(c.result));
        EXPECT_EQ(ToReal(sink.seen[0]), ToReal(c.result));
        TData pulled;
        Pull(MakeEvent<&TKVMath::getResult>(&m, 0), pulled);
        EXPECT_EQ(DataType(pulled), DataType(c.result));
        EXPECT_EQ(ToReal(pulled), ToReal(c.result));
        if (c.kept) {
            EXPECT_EQ(DataType(d), DataType(chain[0]));
            EXPECT_EQ(ToString(d), ToString(chain[0]));
        } else {
            EXPECT_EQ(DataType(d), kTypeNull);  // every value of the chain was taken
        }
    }
}

}  // namespace
