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
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(RemoveLineFiles, FileWithoutTheTokenIsReadOnceAndNeverOpenedForWriting) {
    SimulatedMachine machine;
    machine.add_file(kPath, "a\nb\n");
    remove_line_containing(machine, kPath, "cs4232c");
    EXPECT_EQ(lines_starting_with(machine.trace, {"Read"}).size(), 1u);
    EXPECT_TRUE(lines_starting_with(machine.trace, {"OpenRewrite"}).empty());
}

TEST(RemoveLineFiles, MissingFileIsNotCreatedAndReadOnlyFileStays) {
    SimulatedMachine machine;
    machine.add_file("c:\\autoexec.bat", "cs4232c\r\n", true);
    remove_line_containing(machine, kPath, "cs4232c");
    remove_line_containing(machine, "c:\\autoexec.bat", "cs4232c");
    EXPECT_FALSE(machine.has_file(kPath));
    EXPECT_EQ(machine.file_bytes("c:\\autoexec.bat"), "cs4232c\r\n");
}

std::string numbered_lines(size_t count, size_t token_line) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += (i == token_line ? "DEVICE=C:\\CS4232C.EXE " : "REM line ") + std::to_string(i);
        text += "\r\n";
    }
    return text;
}

TEST(RemoveLineFiles, FilesBeyondTheFirstBufferAreHandledWhole) {
    for (size_t lines : {400, 1200, 4000}) { // about 5 KiB, 16 KiB and 59 KiB
        const std::string before = numbered_lines(lines, lines - 2);
        ASSERT_LE(before.size(), kLargestEditedFile);
        SimulatedMachine machine;
        machine.add_file(kPath, before);
        remove_line_containing(machine, kPath, "CS4232C");
        std::string expected = before;
        const size_t start = expected.find("DEVICE=");
        expected.erase(start - 2, expected.find("\r\n", start) - start + 2);
        EXPECT_EQ(machine.file_bytes(kPath), expected) << lines;
    }
}

TEST(RemoveLineFiles, FileLargerThanTheLimitIsLeftUnchanged) {
    std::string before = numbered_lines(10, 1);
    before += std::string(kLargestEditedFile, 'x');
    SimulatedMachine machine;
    machine.add_file(kPath, before);
    remove_line_containing(machine, kPath, "CS4232C");
    EXPECT_EQ(machine.file_bytes(kPath), before);
}

struct FaultCase {
    const char* name;
    SimulatedMachine::Faults faults;
};

class RewriteFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(RewriteFault, FileHoldsItsOldBytes) {
    for (const std::string& before :
         {std::string("a\r\ncs4232c\r\nb\r\n"), std::string("a\nb\nc\nd\ncs4232c\n")}) {
        SimulatedMachine machine;
        machine.add_file(kPath, before);
        machine.faults = GetParam().faults;
        remove_line_containing(machine, kPath, "cs4232c");
        EXPECT_EQ(machine.file_bytes(kPath), before);
        EXPECT_EQ(machine.open_handles(), 0u);
    }
}

SimulatedMachine::Faults fault(bool open_fails, bool write_fails, long short_limit,
                               bool read_fails = false) {
    SimulatedMachine::Faults f;
    f.open_rewrite_fails = open_fails;
    f.write_fails = write_fails;
    f.short_write_limit = short_limit;
    f.read_fails = read_fails;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RewriteFault,
    ::testing::Values(FaultCase{"OpenForRewritingFails", fault(true, false, -1)},
                      FaultCase{"WriteFails", fault(false, true, -1)},
                      FaultCase{"WriteComesUpShort", fault(false, false, 3)},
                      FaultCase{"NothingWritten", fault(false, false, 0)},
                      FaultCase{"ReadFails", fault(false, false, -1, true)}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex
