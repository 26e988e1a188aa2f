#include "files/text_mode.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

const unsigned char* bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// (Encoding, each LF as CR-LF, is in every rewrite the start-up and full
// fixtures expect.)
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

} // namespace
} // namespace talvex
