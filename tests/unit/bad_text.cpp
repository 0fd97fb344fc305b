// Compiled by the build tests with -DCASE=n: case 0 must compile, every
// other case must stop the build with a message that names its entry.
#include "export.h"

#if CASE == 0
HE_EXPORT(GetTrGood, "messages", false, "! ° \"קובץ\" ךםןףץ (Latin) 100\r\r?", "")
#elif CASE == 1
HE_EXPORT(GetTrLineFeed, "messages", false, "שורה\nשורה", "")
#elif CASE == 2
HE_EXPORT(GetTrTab, "messages", false, "טור\tטור", "")
#elif CASE == 3
HE_EXPORT(GetTrVowelPoint, "messages", false, "שָלום", "")
#elif CASE == 4
HE_EXPORT(GetTrZeroByte, "messages", false, "אב\0גד", "")
#elif CASE == 5
HE_EXPORT(GetTrShekelSign, "messages", false, "10 ₪", "")
#elif CASE == 6
HE_EXPORT(GetTrLatinAccent, "messages", false, "café", "")
#elif CASE == 7
HE_EXPORT(GetTrEscape, "messages", false, "\x1B[0m", "")
#endif
