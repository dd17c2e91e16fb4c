// Code page 1251, the program's text encoding.
//
// Source files are UTF-8; texts the program shows are 1251 byte strings. Cp1251("...") converts a
// UTF-8 literal at compile time, so Russian texts stay readable in the source and an unmappable
// character is a compile error rather than a garbled window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cp1251 {

// Unicode code points of bytes 0x80..0xFF. Byte 0x98 has no character in 1251; it maps to U+0098 as
// Windows does, so every byte survives a round trip through UTF-16.
inline constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// UTF-16 code unit of a 1251 byte.
constexpr char16_t ToUnicode(unsigned char byte) {
    return byte < 0x80 ? char16_t(byte) : kHighHalf[byte - 0x80];
}

// 1251 byte of a code point, or -1 when the code page has none.
constexpr int FromUnicode(char32_t cp) {
    if (cp < 0x80) return int(cp);
    for (std::size_t i = 0; i < kHighHalf.size(); ++i)
        if (kHighHalf[i] == cp) return int(0x80 + i);
    return -1;
}

// A converted literal: N bounds the length (UTF-8 never has fewer bytes than 1251).
template <std::size_t N>
struct Text {
    char bytes[N] = {};
    std::size_t size = 0;

    constexpr std::string_view view() const { return {bytes, size}; }
    std::string str() const { return std::string(bytes, size); }
    operator std::string() const { return str(); }                  // NOLINT: texts go wherever strings do
    constexpr operator std::string_view() const { return view(); }  // NOLINT
};

// Throwing inside a consteval function makes the call ill-formed: a bad literal does not compile.
inline void InvalidLiteral(const char*) {}

}  // namespace cp1251

// Converts a UTF-8 string literal to code page 1251 at compile time.
template <std::size_t N>
consteval cp1251::Text<N> Cp1251(const char (&utf8)[N]) {
    cp1251::Text<N> out;
    std::size_t i = 0;
    while (i + 1 < N) {  // the literal's terminating zero is not copied
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0;
        int extra = 0;
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1F;
            extra = 1;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0F;
            extra = 2;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07;
            extra = 3;
        } else {
            cp1251::InvalidLiteral("malformed UTF-8 in a 1251 literal");
        }
        if (i + 1 + extra > N - 1) cp1251::InvalidLiteral("truncated UTF-8 in a 1251 literal");
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + k]);
            if ((b & 0xC0) != 0x80) cp1251::InvalidLiteral("malformed UTF-8 in a 1251 literal");
            cp = (cp << 6) | (b & 0x3F);
        }
        const int byte = cp1251::FromUnicode(cp);
        if (byte < 0) cp1251::InvalidLiteral("character outside code page 1251");
        out.bytes[out.size++] = static_cast<char>(byte);
        i += 1 + extra;
    }
    return out;
}
