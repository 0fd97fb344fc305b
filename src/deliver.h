// The one routine every export runs: a bounded copy of its fixed text into
// the caller's buffer.
#pragma once

#include <cstdint>
#include <cstring>

namespace he {

// On 32-bit x86, the shipped DLL, every export shares one out-of-line copy of
// this routine: the text comes in two registers while Buffer and MaxLen stay
// on the stack exactly as the export received them, and the routine removes
// them as a WINAPI function does, so each export is two moves and a jump.
// Elsewhere the routine is inlined into each export.
#if defined(__i386__) && defined(__GNUC__)
#define HE_DELIVER_CONVENTION __attribute__((regparm(2), stdcall))
#define HE_DELIVER_INLINE [[gnu::noinline]] inline
#else
#define HE_DELIVER_CONVENTION
#define HE_DELIVER_INLINE inline
#endif

// Copies min(length, MaxLen) bytes of `text` to `Buffer`, stores one zero
// byte after them and returns `Buffer`. MaxLen is taken as an unsigned 32-bit
// count, so a negative value imposes no limit. Nothing past the zero byte is
// written and the text is read no further than the bytes copied. A null
// Buffer is a caller's error the module survives: nothing is written and
// null is returned.
HE_DELIVER_INLINE char* HE_DELIVER_CONVENTION DeliverText(const char* text, std::uint32_t length, char* Buffer,
                                                         std::int32_t MaxLen) noexcept {
    if (Buffer == nullptr) return nullptr;
    const auto limit = static_cast<std::uint32_t>(MaxLen);
    std::uint32_t n = length < limit ? length : limit;
#if defined(__GNUC__)
    // Hides how small n is, so that the copy stays one memcpy rather than a
    // byte loop the compiler would unroll for each text.
    asm("" : "+r"(n));
#endif
    if (n != 0) std::memcpy(Buffer, text, n);  // an empty text may have no storage at all
    Buffer[n] = '\0';
    return Buffer;
}

}  // namespace he
