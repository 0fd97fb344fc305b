// The one routine every export runs: a bounded copy of its fixed text into
// the caller's buffer.
#pragma once

#include <cstdint>
#include <cstring>

namespace he {

// On 32-bit x86 the text comes in two registers while Buffer and MaxLen stay
// on the stack exactly as the export received them, and the routine removes
// them as a WINAPI function does: each export is then two moves and a jump.
#if defined(__i386__) && defined(__GNUC__)
#define HE_DELIVER_CONVENTION __attribute__((regparm(2), stdcall))
#else
#define HE_DELIVER_CONVENTION
#endif

// Copies min(length, MaxLen) bytes of `text` to `Buffer`, stores one zero
// byte after them and returns `Buffer`. MaxLen is taken as an unsigned 32-bit
// count, so a negative value imposes no limit. Nothing past the zero byte is
// written and the text is read no further than the bytes copied. A null
// Buffer is a caller's error the module survives: nothing is written and
// null is returned.
// Kept out of line: every export shares this one routine, which keeps each
// export a few bytes long and lets the copy be the library's memcpy rather
// than a loop the compiler unrolls for each text.
[[gnu::noinline]] inline char* HE_DELIVER_CONVENTION DeliverText(const char* text, std::uint32_t length, char* Buffer,
                                                                  std::int32_t MaxLen) noexcept {
    if (Buffer == nullptr) return nullptr;
    const auto limit = static_cast<std::uint32_t>(MaxLen);
    const std::uint32_t n = length < limit ? length : limit;
    if (n != 0) std::memcpy(Buffer, text, n);  // an empty text may have no storage at all
    Buffer[n] = '\0';
    return Buffer;
}

}  // namespace he
