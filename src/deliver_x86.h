// The copy of the 32-bit DLL, written out in the machine's own instructions.
//
// Asked for these routines, the compiler lays out the whole text's copy
// behind a taken branch, reaches a cut through one more jump, and shares one
// return among the cut's length classes behind four saved registers; each
// taken branch and each saved register is a measurable share of a call that
// takes a few nanoseconds. Written out, a call takes the fewest: the export
// jumps to the routine for its text's length, which falls through to the
// copy of the whole text, or branches once to the cut, which branches once
// to the class of its length; every path has its own return.
//
// Every routine takes the text in %eax while Buffer and MaxLen stay on the
// stack as the export received them, returns Buffer in %eax and removes both
// arguments, as a WINAPI function does. Inside, the text moves to %ecx and
// Buffer, the result, is loaded into %eax and written through it; the bytes
// go through %edx alone, so no register needs saving, except for the string
// move of the longest text. Only the integer registers are used, so the DLL
// runs on any x86 CPU.
#pragma once

#include <cstdint>

// The assembler's macros, shared by the routine of each length and the cut
// (deliver_x86.cpp). The text is read through %ecx and Buffer, which is
// also the result, written through %eax.
//   HE_WORDS from, to    the words at [from, to) of the text to Buffer,
//                        through %edx
//   HE_BYTES n           exactly n bytes from the start (a last word, or
//                        2-byte moves, that ends at n covers any rest)
//   HE_EXACT n           the routine of an n-byte text
asm(R"asm(
    .macro HE_WORDS from, to
    .if \from < \to
    movl \from(%ecx), %edx
    movl %edx, \from(%eax)
    HE_WORDS "(\from + 4)", \to
    .endif
    .endm

    .macro HE_BYTES n
    .if \n >= 4
    HE_WORDS 0, "(\n & ~3)"
    .if \n & 3
    HE_WORDS "(\n - 4)", \n
    .endif
    .elseif \n >= 2
    movw (%ecx), %dx
    movw %dx, (%eax)
    .if \n == 3
    movw 1(%ecx), %dx
    movw %dx, 1(%eax)
    .endif
    .elseif \n == 1
    movb (%ecx), %dl
    movb %dl, (%eax)
    .endif
    .endm

    .macro HE_EXACT n
    movl %eax, %ecx
    movl 4(%esp), %eax
    testl %eax, %eax
    je 1f
    cmpl $\n, 8(%esp)
    jb he_deliver_cut
    .if \n >= 128
    # The string move, whose start-up costs less here than a move per word.
    pushl %edi
    pushl %esi
    movl %eax, %edi
    movl %ecx, %esi
    movl $(\n / 4), %ecx
    rep movsl
    .if \n & 3
    movl (\n - \n / 4 * 4 - 4)(%esi), %edx
    movl %edx, (\n - \n / 4 * 4 - 4)(%edi)
    .endif
    popl %esi
    popl %edi
    .else
    HE_BYTES \n
    .endif
    movb $0, \n(%eax)
1:  ret $8
    .endm
)asm");

namespace he {

// The routine of every text of Length bytes.
template <std::uint32_t Length>
[[gnu::naked]] char* __attribute__((regparm(1), stdcall)) DeliverExact(const char*, char*, std::int32_t) noexcept {
    static_assert(Length > 0 && Length <= 129, "an empty text's export needs no routine; the cut copies at most 128 bytes");
    asm("HE_EXACT %c0" : : "i"(Length));
    __builtin_unreachable();  // every path returns in the assembly: no trap after it
}

}  // namespace he
