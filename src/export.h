// Expands a table row into an exported function that delivers its text.
//
// Tables are files of rows, one row per entry, in catalogue order, each with
// its English beside it so a reviewer and a translator's tool can judge it:
//   QUOTED(Name, "text", "English") the editor's own wording, quoted as it stands
//   OPEN(Name, "text", "English")   wording written for this module
// Texts are UTF-8; line breaks are written "\r", double quotes "\"".
//
// Each row is held to the rules of its texts while it compiles: a row that
// breaks one stops the build with its file, line, name and the rule.
#pragma once

#include "table.h"
#include "catalogue_order.h"
#include "cp1255.h"
#include "deliver.h"
#include "rules.h"

#if defined(_WIN32) && !defined(_WIN64)
#define HE_WINAPI __stdcall
#else
#define HE_WINAPI
#endif

// Every export has this type: the text goes to Buffer, at most MaxLen bytes
// of it, and Buffer comes back.
using HeExport = char* HE_WINAPI (*)(char* Buffer, int MaxLen);

// The tables compiled for this machine's tests, and the builds that test the
// copy under sanitizers and the fuzzer, set HE_NO_RULES: the same rows are
// held to the rules by the builds of the DLLs and by hecat check, and the
// rules cost most of the compiler's time.
#if defined(HE_NO_RULES)
#define HE_CHECK_ROW(Name, Family, Quoted, Text, English)
#else
#define HE_CHECK_ROW(Name, Family, Quoted, Text, English)                                                 \
    static_assert(he::rules::passes<he::rules::row_verdict(                                                \
                      he::Entry{#Name, Family, he::cp1255::text<Text>(), he::cp1255::literal(Text), English, Quoted, \
                                he::source_file(__FILE__), __LINE__},                                     \
                      he::kFieldCaptions)>());
#endif

#define HE_EXPORT(Name, Family, Quoted, Text, English)                                               \
    HE_CHECK_ROW(Name, Family, Quoted, Text, English)                                                \
    extern "C" char* HE_WINAPI Name(char* Buffer, int MaxLen) {                                      \
        constexpr auto text = he::cp1255::text<Text>();                                               \
        if constexpr (text.empty()) /* only the zero byte: nothing to share, nothing to jump to */   \
            return Buffer != nullptr ? (*Buffer = '\0', Buffer) : nullptr;                            \
        else                                                                                          \
            return he::DeliverExact<text.size()>(HE_EXACT_ARGUMENTS(text.data()));                     \
    }
