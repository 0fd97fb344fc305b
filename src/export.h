// Expands a table row into an exported function that delivers its text.
//
// Tables are files of rows, one row per entry, in catalogue order:
//   FIXED(Name, "text")            wording carried over as it stands
//   OPEN(Name, "text", "gloss")    wording written for this module; the
//                                  English gloss lets a reviewer judge it
// Texts are UTF-8; line breaks are written "\r", double quotes "\"".
#pragma once

#include "cp1255.h"
#include "deliver.h"

#if defined(_WIN32) && !defined(_WIN64)
#define HE_WINAPI __stdcall
#else
#define HE_WINAPI
#endif

// Every export has this type: the text goes to Buffer, at most MaxLen bytes
// of it, and Buffer comes back.
using HeExport = char* HE_WINAPI (*)(char* Buffer, int MaxLen);

#define HE_EXPORT(Name, Text)                                                              \
    static_assert(he::cp1255::carriable(Text),                                            \
                  #Name ": the text holds a character the module may not carry; allowed "   \
                  "are Hebrew letters without points, printable ASCII, the degree sign "    \
                  "and CR");                                                                \
    extern "C" char* HE_WINAPI Name(char* Buffer, int MaxLen) {                            \
        constexpr auto text = he::cp1255::text<Text>();                                     \
        return he::DeliverText(text.data(), static_cast<std::uint32_t>(text.size()), Buffer, MaxLen); \
    }
