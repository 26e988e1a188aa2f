// The installation fixtures of the Wine end-to-end tests, run on the
// simulated machine: both machines must reach the same end states.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "run/uninstall_run.h"
#include "system/simulated_machine.h"

namespace talvex {
namespace {

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        if (next == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += next == 'r'   ? '\r'
                   : next == 'n' ? '\n'
                   : next == 't' ? '\t'
                   : next == '0' ? '\0'
                                 : next;
        }
    }
    return out;
}

std::vector<std::string> split(const std::string& text, size_t parts) {
    std::vector<std::string> out;
    size_t from = 0;
    while (out.size() + 1 < parts) {
        const size_t bar = text.find('|', from);
        out.push_back(text.substr(from, bar - from));
        from = bar + 1;
    }
    out.push_back(text.substr(from));
    return out;
}

struct Fixture {
    struct Value {
        std::string key, name, data;
        uint32_t type;
    };
    struct SeededFile {
        std::string where, data;
        bool read_only;
    };
    std::vector<std::string> keys;
    std::vector<Value> values;
    std::vector<SeededFile> files;
    std::set<std::string> gone_keys, gone_values, gone_files;
    std::map<std::string, std::string> becomes;
};

Fixture load(const std::string& path) {
    Fixture f;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string verb = line.substr(0, line.find(' '));
        const std::string rest = line.substr(verb.size() + 1);
        if (verb == "gone") {
            const std::string kind = rest.substr(0, rest.find(' '));
            const std::string what = fold_name(rest.substr(kind.size() + 1));
            (kind == "key"     ? f.gone_keys
             : kind == "value" ? f.gone_values
                               : f.gone_files)
                .insert(what);
        } else if (verb == "key") {
            f.keys.push_back(rest);
        } else if (verb == "sz") {
            const auto p = split(rest, 3);
            f.values.push_back({p[0], p[1], unescape(p[2]) + std::string(1, '\0'), kRegSz});
        } else if (verb == "bin") {
            const auto p = split(rest, 3);
            std::string bytes;
            for (size_t i = 0; i < p[2].size(); i += 2) {
                bytes += static_cast<char>(std::stoi(p[2].substr(i, 2), nullptr, 16));
            }
            f.values.push_back({p[0], p[1], bytes, kRegBinary});
        } else if (verb == "file" || verb == "readonly") {
            const auto p = split(rest, 2);
            f.files.push_back({p[0], unescape(p[1]), verb == "readonly"});
        } else if (verb == "becomes") {
            const auto p = split(rest, 2);
            f.becomes[fold_name(p[0])] = unescape(p[1]);
        } else {
            ADD_FAILURE() << path << ": unknown line " << line;
        }
    }
    return f;
}

// Where the fixture's places are on this machine: as in a Wine prefix.
std::string place(const std::string& where) {
    const std::string head = fold_name(where.substr(0, where.find('\\')));
    const std::string rest = where.substr(where.find('\\'));
    return (head == "c" ? "C:" : head == "windir" ? "C:\\windows" : "C:\\windows\\system32") + rest;
}

bool expected_present(const Fixture& f, const std::string& key) {
    const std::string folded = fold_name(key);
    for (const std::string& gone : f.gone_keys) {
        if (folded == gone || folded.rfind(gone + "\\", 0) == 0) return false;
    }
    return true;
}

struct ScenarioCase {
    std::string fixture;
    bool nt;
};

class FixtureScenario : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(FixtureScenario, SilentRunReachesTheExpectedEndState) {
    const Fixture f = load(std::string(TALVEX_FIXTURE_DIR) + "/" + GetParam().fixture + ".txt");
    SimulatedMachine machine;
    machine.nt_key_deletion = GetParam().nt;
    machine.windows_directory = "C:\\windows";
    machine.system_directory = "C:\\windows\\system32";
    machine.command_line_text = "talvexun.exe /s";
    for (const std::string& key : f.keys) machine.add_key(key);
    for (const auto& v : f.values) machine.set_value(v.key, v.name, v.type, v.data);
    for (const auto& file : f.files) machine.add_file(place(file.where), file.data, file.read_only);
    const auto keys_before = machine.keys();

    uninstall_run(machine);

    EXPECT_EQ(machine.exit_code, 0u);
    std::set<std::string> seeded_keys;
    for (const std::string& key : f.keys) seeded_keys.insert(fold_name(key));
    for (const auto& v : f.values) seeded_keys.insert(fold_name(v.key));
    for (const std::string& key : seeded_keys) {
        EXPECT_EQ(machine.has_key(key), expected_present(f, key)) << key;
    }
    for (const auto& v : f.values) {
        const bool want =
            expected_present(f, v.key) && f.gone_values.count(fold_name(v.key + "|" + v.name)) == 0;
        EXPECT_EQ(machine.has_value(v.key, v.name), want) << v.key << "|" << v.name;
    }
    // Keys above the seeded ones may go with them; any other key must stay.
    for (const auto& entry : keys_before) {
        bool above_seeded = false;
        for (const std::string& key : seeded_keys) {
            above_seeded =
                above_seeded || key.rfind(entry.first + "\\", 0) == 0 || entry.first.empty();
        }
        if (!above_seeded && seeded_keys.count(entry.first) == 0) {
            EXPECT_TRUE(machine.has_key(entry.first)) << entry.first;
        }
    }
    size_t remaining = 0;
    for (const auto& file : f.files) {
        const std::string path = place(file.where);
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
    std::vector<ScenarioCase> cases;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TALVEX_FIXTURE_DIR)) {
        if (entry.path().extension() == ".txt") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        cases.push_back({name, false});
        cases.push_back({name, true});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureScenario, ::testing::ValuesIn(all_scenarios()),
                         [](const ::testing::TestParamInfo<ScenarioCase>& info) {
                             return info.param.fixture + (info.param.nt ? "_nt" : "_win95");
                         });

TEST(FixtureScenarios, AllAreFound) {
    EXPECT_GE(all_scenarios().size(), 10u);
}

} // namespace
} // namespace talvex
