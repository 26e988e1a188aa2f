#include "run/command_line_tail.h"

#include <gtest/gtest.h>

#include <string>

#include "system/simulated_machine.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

struct TailCase {
    const char* name;
    std::string line;
    std::string tail;
    bool double_byte; // 0x81 to 0x9F are lead bytes, as in code page 932
};

class CommandLineTail : public ::testing::TestWithParam<TailCase> {};

TEST_P(CommandLineTail, CutsAfterTheNameAndItsBlanks) {
    const TailCase& c = GetParam();
    SimulatedMachine machine;
    if (c.double_byte) {
        for (int b = 0x81; b <= 0x9F; ++b) machine.lead_bytes.set(b);
    }
    const char* tail = command_line_tail(c.line.c_str(), machine);
    EXPECT_EQ(std::string(tail), c.tail);
    // The tail is the input's own bytes, never a copy.
    EXPECT_GE(tail, c.line.c_str());
    EXPECT_LE(tail, c.line.c_str() + c.line.size());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CommandLineTail,
    ::testing::Values(TailCase{"NameOnly", "talvexun.exe", "", false},
                      TailCase{"QuotedNameOnly", "\"C:\\Talvex\\talvexun.exe\"", "", false},
                      TailCase{"BlanksAndTabs", "talvexun.exe \t  \t", "", false},
                      TailCase{"QuotedThenBlanks", "\"talvexun.exe\"   ", "", false},
                      TailCase{"QuotedWithBlanksThenWord",
                               "\"C:\\Program Files\\talvexun.exe\" now", "now", false},
                      TailCase{"CharacterBehindClosingQuote", "\"talvexun.exe\"x", "x", false},
                      TailCase{"UnterminatedQuote", "\"C:\\Talvex\\talvexun.exe -s", "", false},
                      TailCase{"HighByteIsNoBlank", "talvexun.exe \xA0", "\xA0", false},
                      TailCase{"ExclamationIsNoBlank", "talvexun.exe !", "!", false},
                      TailCase{"ExclamationInTheName", "talvex!un.exe", "", false},
                      TailCase{"HighBytesBelongToUnquotedName", "talvex\xA0un.exe", "", false},
                      TailCase{"EmptyLine", "", "", false},
                      TailCase{"ControlCharactersSkipped", "talvexun.exe\r\n\x01-x", "-x", false},
                      TailCase{"TrailingBlanksKept", "talvexun.exe /s  ", "/s  ", false},
                      TailCase{"OptionLikeWord", "talvexun.exe /?", "/?", false},
                      TailCase{"QuoteInTrailPositionSingleByte", "\"ab\x81\" rest", "rest", false},
                      TailCase{"QuoteInTrailPositionDoubleByte", "\"ab\x81\" x\" rest", "rest",
                               true},
                      TailCase{"LeadByteAtEnd", "\"ab\x81", "", true},
                      TailCase{"NoLeadTestUnquoted", "ab\x81 rest", "rest", true}),
    ::testing::PrintToStringParamName());

} // namespace
} // namespace talvex
