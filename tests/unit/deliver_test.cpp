#include "deliver.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr unsigned char kCanary = 0xA5;

// Delivers `text` with the given limit into a guarded buffer and checks every
// rule of the copy: result, bytes, zero byte, nothing else written.
void expect_delivery(const std::string& text, int max_len) {
    SCOPED_TRACE("text of " + std::to_string(text.size()) + " bytes, MaxLen " + std::to_string(max_len));
    // The text sits in storage of exactly its size, so a read past its end
    // shows up under the address sanitizer.
    const std::vector<char> source(text.begin(), text.end());
    std::vector<unsigned char> area(16 + 300, kCanary);
    char* buffer = reinterpret_cast<char*>(area.data() + 16);
    char* result = he::DeliverText(source.data(), static_cast<std::uint32_t>(source.size()), buffer, max_len);
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::uint32_t>(max_len));
    ASSERT_EQ(result, buffer);
    EXPECT_EQ(std::string(buffer, n), text.substr(0, n));
    EXPECT_EQ(buffer[n], '\0');
    for (std::size_t i = 0; i < area.size(); ++i) {
        if (i < 16 || i > 16 + n) {
            ASSERT_EQ(area[i], kCanary) << "byte " << static_cast<long>(i) - 16 << " written";
        }
    }
}

TEST(DeliverText, CutsAtEveryLimitAndWritesOnlyUpToTheZeroByte) {
    const std::string texts[] = {"", "?", "\xF1\xE5\xE1\xE1 \xB0" "90", std::string(129, '\xE0'),
                                 "\xF8\xEE\xE4 : %d%%", "line\rline"};
    for (const auto& text : texts) {
        for (int m = 0; m <= static_cast<int>(text.size()) + 2; ++m) expect_delivery(text, m);
        for (int m : {-1, INT_MIN, INT_MIN + 1, -129, INT_MAX, 255}) expect_delivery(text, m);
    }
}

TEST(DeliverText, NegativeLimitMeansNoLimit) {
    char buffer[8];
    EXPECT_STREQ(he::DeliverText("abc", 3, buffer, -1), "abc");
    EXPECT_STREQ(he::DeliverText("abc", 3, buffer, INT_MIN), "abc");
}

TEST(DeliverText, CutsAPlaceholderInHalfWithoutMark) {
    char buffer[16];
    EXPECT_STREQ(he::DeliverText("x : %d", 6, buffer, 5), "x : %");
}

TEST(DeliverText, NullBufferIsAnsweredWithNullAndNoWrite) {
    for (int m : {0, 1, 255, -1, INT_MIN}) EXPECT_EQ(he::DeliverText("abc", 3, nullptr, m), nullptr);
}

TEST(DeliverText, LeavesEverythingAfterTheZeroByteAlone) {
    char buffer[8];
    std::memcpy(buffer, "XXXXXXX", 8);
    he::DeliverText("abcdef", 6, buffer, 2);
    EXPECT_EQ(std::string(buffer, 8), std::string("ab\0XXXX\0", 8));
}

}  // namespace
