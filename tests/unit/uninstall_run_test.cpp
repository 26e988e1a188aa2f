#include "run/uninstall_run.h"

#include <gtest/gtest.h>

#include "fixture_loader.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

// The buttons' results as Windows gives them. (Which tails make a run
// silent is the command-line tail's table.)
constexpr int kYes = 6, kNo = 7, kCancel = 2;

struct FlowCase {
    const char* name;
    const char* command_line;
    std::vector<int> answers;
    bool cleans;
    int boxes;
    unsigned failing_call = 0;
};

class RunFlow : public ::testing::TestWithParam<FlowCase> {};

TEST_P(RunFlow, ExitsWithZeroAndCleansOnlyWithConsent) {
    const FlowCase& c = GetParam();
    SimulatedMachine machine;
    machine.command_line_text = c.command_line;
    machine.language = 0x0407;
    machine.box_answers.assign(c.answers.begin(), c.answers.end());
    machine.fault = {c.failing_call};
    fixture::seed(machine, fixture::load("full"));
    const std::string config_sys = machine.file_bytes("C:\\config.sys");

    uninstall_run(machine);

    EXPECT_EQ(machine.trace.front(), "GetUserDefaultLangID");
    EXPECT_EQ(machine.trace.back(), "ExitProcess 0");
    // No ends the process before anything is read or changed.
    EXPECT_EQ(machine.trace.size() == 3, !c.cleans) << ::testing::PrintToString(machine.trace);
    EXPECT_EQ(lines_starting_with(machine.trace, {"MessageBoxExA"}).size(),
              static_cast<size_t>(c.boxes));
    EXPECT_EQ(machine.has_key("Enum\\ISAPNP\\CSC9836_DEV0000"), !c.cleans);
    EXPECT_EQ(machine.has_file(fixture::place("SYSDIR\\cs32ba11.drv")), !c.cleans);
    EXPECT_EQ(machine.file_bytes("C:\\config.sys") != config_sys, c.cleans);
    EXPECT_EQ(machine.open_handles(), 0u);
    // Only a copy that owns the mutex releases it: one that timed out cleans without it.
    EXPECT_EQ(lines_starting_with(machine.trace, {"ReleaseMutex"}).size(),
              c.cleans && c.failing_call == 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RunFlow,
    ::testing::Values(FlowCase{"AnswerNo", "talvexun.exe", {kNo}, false, 1},
                      FlowCase{"BoxDismissed", "talvexun.exe", {kCancel}, false, 1},
                      FlowCase{"AnswerYes", "talvexun.exe", {kYes}, true, 2},
                      FlowCase{"BoxCannotBeShown", "talvexun.exe", {0, kYes}, true, 2},
                      // char is signed: a tail that begins above 0x7F is a tail too.
                      FlowCase{"SilentWithHighByteTail", "talvexun.exe \xA0", {kNo}, true, 0},
                      FlowCase{"NoMutexCanBeMade", "talvexun.exe x", {}, true, 0, 1},
                      FlowCase{"MutexWaitTimesOut", "talvexun.exe x", {}, true, 0, 2}),
    ::testing::PrintToStringParamName());

TEST(RunFlow, BoxesCarryTheChosenTextsStylesAndLanguage) {
    SimulatedMachine machine;
    machine.language = 0x0813; // Dutch, Belgium: the boxes get 1043
    uninstall_run(machine);
    const auto boxes = lines_starting_with(machine.trace, {"MessageBoxExA"});
    ASSERT_EQ(boxes.size(), 2u);
    const fixture::Messages dutch = fixture::messages().at("nl");
    EXPECT_EQ(boxes[0], "MessageBoxExA \"" + dutch.prompt + "\" \"Talvex\" 0x1014 1043");
    EXPECT_EQ(boxes[1], "MessageBoxExA \"" + dutch.completion + "\" \"Talvex\" 0x1040 1043");
    // The confirmation comes before any machine access, the completion after all of it.
    EXPECT_EQ(machine.trace[1], boxes[0]);
    EXPECT_EQ(machine.trace[machine.trace.size() - 2], boxes[1]);
}

// The first of each phase's own calls, from the golden files, in the order
// the phases must come; the mutex held around them all.
TEST(RunFlow, PhasesRunInOrder) {
    const auto first = [](const std::string& golden_file, const std::string& call,
                          bool in_inf_folder = false) {
        for (const std::string& line : lines_starting_with(golden(golden_file), {call})) {
            if ((line.find("\\inf\\") != std::string::npos) == in_inf_folder) return line;
        }
        return std::string("(none in ") + golden_file + ")";
    };
    const std::string kStartup = "startup_files_full.txt";
    const std::vector<std::string> firsts = {first(kStartup, "WaitForSingleObject"),
                                             first("registry_full_win95.txt", "RegOpenKeyExA"),
                                             first("driver_files_full.txt", "DeleteFileA", true),
                                             first("registry_full_win95.txt", "RegDeleteKeyA"),
                                             first("driver_files_full.txt", "DeleteFileA"),
                                             first(kStartup, "OpenEdit"),
                                             first(kStartup, "ReleaseMutex"),
                                             "ExitProcess 0"};
    SimulatedMachine machine;
    machine.command_line_text = "talvexun.exe -silent";
    fixture::seed(machine, fixture::load("full"));
    uninstall_run(machine);
    expect_golden(kStartup,
                  lines_starting_with(machine.trace, {"CreateMutexA", "WaitFor", "OpenEdit", "Read",
                                                      "Rewind", "Write", "SetEnd", "Flush", "Close",
                                                      "ReleaseMutex", "ExitProcess"}));
    size_t at = 0;
    for (const std::string& call : firsts) {
        while (at < machine.trace.size() && machine.trace[at].rfind(call, 0) != 0) ++at;
        EXPECT_LT(at, machine.trace.size()) << call << " missing or out of order";
    }
}

} // namespace
} // namespace talvex
