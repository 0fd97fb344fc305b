// Compiled by the build tests with -DCASE=n: case 0 must compile, every
// other case must stop the build with a message that names its entry.
#include "export.h"

#if CASE == 0
HE_EXPORT(GetTrGood, "messages", true, "! ° \"קובץ\" ךםןףץ (Latin) 100\r\r?", "")
#elif CASE == 1
HE_EXPORT(GetTrLineFeed, "messages", true, "שורה\nשורה", "")
#elif CASE == 2
HE_EXPORT(GetTrTab, "messages", true, "טור\tטור", "")
#elif CASE == 3
HE_EXPORT(GetTrVowelPoint, "messages", true, "שָלום", "")
#elif CASE == 4
HE_EXPORT(GetTrZeroByte, "messages", true, "אב\0גד", "")
#elif CASE == 5
HE_EXPORT(GetTrShekelSign, "messages", true, "10 ₪", "")
#elif CASE == 6
HE_EXPORT(GetTrLatinAccent, "messages", true, "café", "")
#elif CASE == 7
HE_EXPORT(GetTrEscape, "messages", true, "\x1B[0m", "")
#endif
