#include "runtime/tdata.h"

#include <cmath>

#include "support/numstr.h"

void SetNull(TData& d) {
    d.Type = kTypeNull;
    d.Target = nullptr;
    d.Next = nullptr;
}

void SetInteger(TData& d, int32_t value) {
    d.Type = kTypeInteger;
    d.Int = value;
    d.Target = nullptr;
    d.Next = nullptr;
}

void SetString(TData& d, std::string_view value) {
    d.Type = kTypeString;
    d.Str.assign(value.data(), value.size());
    d.Target = nullptr;
    d.Next = nullptr;
}

void SetString(TData& d, std::string&& value) {
    d.Type = kTypeString;
    d.Str = std::move(value);
    d.Target = nullptr;
    d.Next = nullptr;
}

void SetString(TData& d, const char* value) {
    SetString(d, std::string_view(value ? value : ""));
}

void SetReal(TData& d, double value) {
    d.Type = kTypeReal;
    d.Real = value;
    d.Target = nullptr;
    d.Next = nullptr;
}

TData IntData(int32_t value) {
    TData d;
    SetInteger(d, value);
    return d;
}

int32_t ToInteger(const TData& d) {
    switch (d.Type) {
        case kTypeInteger:
            return d.Int;
        case kTypeString:
            return StrToInt(d.Str);
        case kTypeReal:
            return RoundToInt32(d.Real);
        default:
            return 0;
    }
}

std::string ToString(const TData& d) {
    switch (d.Type) {
        case kTypeInteger:
            return IntToStr(d.Int);
        case kTypeString:
            return d.Str;
        case kTypeReal:
            return RealToStr(d.Real);
        default:
            return {};
    }
}

double ToReal(const TData& d) {
    switch (d.Type) {
        case kTypeInteger:
            return d.Int;
        case kTypeString:
            return StrToReal(d.Str);
        case kTypeReal:
            return d.Real;
        default:
            return 0.0;
    }
}

int32_t ToIndex(const TData& d) {
    switch (d.Type) {
        case kTypeInteger:
            return d.Int;
        case kTypeString:
            return StrToIndex(d.Str);
        case kTypeReal:
            return RoundToInt32(d.Real);
        default:
            return -1;
    }
}

void ConsumeData(TData& d) {
    if (d.Next) {
        // Copy first: Next may point into a record that the assignment would release.
        TData next = *d.Next;
        d = std::move(next);
    } else {
        d.Type = kTypeNull;
    }
}
