#include "components/kvif_else.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

template <class T>
bool Relate(const T& a, const T& b, uint8_t type) {
    switch (type) {
        case kCompareEqual:
            return a == b;
        case kCompareLess:
            return a < b;
        case kCompareGreater:
            return a > b;
        case kCompareLessOrEqual:
            return a <= b;
        case kCompareGreaterOrEqual:
            return a >= b;
        case kCompareNotEqual:
            return a != b;
        default:
            return false;
    }
}

// Only ASCII letters fold: Cyrillic bytes keep their code-page order, capitals before small ones.
unsigned char FoldAscii(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - ('a' - 'A')) : byte;
}

// <0, 0, >0: the folded ordering of the two strings; a prefix is the smaller.
int OrderStrings(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int diff = FoldAscii(a[i]) - FoldAscii(b[i]);
        if (diff != 0) return diff;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool CompareStrings(std::string_view a, std::string_view b, uint8_t type) {
    // Equality is exact: case matters even though the ordering folds it.
    if (type == kCompareEqual) return a == b;
    if (type == kCompareNotEqual) return a != b;
    return Relate(OrderStrings(a, b), 0, type);
}

}  // namespace

bool Compare(const TData& A, const TData& B, uint8_t Type) {
    switch (A.Type) {
        case kTypeNull:
            return B.Type == kTypeNull;
        case kTypeInteger:
            return Relate(A.Int, ToInteger(B), Type);
        case kTypeString:
            // Most comparisons are against another string: no copy then.
            if (B.Type == kTypeString) return CompareStrings(A.Str, B.Str, Type);
            return CompareStrings(A.Str, ToString(B), Type);
        case kTypeReal:
            return Relate(A.Real, ToReal(B), Type);
        default:
            return false;
    }
}

void TKVIf_else::actCompare(TData& data, uint16_t /*index*/) {
    const TData arrived = data;
    const TData a = ReadData(data, pinOp1, &Op1);
    const TData b = ReadData(data, pinOp2, &Op2);
    ForwardData(data, Compare(a, b, Type) ? evTrue : evFalse, arrived);
}
