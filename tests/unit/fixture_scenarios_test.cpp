// The installation fixtures of the Wine end-to-end tests, run on the
// simulated machine: both machines must reach the same end states.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "fixture_loader.h"
#include "run/uninstall_run.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

struct ScenarioCase {
    std::string name, fixture;
    bool nt;
};

class FixtureScenario : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(FixtureScenario, SilentRunReachesTheExpectedEndState) {
    const fixture::Fixture f = fixture::load(GetParam().fixture);
    EXPECT_EQ(f.errors, std::vector<std::string>());
    SimulatedMachine machine;
    machine.nt_key_deletion = GetParam().nt;
    machine.command_line_text = "talvexun.exe /s";
    fixture::seed(machine, f);

    uninstall_run(machine);

    EXPECT_EQ(machine.exit_code, 0u);
    std::set<std::string> seeded_keys;
    for (const std::string& key : f.keys) seeded_keys.insert(fold_name(key));
    for (const auto& v : f.values) seeded_keys.insert(fold_name(v.key));
    for (const auto& link : f.links) seeded_keys.insert(fold_name(link.path));
    for (const std::string& key : seeded_keys) {
        EXPECT_EQ(machine.has_key(key), fixture::expected_present(f, key)) << key;
    }
    for (const auto& v : f.values) {
        const bool want = fixture::expected_present(f, v.key) &&
                          f.gone_values.count(fold_name(v.key + "|" + v.name)) == 0;
        EXPECT_EQ(machine.has_value(v.key, v.name), want) << v.key << "|" << v.name;
    }
    size_t remaining = 0;
    for (const auto& file : f.files) {
        const std::string path = fixture::place(file.where);
        const bool gone = f.gone_files.count(fold_name(file.where)) != 0;
        EXPECT_EQ(machine.has_file(path), !gone) << path;
        if (gone) continue;
        ++remaining;
        auto becomes = f.becomes.find(fold_name(file.where));
        EXPECT_EQ(machine.file_bytes(path),
                  becomes == f.becomes.end() ? file.data : becomes->second)
            << path;
    }
    EXPECT_EQ(machine.files().size(), remaining) << "no file is created";
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
        for (const bool nt : {false, true}) {
            const std::string mode = nt ? "nt" : "win95";
            if (modes.empty() || modes.count(mode) != 0)
                cases.push_back({name + "_" + mode, name, nt});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureScenario, ::testing::ValuesIn(all_scenarios()),
                         CaseName());

// The validator refuses what a fixture expects but never seeded.
TEST(FixtureFormat, ExpectationsOfUnseededThingsAreRefused) {
    std::istringstream in("key A\\B\nsz K|V|x\nfile C\\a.txt|x\ngone key A\\B\ngone key A\\C\n"
                          "gone value K|V\ngone value K|W\ngone file C\\a.txt\n"
                          "gone file C\\b.txt\nbecomes C\\c.txt|y\nfile D\\x|y\nfoo bar\n");
    EXPECT_EQ(fixture::load_lines(in).errors,
              (std::vector<std::string>{
                  "gone key A\\C: never seeded", "gone value K|W: never seeded",
                  "gone file C\\b.txt: never seeded", "becomes C\\c.txt|y: never seeded",
                  "file D\\x|y: unknown place", "foo bar: unknown line"}));
}

// Each case of tests/e2e/fixture_format_cases.txt, which the Python reader
// (tests/e2e/fixture.py) runs too.
TEST(FixtureFormat, BothReadersReadEachCaseAlike) {
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
        std::string want;
        if (!fixture::unhex(line.substr(arrow + 4), want)) want = "(an error)";
        const auto read = [&f] { // a string value without its terminator
            if (!f.files.empty()) return f.files[0].data;
            return f.values.at(0).data.substr(0, f.values[0].data.size() -
                                                     (f.values[0].type == kRegSz));
        };
        EXPECT_EQ(f.errors.empty() ? read() : "(an error)", want) << line;
    }
    EXPECT_NE(count, 0u) << "no cases read";
}

} // namespace
} // namespace talvex
