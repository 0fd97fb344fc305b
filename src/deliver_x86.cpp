// The cut of the 32-bit DLL (see deliver_x86.h): MaxLen bytes of the text in
// %eax to Buffer, MaxLen below the text's length and so at most 128, then
// the zero byte. Each class of length is reached by one taken branch and has
// its own return; within a class the first bytes are copied from the start
// and the last from the end, so that two runs of words cover any length of
// the class.
#include "deliver_x86.h"

// HE_CUT_LAST bytes: from the ends of text and Buffer (MaxLen past their
// starts) the last bytes, then the zero byte and the return.
// HE_CUT_CLASS bytes: a cut of bytes to 2 * bytes - 1, the first bytes from
// the start and the last from the end.
asm(R"asm(
    .macro HE_CUT_LAST bytes
    addl 8(%esp), %eax
    addl 8(%esp), %ecx
    HE_WORDS "(-\bytes)", 0
    movb $0, (%ecx)
    movl 4(%esp), %eax
    ret $8
    .endm

    .macro HE_CUT_CLASS bytes
    HE_WORDS 0, \bytes
    HE_CUT_LAST \bytes
    .endm

    .text
    .globl he_deliver_cut
    .p2align 4
he_deliver_cut:
    movl 4(%esp), %ecx
    movl 8(%esp), %edx
    cmpl $4, %edx
    jb .Lcut_below_4
    cmpl $8, %edx
    jb .Lcut_4
    cmpl $16, %edx
    jb .Lcut_8
    cmpl $32, %edx
    jb .Lcut_16
    cmpl $64, %edx
    jb .Lcut_32
    # 64 to 128 bytes: the first 64; then, unless that was all, the 32 after
    # them when more than 96 are wanted, and the last 32.
    HE_WORDS 0, 64
    cmpl $64, 8(%esp)
    je .Lcut_64_only
    cmpl $96, 8(%esp)
    jbe .Lcut_last_32
    HE_WORDS 64, 96
.Lcut_last_32:
    HE_CUT_LAST 32
.Lcut_64_only:
    movb $0, 64(%ecx)
    movl %ecx, %eax
    ret $8
.Lcut_32:
    HE_CUT_CLASS 32
.Lcut_16:
    HE_CUT_CLASS 16
.Lcut_8:
    HE_CUT_CLASS 8
.Lcut_4:
    HE_CUT_CLASS 4
    # 0 to 3 bytes: none, one, or two 2-byte moves that overlap.
.Lcut_below_4:
    cmpl $2, %edx
    jb .Lcut_below_2
    movw (%eax), %dx
    movw %dx, (%ecx)
    addl 8(%esp), %eax
    addl 8(%esp), %ecx
    movw -2(%eax), %dx
    movw %dx, -2(%ecx)
    movb $0, (%ecx)
    movl 4(%esp), %eax
    ret $8
.Lcut_below_2:
    testl %edx, %edx
    je .Lcut_none
    movb (%eax), %dl
    movb %dl, (%ecx)
    movb $0, 1(%ecx)
    movl %ecx, %eax
    ret $8
.Lcut_none:
    movb $0, (%ecx)
    movl %ecx, %eax
    ret $8
)asm");
