#include "components/kvstrcatdelim.h"

void TKVStrCatDelim::actStrCat(TData& data, uint16_t /*index*/) {
    const std::string first = ReadString(data, pinStr1, Str1);
    const std::string last = ReadString(data, pinStr2, Str2);
    const std::string middle = ReadString(data, pinDelimiter, Delimiter);
    // Assembled in place so Result keeps its buffer from one line to the next.
    Result.assign(first);
    Result.append(middle);
    Result.append(last);
    ForwardString(data, evResult, Result);
}

void TKVStrCatDelim::getResult(TData& data, uint16_t /*index*/) {
    SetString(data, std::string_view(Result));
}
