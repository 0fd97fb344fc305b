// The one routine every export runs: a bounded copy of its fixed text into
// the caller's buffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace he {

// Copies min(text length, MaxLen) bytes of `text` to `Buffer`, stores one zero
// byte after them and returns `Buffer`. MaxLen is taken as an unsigned 32-bit
// count, so a negative value imposes no limit. Nothing past the zero byte is
// written and the text is read no further than the bytes copied. A null
// Buffer is a caller's error the module survives: nothing is written and
// null is returned.
// Kept out of line: every export shares this one routine, which keeps each
// export a few bytes long and lets the copy be the library's memcpy rather
// than a loop the compiler unrolls for each text.
[[gnu::noinline]] inline char* DeliverText(char* Buffer, std::string_view text, std::int32_t MaxLen) noexcept {
    if (Buffer == nullptr) return nullptr;
    const auto limit = static_cast<std::uint32_t>(MaxLen);
    const std::size_t n = text.size() < limit ? text.size() : limit;
    std::memcpy(Buffer, text.data(), n);
    Buffer[n] = '\0';
    return Buffer;
}

}  // namespace he
