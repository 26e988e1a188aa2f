#include "files/line_remover.h"

#include <gtest/gtest.h>

#include "system/simulated_machine.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

constexpr const char* kPath = "c:\\config.sys";

struct LineCase {
    const char* name;
    std::string before;
    const char* token;
    std::string after;
};

class RemoveLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(RemoveLine, RewritesTheFileWithoutTheLine) {
    const LineCase& c = GetParam();
    SimulatedMachine machine;
    machine.add_file(kPath, c.before);
    remove_line_containing(machine, kPath, c.token);
    EXPECT_TRUE(machine.has_file(kPath));
    EXPECT_EQ(machine.file_bytes(kPath), c.after);
    EXPECT_EQ(machine.open_handles(), 0u);
    // One read request; a file without the token is never opened for writing.
    EXPECT_EQ(lines_starting_with(machine.trace, {"Read"}).size(), 1u);
    EXPECT_EQ(lines_starting_with(machine.trace, {"OpenRewrite"}).size(),
              c.before == c.after ? 0u : 1u);
}

const std::string kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Lines, RemoveLine,
    ::testing::Values(
        LineCase{"MiddleLine", "a\r\nx cs4232c y\r\nb\r\n", "cs4232c", "a\r\nb\r\n"},
        LineCase{"LastLineWithLf", "a\r\ncs4232c\r\n", "cs4232c", "a\r\n"},
        LineCase{"LastLineWithoutLf", "a\r\ncs4232c", "cs4232c", "a"},
        LineCase{"FirstLineAtOffsetZero", "cs4232c\r\nb\r\n", "cs4232c", "\r\nb\r\n"},
        LineCase{"FirstLineLater", "rem cs4232c\r\nb\r\n", "cs4232c", "\r\nb\r\n"},
        LineCase{"OnlyLineNoLf", "cs4232c", "cs4232c", ""},
        LineCase{"OnlyLineWithLf", "cs4232c\r\n", "cs4232c", "\r\n"},
        LineCase{"TwiceOnOneLineGoesOnce", "a\ncs4232c cs4232c\nb", "cs4232c", "a\r\nb"},
        LineCase{"OnlyTheFirstOfTwoLines", "a\ncs4232c 1\ncs4232c 2\n", "cs4232c",
                 "a\r\ncs4232c 2\r\n"},
        LineCase{"CaseMatters", "CS4232C\r\n", "cs4232c", "CS4232C\r\n"},
        LineCase{"LfOnlyFileComesBackWithCrLf", "a\ncs4232c\nb\n", "cs4232c", "a\r\nb\r\n"},
        LineCase{"LoneCrInRemovedLineGoes", "a\nx\rcs4232c\nb\rc\n", "cs4232c", "a\r\nb\rc\r\n"},
        LineCase{"CtrlZCutsTheRewrite", "a\r\ncs4232c\r\nb\x1Atail", "cs4232c", "a\r\nb"},
        LineCase{"TokenOnlyAfterCtrlZ",
                 "a\n\x1A"
                 "cs4232c\n",
                 "cs4232c",
                 "a\n\x1A"
                 "cs4232c\n"},
        LineCase{"TokenOnlyAfterNul", "a\n" + kNul + "cs4232c\n", "cs4232c",
                 "a\n" + kNul + "cs4232c\n"},
        LineCase{"BytesFromNulOnwardAreKept", "a\ncs4232c\n" + kNul + "b\r\n", "cs4232c",
                 "a\r\n" + kNul + "b\r\n"},
        LineCase{"TokenBeforeNulOnSameLine", "a\ncs4232c" + kNul + "z\n", "cs4232c",
                 "a" + kNul + "z\r\n"},
        LineCase{"NoTokenLeavesLfEndsAndCtrlZ", "a\nb\n\x1A", "cs4232c", "a\nb\n\x1A"}),
    CaseName());

TEST(RemoveLineFiles, FileThatDoesNotOpenIsNeitherReadNorClosedNorCreated) {
    SimulatedMachine machine;
    remove_line_containing(machine, kPath, "cs4232c");
    EXPECT_EQ(machine.trace, std::vector<std::string>{"OpenRead c:\\config.sys -> failed"});
    EXPECT_FALSE(machine.has_file(kPath));
}

constexpr size_t kLimit = 64 * 1024; // the longest text edited, in bytes

// Lines whose text, each with one line end, is `size` bytes; the token's second.
std::vector<std::string> lines_of(size_t size) {
    std::vector<std::string> lines = {"REM 0", "DEVICE=CS4232C.EXE"};
    size_t length = 25;
    for (; length + 160 < size; length += 80) lines.push_back(std::string(79, 'x'));
    lines.push_back(std::string(size - length - 1, 'y'));
    return lines;
}

std::string joined(const std::vector<std::string>& lines, const std::string& end,
                   size_t left_out = 99999) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += i == left_out ? "" : lines[i] + end;
    return text;
}

struct LimitCase {
    const char* name;
    size_t text_size;
    std::string line_end;
    std::string tail; // behind the text on disk
    bool edited;
};

class TextLimit : public ::testing::TestWithParam<LimitCase> {};

// The limit is on the text, the bytes before the first Ctrl-Z with CR-LF
// counted once, not on the size of the file.
TEST_P(TextLimit, TextThatFitsIsEditedWholeAndALongerOneIsLeft) {
    const LimitCase& c = GetParam();
    const std::string before = joined(lines_of(c.text_size), c.line_end) + c.tail;
    SimulatedMachine machine;
    machine.add_file(kPath, before);
    remove_line_containing(machine, kPath, "CS4232C");
    EXPECT_EQ(machine.file_bytes(kPath),
              c.edited ? joined(lines_of(c.text_size), "\r\n", 1) : before);
}

const std::string kLongTail = "\x1A" + std::string(70000, 't');

INSTANTIATE_TEST_SUITE_P(
    Limits, TextLimit,
    ::testing::Values(LimitCase{"LfTextAtTheLimit", kLimit, "\n", "", true},
                      LimitCase{"LfTextOneOver", kLimit + 1, "\n", "", false},
                      LimitCase{"CrLfTextAtTheLimit", kLimit, "\r\n", "", true},
                      LimitCase{"CrLfTextOneOver", kLimit + 1, "\r\n", "", false},
                      LimitCase{"EarlyCtrlZBeforeALongTail", 200, "\r\n", kLongTail, true},
                      LimitCase{"CtrlZAtTheLimit", kLimit, "\r\n", kLongTail, true},
                      LimitCase{"CtrlZOneOver", kLimit + 1, "\r\n", kLongTail, false}),
    CaseName());

struct FaultCase {
    const char* name;
    SimulatedMachine::Faults faults;
};

class RewriteFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(RewriteFault, FileHoldsItsOldBytes) {
    // Line ends as they come; LF-only lines that grow when rewritten; a long
    // tail behind a Ctrl-Z that was never read into a buffer.
    for (const std::string& before :
         {std::string("a\r\ncs4232c\r\nb\r\n"), std::string(40, '\n') + "cs4232c",
          "a\r\ncs4232c\r\nb\r\n\x1A" + std::string(200000, 't')}) {
        SimulatedMachine machine;
        machine.add_file(kPath, before);
        machine.faults = GetParam().faults;
        remove_line_containing(machine, kPath, "cs4232c");
        EXPECT_EQ(machine.file_bytes(kPath), before);
        EXPECT_EQ(machine.open_handles(), 0u);
        // Nothing is written or closed through a rewrite that did not open.
        EXPECT_EQ(machine.trace.back() == "OpenRewrite c:\\config.sys -> failed",
                  GetParam().faults.open_rewrite_fails);
    }
}

using Faults = SimulatedMachine::Faults;

INSTANTIATE_TEST_SUITE_P(
    Faults, RewriteFault,
    ::testing::Values(FaultCase{"OpenForRewritingFails", Faults{.open_rewrite_fails = true}},
                      FaultCase{"WriteFails", Faults{.write_fails = true}},
                      FaultCase{"WriteComesUpShort", Faults{.short_write_limit = 3}},
                      FaultCase{"NothingWritten", Faults{.short_write_limit = 0}},
                      FaultCase{"WriteStopsOneByteShort", Faults{.short_write_by = 1}},
                      FaultCase{"ReadFails", Faults{.read_fails = true}}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex
