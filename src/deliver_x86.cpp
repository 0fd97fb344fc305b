// The cut of the 32-bit DLL (see deliver_x86.h): MaxLen bytes of the text in
// %ecx to Buffer in %eax, MaxLen below the text's length and so at most 128,
// then the zero byte. Each class of length is reached by one taken branch
// and has its own return; within a class the first bytes are copied from the
// start and the last from the end, so that two runs of words cover any
// length of the class.
#include "deliver_x86.h"

// HE_CUT_LAST bytes: from the ends of text and Buffer (MaxLen past their
// starts) the last bytes, then the zero byte, and Buffer returned.
// HE_CUT_CLASS bytes: a cut of bytes to 2 * bytes - 1, the first bytes from
// the start and the last from the end.
asm(R"asm(
    .macro HE_CUT_LAST bytes
    addl 8(%esp), %ecx
    addl 8(%esp), %eax
    HE_WORDS "(-\bytes)", 0
    movb $0, (%eax)
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
    # 64 to 128 bytes: the first 64, and that is all for 64, the size of
    # many a buffer; above, the 32 after them when more than 96 are wanted,
    # and the last 32.
    HE_WORDS 0, 64
    cmpl $64, 8(%esp)
    jne .Lcut_above_64
    movb $0, 64(%eax)
    ret $8
.Lcut_above_64:
    cmpl $96, 8(%esp)
    jbe .Lcut_last_32
    HE_WORDS 64, 96
.Lcut_last_32:
    HE_CUT_LAST 32
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
    movw (%ecx), %dx
    movw %dx, (%eax)
    addl 8(%esp), %ecx
    addl 8(%esp), %eax
    movw -2(%ecx), %dx
    movw %dx, -2(%eax)
    movb $0, (%eax)
    movl 4(%esp), %eax
    ret $8
.Lcut_below_2:
    testl %edx, %edx
    je .Lcut_none
    movb (%ecx), %dl
    movb %dl, (%eax)
    movb $0, 1(%eax)
    ret $8
.Lcut_none:
    movb $0, (%eax)
    ret $8
)asm");
