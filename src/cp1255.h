// Compile-time conversion of UTF-8 source texts into Windows-1255 bytes.
//
// Every text of the module is written in UTF-8 in the tables and stored as
// Windows-1255, one byte per character. The conversion runs in the compiler:
// the DLL converts nothing at run time (the tools run the same conversion on
// the tables they read). A text may carry only
//   - the 27 Hebrew letters, final forms included, without points or marks
//     (U+05D0 to U+05EA, bytes 224 to 250),
//   - printable ASCII (bytes 32 to 126),
//   - the degree sign (U+00B0, byte 176),
//   - the carriage return (byte 13), the one line break the host understands.
// Anything else (a line feed, a tab, another control byte, a vowel point, a
// letter of another script, a malformed UTF-8 sequence) has no byte here,
// and the rules of the texts turn that into a build error naming the entry
// and the character.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace he::cp1255 {

// A UTF-8 string literal usable as a template argument.
template <std::size_t N>
struct Utf8 {
    char chars[N]{};
    consteval Utf8(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) chars[i] = s[i];
    }
    constexpr std::string_view view() const { return {chars, N - 1}; }
};

// One character of UTF-8: its code point and how many bytes it takes. Width
// 0 where the bytes at `at` start no well-formed character (a stray
// continuation byte, a sequence cut short or broken); the code point is then
// the first byte.
struct Utf8Char {
    char32_t code_point;
    std::size_t width;
};

constexpr Utf8Char utf8_char(std::string_view s, std::size_t at) {
    const auto b0 = static_cast<unsigned char>(s[at]);
    const std::size_t width = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (width == 0 || at + width > s.size()) return {b0, 0};
    char32_t cp = width == 1 ? b0 : b0 & (0x7Fu >> width);
    for (std::size_t k = 1; k < width; ++k) {
        const auto b = static_cast<unsigned char>(s[at + k]);
        if ((b & 0xC0) != 0x80) return {b0, 0};
        cp = (cp << 6) | (b & 0x3Fu);
    }
    return {cp, width};
}

constexpr bool valid_utf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t width = utf8_char(s, i).width;
        if (width == 0) return false;
        i += width;
    }
    return true;
}

// One step of decoding: the Windows-1255 byte of the character that starts at
// `at`, and how many UTF-8 bytes it took. `byte` is negative when the
// character may not be carried; an overlong form is never carried.
struct Step {
    int byte;
    std::size_t width;
};

constexpr Step decode_one(std::string_view s, std::size_t at) {
    const Utf8Char c = utf8_char(s, at);
    const char32_t cp = c.code_point;
    if (c.width == 0) return {-1, 1};
    if (c.width == 1) return {cp == 0x0D || (cp >= 0x20 && cp <= 0x7E) ? static_cast<int>(cp) : -1, 1};
    // Only two-byte sequences can carry an allowed character (U+00B0, U+05D0..U+05EA).
    if (c.width == 2 && cp == 0xB0) return {0xB0, 2};
    if (c.width == 2 && cp >= 0x5D0 && cp <= 0x5EA) return {static_cast<int>(cp - 0x5D0 + 0xE0), 2};
    return {-1, c.width};
}

// A string literal as written, a zero byte inside it included.
template <std::size_t N>
constexpr std::string_view literal(const char (&s)[N]) {
    return {s, N - 1};
}

// Number of Windows-1255 bytes of a text.
constexpr std::size_t encoded_size(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++n) i += decode_one(s, i).width;
    return n;
}

// Hands put() the Windows-1255 byte of each character of a text in turn (a
// character that may not be carried gives 0xFF; the rules refuse it by
// name). The compiler stores every text through it, and the tools convert the
// texts they read from the tables with the same function at run time.
template <class Put>
constexpr void encode_each(std::string_view src, Put&& put) {
    for (std::size_t i = 0; i < src.size();) {
        const Step step = decode_one(src, i);
        put(static_cast<char>(step.byte));
        i += step.width;
    }
}

// The bytes of the text followed by one zero byte, so that every text has a
// valid address, the empty one included.
template <Utf8 S>
consteval auto encode() {
    constexpr std::string_view src = S.view();
    std::array<char, encoded_size(src) + 1> out{};
    std::size_t n = 0;
    encode_each(src, [&](char c) { out[n++] = c; });
    return out;
}

// Long texts start on a word boundary, so that the word moves that copy them
// read whole words; short ones take no padding.
template <Utf8 S>
alignas(encoded_size(S.view()) >= 64 ? 4 : 1) inline constexpr auto stored = encode<S>();

// The Windows-1255 bytes of a UTF-8 literal, without the zero byte.
template <Utf8 S>
constexpr std::string_view text() {
    return {stored<S>.data(), stored<S>.size() - 1};
}

}  // namespace he::cp1255
