#include "files/startup_file_purge.h"

#include <gtest/gtest.h>

#include <map>

#include "system/simulated_machine.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

std::vector<std::string> opened_for_reading(const SimulatedMachine& machine) {
    return call_arguments(machine.trace, "OpenRead");
}

TEST(StartupFilePurge, FortyEightCallsInFileOrderAndOneDirectoryQuery) {
    SimulatedMachine machine;
    purge_startup_files(machine);
    const auto paths = opened_for_reading(machine);
    ASSERT_EQ(paths.size(), 48u);
    for (size_t i = 0; i < 48; ++i) {
        const char* expected = i < 8    ? "c:\\config.sys"
                               : i < 40 ? "c:\\autoexec.bat"
                                        : "C:\\WINDOWS\\dosstart.bat";
        EXPECT_EQ(paths[i], expected) << i;
    }
    const auto queries = lines_starting_with(machine.trace, {"Get", "OpenRead c:\\autoexec"});
    EXPECT_EQ(queries.back(), "GetWindowsDirectoryA 20");
    EXPECT_EQ(queries.size(), 33u) << "queried once, after the last autoexec.bat call";
    EXPECT_TRUE(machine.files().empty()) << "no file is created";
}

const std::vector<std::string> kCs4232cOrder = {"cs4232c", "Cs4232c", "cS4232c", "cs4232C",
                                                "CS4232c", "Cs4232C", "cS4232C", "CS4232C"};
const std::vector<std::string> kCs32mixOrder = {
    "cs32mix", "Cs32mix", "cS32mix", "cs32Mix", "cs32mIx", "cs32miX", "CS32mix", "Cs32Mix",
    "Cs32mIx", "Cs32miX", "cS32Mix", "cS32mIx", "cS32miX", "cs32MIx", "cs32MiX", "cs32mIX",
    "CS32Mix", "CS32mIx", "CS32miX", "Cs32MIx", "Cs32MiX", "Cs32mIX", "cS32MIx", "cS32MiX",
    "cS32mIX", "cs32MIX", "CS32MIx", "CS32MiX", "CS32mIX", "Cs32MIX", "cS32MIX", "CS32MIX"};

class VariantOrder
    : public ::testing::TestWithParam<std::pair<std::string, std::vector<std::string>>> {};

// Every variant's line has a length of its own, so the size each rewrite
// takes off tells which variant that call removed.
TEST_P(VariantOrder, EachFileIsSearchedForEveryVariantInTableOrder) {
    const auto& [path, order] = GetParam();
    SimulatedMachine machine;
    std::string text = "REM\r\n";
    std::map<size_t, std::string> variant_of_removed_size;
    for (size_t i = order.size(); i-- > 0;) { // lines in reverse of the search order
        const std::string line = "LH " + order[i] + std::string(i, '.');
        variant_of_removed_size[line.size() + 2] = order[i];
        text += line + "\r\n";
    }
    machine.add_file(path, text);
    purge_startup_files(machine);
    EXPECT_EQ(machine.file_bytes(path), "REM\r\n");
    std::vector<std::string> removed;
    size_t size = text.size();
    for (const std::string& line : lines_starting_with(machine.trace, {"Write "})) {
        const size_t written = std::stoul(line.substr(6));
        removed.push_back(variant_of_removed_size[size - written]);
        size = written;
    }
    EXPECT_EQ(removed, order);
}

INSTANTIATE_TEST_SUITE_P(Files, VariantOrder,
                         ::testing::Values(std::make_pair("c:\\config.sys", kCs4232cOrder),
                                           std::make_pair("c:\\autoexec.bat", kCs32mixOrder),
                                           std::make_pair("C:\\WINDOWS\\dosstart.bat",
                                                          kCs4232cOrder)));

struct PurgeCase {
    const char* name;
    std::string config, autoexec, dosstart;
    std::string config_after, autoexec_after, dosstart_after;
};

class Purge : public ::testing::TestWithParam<PurgeCase> {};

TEST_P(Purge, EachFileLosesOnlyItsOwnTokensLines) {
    const PurgeCase& c = GetParam();
    SimulatedMachine machine;
    machine.add_file("c:\\config.sys", c.config);
    machine.add_file("c:\\autoexec.bat", c.autoexec);
    machine.add_file("C:\\WINDOWS\\DOSSTART.BAT", c.dosstart);
    purge_startup_files(machine);
    EXPECT_EQ(machine.file_bytes("c:\\config.sys"), c.config_after);
    EXPECT_EQ(machine.file_bytes("c:\\autoexec.bat"), c.autoexec_after);
    EXPECT_EQ(machine.file_bytes("C:\\WINDOWS\\DOSSTART.BAT"), c.dosstart_after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Purge,
    ::testing::Values(
        PurgeCase{"TwoVariantsTwoLinesBothGo", "a\r\nx cs4232c\r\ny CS4232C\r\n", "", "", "a\r\n",
                  "", ""},
        PurgeCase{"SameVariantTwiceOnlyFirstGoes", "a\r\ncs4232c 1\r\ncs4232c 2\r\n", "", "",
                  "a\r\ncs4232c 2\r\n", "", ""},
        PurgeCase{"OneLineWithBothVariantsThenAnother", "cs4232c CS4232C\r\nb\r\nCS4232C\r\n", "",
                  "", "\r\nb\r\n", "", ""},
        PurgeCase{"TokensStayInOtherFiles", "a\r\ncs32mix\r\n", "a\r\ncs4232c\r\n",
                  "a\r\nCS32MIX\r\n", "a\r\ncs32mix\r\n", "a\r\ncs4232c\r\n", "a\r\nCS32MIX\r\n"},
        PurgeCase{"SubstringInsideAPath", "", "C:\\WINDOWS\\CS32MIX.EXE /q\r\nPATH C:\\\r\n",
                  "rem\r\nC:\\WINDOWS\\cs4232c.exe\r\n", "", "\r\nPATH C:\\\r\n", "rem\r\n"}),
    [](const ::testing::TestParamInfo<PurgeCase>& info) { return std::string(info.param.name); });

// dosstart.bat's path begins with the directory just delivered, or is not
// composed at all.
TEST(StartupFilePurge, DosstartPathFollowsTheWindowsDirectory) {
    const struct {
        std::string directory;
        bool fails;
        std::string path;
        std::vector<std::string> queries;
    } cases[] = {
        {"C:\\", false, "C:\\\\dosstart.bat", {"GetWindowsDirectoryA 20"}},
        {"C:\\Windows\\TalvexUser0123",
         false,
         "C:\\Windows\\TalvexUser0123\\dosstart.bat",
         {"GetWindowsDirectoryA 20", "GetWindowsDirectoryA 260"}},
        {"C:\\WINDOWS",
         true,
         "c:\\autoexec.bat",
         {"GetWindowsDirectoryA 20", "GetWindowsDirectoryA 260"}},
    };
    for (const auto& c : cases) {
        SimulatedMachine machine;
        machine.windows_directory = c.directory;
        machine.directory_fails = c.fails;
        purge_startup_files(machine);
        EXPECT_EQ(opened_for_reading(machine).back(), c.path);
        EXPECT_EQ(lines_starting_with(machine.trace, {"GetWindowsDirectoryA"}), c.queries);
    }
}

} // namespace
} // namespace talvex
