#include "components/kvtime.h"

namespace {

// Two digits below 10, plain decimal above: the year comes out in full.
void AppendField(std::string& out, unsigned value) {
    char buf[8];
    char* p = buf + sizeof buf;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (buf + sizeof buf - p < 2) *--p = '0';
    out.append(p, buf + sizeof buf);
}

}  // namespace

// The letters are replaced one after another, each everywhere in the text; since a replacement
// inserts only digits, no letter is ever made by another's value, and one pass over the template
// gives the same text without building it seven times.
std::string FormatTime(std::string_view format, const TLocalTime& time) {
    std::string out;
    out.reserve(format.size() + 8);
    for (const char c : format) {
        switch (c) {
            case 'Y':
                AppendField(out, time.Year);
                break;
            case 'M':
                AppendField(out, time.Month);
                break;
            case 'W':
                AppendField(out, time.DayOfWeek);
                break;
            case 'D':
                AppendField(out, time.Day);
                break;
            case 'h':
                AppendField(out, time.Hour);
                break;
            case 'm':
                AppendField(out, time.Minute);
                break;
            case 's':
                AppendField(out, time.Second);
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

void TKVTime::getTime(TData& data, uint16_t /*index*/) {
    SetString(data, FormatTime(Format, LocalTimeNow()));
}
