// TData: the one value that travels along every link.
//
// A small tagged record: null, a 32-bit integer, a 1251 byte string or a double. Copies are
// independent values. Target and Next are plain references used by forwarding and by value chains;
// a record never owns what they point to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TKV_Event;

// Type tags.
inline constexpr uint8_t kTypeNull = 0;
inline constexpr uint8_t kTypeInteger = 1;
inline constexpr uint8_t kTypeString = 2;
inline constexpr uint8_t kTypeReal = 7;
inline constexpr uint8_t NoValue = 21;  // a pull through an unconnected pin
inline constexpr uint8_t ForwardFlag = 0x80;

struct TData {
    uint8_t Type = kTypeNull;
    int32_t Int = 0;
    std::string Str;
    double Real = 0.0;
    const TKV_Event* Target = nullptr;  // the outlet to fire next while ForwardFlag is set
    TData* Next = nullptr;              // the following value of a chain
};

// Setters: each writes the tag and its one payload and clears Target and Next; the other payloads
// keep whatever they held (no reader looks at a payload its tag does not name).
void SetNull(TData& d);
void SetInteger(TData& d, int32_t value);
void SetString(TData& d, std::string_view value);
void SetString(TData& d, std::string&& value);
void SetString(TData& d, const char* value);
void SetReal(TData& d, double value);

TData IntData(int32_t value);
inline int DataType(const TData& d) {
    return d.Type;
}

// Conversions never fail: any tag not listed (null, NoValue, flagged forms) gives the default.
int32_t ToInteger(const TData& d);     // default 0
std::string ToString(const TData& d);  // default ""
double ToReal(const TData& d);         // default 0.0
int32_t ToIndex(const TData& d);       // default -1

// Takes the value out of an incoming record: it becomes a copy of *Next, or null when there is none.
void ConsumeData(TData& d);
