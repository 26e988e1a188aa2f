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

// Reads may deliver a byte at a time before the end of the file, as ReadFile
// may: the outcome is the same.
TEST_P(RemoveLine, RewritesTheFileWithoutTheLine) {
    const LineCase& c = GetParam();
    for (const uint32_t read_limit : {0u, 1u}) {
        SCOPED_TRACE(read_limit);
        SimulatedMachine machine;
        machine.read_limit = read_limit;
        machine.add_file(kPath, c.before);
        remove_line_containing(machine, kPath, c.token);
        EXPECT_EQ(machine.file_bytes(kPath), c.after);
        EXPECT_EQ(machine.open_handles(), 0u);
        // A file without the token is never written.
        EXPECT_EQ(lines_starting_with(machine.trace, {"Write"}).size(),
                  c.before == c.after ? 0u : 1u);
    }
}

const std::string kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Lines, RemoveLine,
    ::testing::Values(
        LineCase{"LastLineWithoutLf", "a\r\ncs4232c", "cs4232c", "a"},
        LineCase{"TwiceOnOneLineGoesOnce", "a\ncs4232c cs4232c\nb", "cs4232c", "a\r\nb"},
        LineCase{"LoneCrInRemovedLineGoes", "a\nx\rcs4232c\nb\rc\n", "cs4232c", "a\r\nb\rc\r\n"},
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
                 "a" + kNul + "z\r\n"}),
    ::testing::PrintToStringParamName());

TEST(RemoveLineFiles, FileThatDoesNotOpenIsNeitherReadNorClosedNorCreated) {
    SimulatedMachine machine;
    remove_line_containing(machine, kPath, "cs4232c");
    EXPECT_EQ(machine.trace, std::vector<std::string>{"OpenEdit c:\\config.sys -> failed"});
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
    // Whole reads, and reads of a page at a time: a short read is not the end.
    for (const uint32_t read_limit : {0u, 4096u}) {
        SCOPED_TRACE(read_limit);
        SimulatedMachine machine;
        machine.read_limit = read_limit;
        machine.add_file(kPath, before);
        remove_line_containing(machine, kPath, "CS4232C");
        EXPECT_EQ(machine.file_bytes(kPath),
                  c.edited ? joined(lines_of(c.text_size), "\r\n", 1) : before);
    }
}

const std::string kLongTail = "\x1A" + std::string(70000, 't');

INSTANTIATE_TEST_SUITE_P(
    Limits, TextLimit,
    ::testing::Values(LimitCase{"SmallFileOfManyReads", 10010, "\r\n", "", true},
                      LimitCase{"LfTextAtTheLimit", kLimit, "\n", "", true},
                      LimitCase{"LfTextOneOver", kLimit + 1, "\n", "", false},
                      LimitCase{"CrLfTextAtTheLimit", kLimit, "\r\n", "", true},
                      LimitCase{"CrLfTextOneOver", kLimit + 1, "\r\n", "", false},
                      LimitCase{"EarlyCtrlZBeforeALongTail", 200, "\r\n", kLongTail, true},
                      LimitCase{"CtrlZAtTheLimit", kLimit, "\r\n", kLongTail, true},
                      LimitCase{"CtrlZOneOver", kLimit + 1, "\r\n", kLongTail, false}),
    ::testing::PrintToStringParamName());

} // namespace
} // namespace talvex
