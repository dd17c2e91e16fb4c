#include "support/strings.h"

std::string Concat(std::string_view a, std::string_view b) {
    std::string out;
    out.reserve(a.size() + b.size());
    out.append(a);
    out.append(b);
    return out;
}

std::string Copy(std::string_view text, int start, int count) {
    if (count <= 0) return {};
    // Work in 64 bits: start + count may exceed the int range.
    long long first = start < 1 ? 1 : start;
    const long long end = static_cast<long long>(start) + count;  // one past the last position wanted
    const auto size = static_cast<long long>(text.size());
    const long long last = end - 1 < size ? end - 1 : size;
    if (first > last) return {};
    return std::string(
        text.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1)));
}

void Delete(std::string& text, int start, int count) {
    if (start <= 0 || count <= 0) return;
    const auto size = static_cast<long long>(text.size());
    if (start > size) return;
    const long long available = size - start + 1;
    const long long n = count < available ? count : available;
    text.erase(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n));
}

int Pos(std::string_view needle, std::string_view haystack) {
    if (needle.empty()) return 0;
    const auto at = haystack.find(needle);
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}
