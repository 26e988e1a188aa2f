// The installation fixtures of the Wine end-to-end tests, run on the
// simulated machine: both machines must reach the same end states.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "fixture_loader.h"
#include "run/uninstall_run.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

SimulatedMachine seeded(const fixture::Fixture& f, Family family) {
    SimulatedMachine machine(family);
    machine.command_line_text = "talvexun.exe /s";
    fixture::seed(machine, f);
    return machine;
}

// The fixture's copies, one after another, on a copy of a seeded machine.
std::unique_ptr<SimulatedMachine> silent_run(
    const fixture::Fixture& f, const SimulatedMachine& seeded,
    SimulatedMachine::CallFault fault = {},
    const std::function<void(SimulatedMachine&)>& prepare = [](SimulatedMachine&) {}) {
    auto machine = std::make_unique<SimulatedMachine>(seeded);
    prepare(*machine);
    machine->fault = fault;
    for (unsigned copy = 0; copy < f.copies; ++copy) uninstall_run(*machine);
    return machine;
}

struct ScenarioCase {
    std::string name, fixture;
    Family family;
};

class FixtureScenario : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(FixtureScenario, SilentRunReachesTheExpectedEndState) {
    const fixture::Fixture f = fixture::load(GetParam().fixture);
    EXPECT_EQ(f.errors, std::vector<std::string>());
    const auto machine = silent_run(f, seeded(f, GetParam().family));
    EXPECT_EQ(machine->exit_code, 0u);
    EXPECT_EQ(machine->open_handles(), 0u);
    EXPECT_EQ(fixture::differences(*machine, f), std::vector<std::string>());
}

std::vector<ScenarioCase> all_scenarios() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TALVEX_FIXTURE_DIR)) {
        if (entry.path().extension() == ".txt") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<ScenarioCase> cases;
    for (const std::string& name : names) {
        const std::set<std::string> modes = fixture::load(name).modes;
        // A fixture's win95 mode is Wine's, whose 9x family has links, and the
        // original's, which has none, whatever it answers to the link option.
        for (const auto& [family, mode] : {std::pair{Family::Windows95, "win95"},
                                           {Family::Windows95Ignores, "win95"},
                                           {Family::Windows95NotFound, "win95"},
                                           {Family::Wine9x, "win95"},
                                           {Family::Nt, "nt"}}) {
            if (modes.empty() || modes.count(mode) != 0)
                cases.push_back({name + "_" + family_name(family), name, family});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureScenario, ::testing::ValuesIn(all_scenarios()),
                         ::testing::PrintToStringParamName());

// What happens at one call of the run.
enum Event { kFailsOnce, kFailsFromThenOn, kOtherProgramAppends };
const char* const kEventNames[] = {"Once", "FromThenOn", "OtherProgram"};
const char* const kStartupFiles[] = {"C\\config.sys", "C\\autoexec.bat", "WINDIR\\dosstart.bat"};
const std::string kOtherLine = "SET OTHER=1";

class FaultSweep : public ::testing::TestWithParam<std::tuple<Family, Event>> {};

// Every call of a silent run on the full installation fails in turn, once or
// from then on, as a disk, a registry or a whole machine may fail; or, before
// it, another program adds a line to each start-up file where its open
// succeeds. Whatever happens, the run ends with exit code 0 and reaches
// nothing outside the card; the other program's line is there once, whole.
TEST_P(FaultSweep, NothingOutsideTheCardIsLostAndEveryFileIsWhole) {
    const auto [family, event] = GetParam();
    const bool other = event == kOtherProgramAppends, from_then_on = event == kFailsFromThenOn;
    const fixture::Fixture f = fixture::load("full");
    const SimulatedMachine full = seeded(f, family);
    const unsigned calls = silent_run(f, full)->calls();
    ASSERT_GT(calls, 0u);
    for (unsigned nth = 1; nth <= calls && !HasFailure(); ++nth) {
        SCOPED_TRACE("call " + std::to_string(nth) + (other ? ": the other program" : " fails"));
        std::set<std::string> added;
        const auto machine =
            silent_run(f, full, {other ? 0 : nth, from_then_on}, [&](SimulatedMachine& m) {
                m.before_call_nth = other ? nth : 0;
                m.before_call = [&m, &added] {
                    for (const char* where : kStartupFiles) {
                        if (m.other_program_appends(fixture::place(where), kOtherLine + "\n"))
                            added.insert(where);
                    }
                };
            });
        EXPECT_EQ(machine->exit_code, 0u);
        EXPECT_EQ(machine->open_handles(), 0u);
        // A rewrite gives the line CR-LF; taken out, what is left is compared.
        for (const char* where : kStartupFiles) {
            std::string bytes = machine->file_bytes(fixture::place(where));
            const size_t at = bytes.find(kOtherLine), end = at + kOtherLine.size();
            EXPECT_EQ(at != std::string::npos, added.count(where) != 0) << where << ": " << bytes;
            if (at == std::string::npos) continue;
            const size_t line_end = bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1;
            EXPECT_EQ(bytes.substr(end + line_end - 1, 1), "\n") << where << ": " << bytes;
            EXPECT_EQ(bytes.find(kOtherLine, end), std::string::npos) << where << ": " << bytes;
            machine->add_file(fixture::place(where), bytes.erase(at, end + line_end - at));
        }
        EXPECT_EQ(fixture::differences(*machine, f, !other, from_then_on),
                  std::vector<std::string>());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Families, FaultSweep,
    ::testing::Combine(::testing::Values(Family::Windows95, Family::Wine9x, Family::Nt),
                       ::testing::Values(kFailsOnce, kFailsFromThenOn, kOtherProgramAppends)),
    [](const auto& info) {
        return family_name(std::get<0>(info.param)) + kEventNames[std::get<1>(info.param)];
    });

// Each case of tests/e2e/fixture_format_cases.txt: the reader that seeds both
// the simulated machine and, in box_driver.exe, a Wine prefix.
TEST(FixtureFormat, ReaderReadsEachCaseAsTheTableSays) {
    std::ifstream cases(std::string(TALVEX_FIXTURE_DIR) + "/../fixture_format_cases.txt");
    size_t count = 0;
    for (std::string line; std::getline(cases, line);) {
        if (line.empty() || line[0] == '#') continue;
        ++count;
        const size_t arrow = line.rfind(" => ");
        std::string input = line.substr(0, arrow);
        for (size_t brace; (brace = input.find('{')) != std::string::npos;) {
            input.replace(brace, 4, 1, static_cast<char>(fixture::hex_byte(input, brace + 1)));
        }
        std::istringstream in(input);
        const fixture::Fixture f = fixture::load_lines(in);
        const std::string answer = line.substr(arrow + 4);
        std::string want = answer == "none" ? "(none)" : "", got = "(an error)";
        if (answer != "none" && !fixture::unhex(answer, want)) want = got;
        if (f.errors.empty() && !f.files.empty()) got = f.files[0].data;
        if (f.errors.empty() && f.files.empty()) { // a string value without its terminator
            got = f.values.empty() ? "(none)" : f.values[0].data;
            if (!f.values.empty() && !f.values[0].binary) got.pop_back();
        }
        EXPECT_EQ(got, want) << line;
    }
    EXPECT_NE(count, 0u) << "no cases read";
}

} // namespace
} // namespace talvex
