#include "files/text_mode.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

struct ReadCase {
    const char* name;
    std::string raw;
    size_t count;
    std::string delivered;
    size_t position_after;
};

class TextModeRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TextModeRead, TranslatesOneRequest) {
    const ReadCase& c = GetParam();
    std::string out(c.count + 1, '#');
    size_t position = 0;
    const size_t got =
        text_mode_read(reinterpret_cast<const unsigned char*>(c.raw.data()), c.raw.size(), position,
                       reinterpret_cast<unsigned char*>(out.data()), c.count);
    EXPECT_EQ(out.substr(0, got), c.delivered);
    EXPECT_EQ(out[got], '#') << "nothing written past what was delivered";
    EXPECT_EQ(position, c.position_after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TextModeRead,
    ::testing::Values(ReadCase{"CrLfBecomesLf", "a\r\nb\r\n", 100, "a\nb\n", 6},
                      ReadCase{"LoneCrStays", "a\rb", 100, "a\rb", 3},
                      ReadCase{"CrAsLastByteOfFileStays", "ab\r", 100, "ab\r", 3},
                      ReadCase{"CrCrLf", "a\r\r\nb", 100, "a\r\nb", 5},
                      ReadCase{"FirstCtrlZEndsTheData",
                               "ab\x1A"
                               "cd\x1A",
                               100, "ab", 6},
                      ReadCase{"CtrlZFirst",
                               "\x1A"
                               "abc",
                               100, "", 4},
                      ReadCase{"CrLastOfRequestBeforeLf", "ab\r\ncd", 3, "ab", 2},
                      ReadCase{"CrLastOfRequestBeforeOther", "ab\rcd", 3, "ab\r", 3},
                      ReadCase{"RequestShorterThanFile", "abcdef", 4, "abcd", 4},
                      ReadCase{"EmptyFile", "", 100, "", 0},
                      ReadCase{"NulIsData", std::string("a\0b", 3), 100, std::string("a\0b", 3),
                               3}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(TextModeRead, TheLfLeftUnreadComesWithTheNextRequest) {
    const std::string raw = "ab\r\ncd";
    const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
    unsigned char out[8] = {};
    size_t position = 0;
    EXPECT_EQ(text_mode_read(bytes, raw.size(), position, out, 3), 2u);
    EXPECT_EQ(text_mode_read(bytes, raw.size(), position, out + 2, 8), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 5), "ab\ncd");
    EXPECT_EQ(text_mode_read(bytes, raw.size(), position, out, 8), 0u);
}

TEST(TextModeEncode, EachLfBecomesCrLfAndCrsStay) {
    const struct {
        std::string text, raw;
    } cases[] = {{"a\nb\n", "a\r\nb\r\n"}, {"a\rb", "a\rb"}, {"\n\n", "\r\n\r\n"}, {"", ""}};
    for (const auto& c : cases) {
        std::string out(2 * c.text.size() + 1, '#');
        const size_t n =
            text_mode_encode(reinterpret_cast<const unsigned char*>(c.text.data()), c.text.size(),
                             reinterpret_cast<unsigned char*>(out.data()));
        EXPECT_EQ(out.substr(0, n), c.raw);
    }
}

} // namespace
} // namespace talvex
