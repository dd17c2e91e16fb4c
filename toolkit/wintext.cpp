#include "toolkit/wintext.h"

#include <array>
#include <utility>

#include "support/cp1251.h"

wchar_t WideChar(char c) {
    return static_cast<wchar_t>(cp1251::ToUnicode(static_cast<unsigned char>(c)));
}

namespace {

// The reverse table, built once: 1251 byte of every BMP code point the code page has.
int ByteOf(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    static const auto table = [] {
        std::array<std::pair<char16_t, unsigned char>, 128> t{};
        for (std::size_t i = 0; i < 128; ++i)
            t[i] = {cp1251::kHighHalf[i], static_cast<unsigned char>(0x80 + i)};
        return t;
    }();
    for (const auto& [u, b] : table)
        if (u == cp) return b;
    return -1;
}

}  // namespace

char NarrowChar(wchar_t c) {
    const int b = ByteOf(static_cast<char32_t>(c));
    return b < 0 ? '?' : static_cast<char>(b);
}

std::wstring ToWide(std::string_view text) {
    std::wstring out;
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = WideChar(text[i]);
    return out;
}

std::string FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<char32_t>(text[i]);
        // A surrogate pair is one character, outside the code page.
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < text.size()) {
            const auto lo = static_cast<char32_t>(text[i + 1]);
            if (lo >= 0xDC00 && lo < 0xE000) ++i;
            out.push_back('?');
            continue;
        }
        const int b = ByteOf(u);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}
