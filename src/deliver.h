// The one routine every export runs: a bounded copy of its fixed text into
// the caller's buffer.
#pragma once

#include <cstdint>
#include <cstring>
#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace he {

// Every export of a text hands it to DeliverExact for the text's length
// (an export of the empty text stores its zero byte itself).
// On 32-bit x86, the shipped DLL, that routine is written out in assembly
// (deliver_x86.h): each export is one move of its text's address to a
// register and a jump to the routine, which finds Buffer and MaxLen on the
// stack as the export received them. On 64-bit Windows the routine is shared
// too, taking Buffer and MaxLen first, in the registers the export received
// them in, and the text third. Elsewhere (the unit tests, the fuzzer, the
// sanitizers) it is inlined into each export.
#if defined(_WIN64) && defined(__GNUC__)
#define HE_DELIVER_INLINE [[gnu::noinline]] inline
#define HE_EXACT_PARAMETERS char *Buffer, std::int32_t MaxLen, const char *text
#define HE_EXACT_ARGUMENTS(text) Buffer, MaxLen, text
#else
#define HE_DELIVER_INLINE inline
#define HE_EXACT_PARAMETERS const char *text, char *Buffer, std::int32_t MaxLen
#define HE_EXACT_ARGUMENTS(text) text, Buffer, MaxLen
#endif

namespace copy {

// K bytes as machine words (32-bit, or 64-bit where the CPU has them, and
// one 16-bit word for K = 2), each read before it is written; the integer
// registers suffice on any x86.
#if defined(__GNUC__)
#define HE_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define HE_ALWAYS_INLINE inline
#endif

template <std::uint32_t K>
HE_ALWAYS_INLINE void move(char* d, const char* s) {
    if constexpr (K >= 8 && sizeof(void*) == 8) {
        std::uint64_t w;
        std::memcpy(&w, s, 8);
        std::memcpy(d, &w, 8);
        move<K - 8>(d + 8, s + 8);
    } else if constexpr (K >= 4) {
        std::uint32_t w;
        std::memcpy(&w, s, 4);
        std::memcpy(d, &w, 4);
        move<K - 4>(d + 4, s + 4);
    } else if constexpr (K == 2) {
        std::uint16_t w;
        std::memcpy(&w, s, 2);
        std::memcpy(d, &w, 2);
    }
}

// The n bytes of s to d, where n is at most Longest: two moves of the
// largest size that fits, the second ending where the text ends, so that
// together they cover any length of their class without a byte loop.
// Above 64 bytes, 32-byte blocks and one last block that ends at n.
template <std::uint32_t Longest>
HE_ALWAYS_INLINE void upto(char* d, const char* s, std::uint32_t n) {
    if constexpr (Longest > 64) {
        if (n > 64) {
            for (std::uint32_t i = 0; i < n - 32; i += 32) move<32>(d + i, s + i);
            move<32>(d + n - 32, s + n - 32);
            return;
        }
    }
    if constexpr (Longest > 32) {
        if (n >= 32) return move<32>(d, s), move<32>(d + n - 32, s + n - 32);
    }
    if constexpr (Longest > 16) {
        if (n >= 16) return move<16>(d, s), move<16>(d + n - 16, s + n - 16);
    }
    if constexpr (Longest > 8) {
        if (n >= 8) return move<8>(d, s), move<8>(d + n - 8, s + n - 8);
    }
    if constexpr (Longest >= 4) {
        if (n >= 4) return move<4>(d, s), move<4>(d + n - 4, s + n - 4);
    }
    if constexpr (Longest >= 2) {
        if (n >= 2) return move<2>(d, s), move<2>(d + n - 2, s + n - 2);
    }
    if constexpr (Longest >= 1) {
        if (n == 1) *d = *s;
    }
}

#if defined(__SSE2__) && defined(__x86_64__)
// K bytes, a multiple of 16, through the vector registers.
template <std::uint32_t K>
HE_ALWAYS_INLINE void move_vectors(char* d, const char* s) {
    if constexpr (K >= 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
        move_vectors<K - 16>(d + 16, s + 16);
    }
}
#endif

// Exactly L bytes of s to d: whole words, and for a length that is not a
// multiple of four one more word that ends where the text ends. No loop, no
// branch: the fastest copy a length the compiler knows allows.
template <std::uint32_t L>
HE_ALWAYS_INLINE void exact(char* d, const char* s) {
#if defined(__SSE2__) && defined(__x86_64__)
    // A 64-bit CPU always has the 16-byte vector registers: 16 bytes a move,
    // the last move ending where the text ends.
    if constexpr (L >= 16) {
        move_vectors<L / 16 * 16>(d, s);
        if constexpr (L % 16 != 0) move_vectors<16>(d + L - 16, s + L - 16);
        return;
    }
#endif
    if constexpr (L >= 4) {
        move<L / 4 * 4>(d, s);
        if constexpr (L % 4 != 0) move<4>(d + L - 4, s + L - 4);
    } else if constexpr (L >= 2) {
        move<2>(d, s);
        if constexpr (L == 3) move<2>(d + 1, s + 1);
    } else if constexpr (L == 1) {
        *d = *s;
    }
}

}  // namespace copy

// Copies min(length, MaxLen) bytes of `text` to `Buffer`, stores one zero
// byte after them and returns `Buffer`. MaxLen is taken as an unsigned 32-bit
// count, so a negative value imposes no limit. Nothing past the zero byte is
// written and the text is read no further than the bytes copied. A null
// Buffer is a caller's error the module survives: nothing is written and null
// is returned.
// A copy of more than 47 bytes goes apart, so that the short copies, the
// common cut, take the fewest branches; n is already the number of bytes to
// deliver.
[[gnu::noinline]] inline char* DeliverLong(const char* text, std::uint32_t n, char* Buffer) noexcept {
    copy::upto<0xFFFFFFFFu>(Buffer, text, n);
    Buffer[n] = '\0';
    return Buffer;
}

HE_DELIVER_INLINE char* DeliverText(const char* text, std::uint32_t length, char* Buffer,
                                    std::int32_t MaxLen) noexcept {
    if (Buffer == nullptr) return nullptr;
    const auto limit = static_cast<std::uint32_t>(MaxLen);
    const std::uint32_t n = length < limit ? length : limit;
    if (n > 47) return DeliverLong(text, n, Buffer);
    copy::upto<47>(Buffer, text, n);
    Buffer[n] = '\0';
    return Buffer;
}

}  // namespace he

#if defined(__i386__) && defined(_WIN32) && defined(__GNUC__)
#include "deliver_x86.h"
#else
namespace he {

// DeliverText for a text of exactly Length bytes: the copy of the whole text,
// whose length the compiler knows, and for a MaxLen that cuts it, DeliverText.
// Every export of a text of that length shares this routine.
template <std::uint32_t Length>
HE_DELIVER_INLINE char* DeliverExact(HE_EXACT_PARAMETERS) noexcept {
    static_assert(Length > 0, "an empty text's export needs no routine");
    if (Buffer == nullptr) return nullptr;
    if (static_cast<std::uint32_t>(MaxLen) < Length) return DeliverText(text, Length, Buffer, MaxLen);
    copy::exact<Length>(Buffer, text);
    Buffer[Length] = '\0';
    return Buffer;
}

}  // namespace he
#endif
