#include "cp1255.h"
#include "rules.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using he::cp1255::text;

bool carriable(std::string_view s) { return !he::rules::first_refused(s).found; }

// The mapping, checked by the compiler.
static_assert(text<"א">() == "\xE0");
static_assert(text<"ת">() == "\xFA");
static_assert(text<"ךםןףץ">() == "\xEA\xED\xEF\xF3\xF5");  // final forms keep their own bytes
static_assert(text<"°">() == "\xB0");
static_assert(text<": רוחב">() == ": \xF8\xE5\xE7\xE1");
static_assert(text<"a\rb">() == "a\rb");
static_assert(text<"">().empty());
static_assert(text<"דצבמר">() == "\xE3\xF6\xE1\xEE\xF8");
static_assert(text<"סובב °180">().size() == 9);

TEST(Encoding, AcceptsExactlyTheCharactersTheModuleCarries) {
    for (std::string_view ok : {"", " ", "~", "!\"#$%&'()*+,-./09:;<=>?@AZ[\\]^_`az{|}", "\r", "\r\r",
                                "°", "אבגדהוזחטיךכלםמןנסעףפץצקרשת"})
        EXPECT_TRUE(carriable(ok)) << ok;
}

TEST(Encoding, RejectsEverythingElse) {
    for (std::string_view bad : {
             std::string_view("\n"), std::string_view("\t"), std::string_view("a\0b", 3), std::string_view("\x1B"),
             std::string_view("\x7F"), std::string_view("שָ"),  // a vowel point
             std::string_view("\xD6\xBC"),                      // dagesh alone
             std::string_view("װ"),                             // Yiddish ligature, outside the letters
             std::string_view("₪"), std::string_view("€"), std::string_view("é"), std::string_view("±"),
             std::string_view("\xC2\xA0"),  // no-break space
             std::string_view("\xD7"),      // a sequence cut short
             std::string_view("\x90"),      // a continuation byte alone
             std::string_view("\xC0\xB0"),  // overlong form of "0"
             std::string_view("\xEF\xBB\xBF"),  // byte order mark
         })
        EXPECT_FALSE(carriable(bad)) << testing::PrintToString(bad);
}

}  // namespace
