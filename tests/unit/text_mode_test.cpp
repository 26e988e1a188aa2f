#include "files/text_mode.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

const unsigned char* bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(TextMode, DecodeTurnsCrLfIntoLfAndStopsAtTheFirstCtrlZ) {
    const struct {
        std::string raw, text;
        bool at_ctrl_z;
    } cases[] = {
        {"a\r\nb\r\n", "a\nb\n", false},
        {"a\rb", "a\rb", false},
        {"ab\r", "ab\r", false},
        {"a\r\r\nb", "a\r\nb", false},
        {"ab\x1A"
         "cd\x1A",
         "ab", true},
        {"\x1A"
         "abc",
         "", true},
        {"a\r\x1A\n", "a\r", true},
        {"", "", false},
        {std::string("a\0b", 3), std::string("a\0b", 3), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.raw));
        std::string out(c.raw.size() + 1, '#');
        bool at_ctrl_z = !c.at_ctrl_z;
        // An LF just past the data must not make a last CR part of a CR-LF.
        const size_t n = text_mode_decode(bytes(c.raw + "\n"), c.raw.size(),
                                          reinterpret_cast<unsigned char*>(out.data()), at_ctrl_z);
        EXPECT_EQ(out.substr(0, n), c.text);
        EXPECT_EQ(out[n], '#') << "nothing written past what was delivered";
        EXPECT_EQ(at_ctrl_z, c.at_ctrl_z);
    }
}

TEST(TextMode, EncodeTurnsEachLfIntoCrLfAndKeepsCrs) {
    const struct {
        std::string text, raw;
    } cases[] = {{"a\nb\n", "a\r\nb\r\n"}, {"a\rb", "a\rb"}, {"\n\n", "\r\n\r\n"}, {"", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        std::string out(2 * c.text.size() + 1, '#');
        const size_t n = text_mode_encode(bytes(c.text), c.text.size(),
                                          reinterpret_cast<unsigned char*>(out.data()));
        EXPECT_EQ(out.substr(0, n), c.raw);
        EXPECT_EQ(out[n], '#');
    }
}

} // namespace
} // namespace talvex
