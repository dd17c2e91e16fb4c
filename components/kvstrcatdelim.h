// TKVStrCatDelim: joins a first, a middle and a last part into one string.
//
// Each part comes from its pin when that is linked, else from its property when that is not empty,
// else from the value that reached actStrCat (each such part consumes one value of it). The parts
// are read first, last, middle: which part takes the incoming value, and the order in which pinned
// components are asked, depend on it. The result is kept for getResult and passed on.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/event.h"
#include "runtime/tobject.h"

class TKVStrCatDelim : public TObject {
public:
    std::string Result;     // the last join; empty until the first
    std::string Delimiter;  // default of the middle part
    std::string Str1;       // default of the first part
    std::string Str2;       // default of the last part
    TKV_Event pinDelimiter;
    TKV_Event pinStr2;
    TKV_Event pinStr1;
    TKV_Event evResult;

    // Action entry: joins, keeps the result and forwards it to evResult.
    void actStrCat(TData& data, uint16_t index);
    // Value getter: Result as a string.
    void getResult(TData& data, uint16_t index);
};
