#include "files/driver_file_removal.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fixture_loader.h"
#include "registry/device_discovery.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

// The deletion paths in order, without their outcome.
std::vector<std::string> deleted_paths(const SimulatedMachine& machine) {
    std::vector<std::string> paths;
    for (const std::string& path : call_arguments(machine.trace, "DeleteFileA")) {
        paths.push_back("DeleteFileA " + path);
    }
    return paths;
}

DeviceTable table_with_inf_paths(std::vector<std::string> names) {
    DeviceTable table = {};
    for (size_t i = 0; i < names.size(); ++i) {
        std::copy(names[i].begin(), names[i].end(), table.slots[i].inf_path);
    }
    return table;
}

void run_both_passes(SimulatedMachine& machine, const DeviceTable& table) {
    remove_inf_files(machine, table, kFirstInfPassCapacity);
    remove_driver_files(machine, table);
}

TEST(DriverFileRemoval, FiftyFiveDeletionsInOrderEachAfterItsOwnQuery) {
    SimulatedMachine machine;
    fixture::seed(machine, fixture::load("full"));
    DeviceTable table = {};
    discover_device_instances(machine, table);
    machine.trace.clear();
    run_both_passes(machine, table);

    expect_golden("deletions_all_slots.txt", deleted_paths(machine));
    const auto calls = lines_starting_with(
        machine.trace, {"DeleteFileA", "GetWindowsDirectoryA", "GetSystemDirectoryA"});
    ASSERT_EQ(calls.size(), 110u);
    for (size_t i = 0; i < calls.size(); i += 2) {
        const bool system = i >= 2 * (12 + 10) && i < 2 * (12 + 10 + 21);
        const std::string capacity = i < 2 * 12 ? " 260" : " 20";
        EXPECT_EQ(calls[i], (system ? "GetSystemDirectoryA" : "GetWindowsDirectoryA") + capacity);
    }
}

TEST(DriverFileRemoval, EmptyInfPathNamesTheFoldersAndRemovesNothing) {
    SimulatedMachine machine;
    machine.add_file("C:\\WINDOWS\\inf\\keep.inf", "keep");
    remove_inf_files(machine, DeviceTable{}, kFirstInfPassCapacity);
    const auto paths = deleted_paths(machine);
    ASSERT_EQ(paths.size(), 12u);
    EXPECT_EQ(paths[0], "DeleteFileA C:\\WINDOWS\\inf\\");
    EXPECT_EQ(paths[1], "DeleteFileA C:\\WINDOWS\\inf\\other\\");
    EXPECT_TRUE(machine.has_file("C:\\WINDOWS\\inf\\keep.inf"));
}

// A name that climbs out of the inf folders, names a drive, or holds a
// wildcard that Windows 95 may expand is never handed to a deletion.
TEST(DriverFileRemoval, InfPathsThatCouldReachOtherFilesAreNeverDeleted) {
    for (const char* name :
         {"..\\..\\config.sys", "../win.ini", "c:x.inf", "..", ".", "*.inf", "talvex?.inf", "*"}) {
        SCOPED_TRACE(name);
        SimulatedMachine machine;
        for (const char* kept :
             {"c:\\config.sys", "C:\\WINDOWS\\win.ini", "C:\\WINDOWS\\inf\\talvex0.inf",
              "C:\\WINDOWS\\inf\\other\\x.inf"}) {
            machine.add_file(kept, "keep");
        }
        run_both_passes(machine, table_with_inf_paths({name}));
        EXPECT_EQ(machine.files().size(), 4u);
        for (const std::string& path : deleted_paths(machine)) {
            EXPECT_NE(path.substr(path.size() - std::strlen(name) - 1), "\\" + std::string(name))
                << path;
        }
    }
    // Only "." and ".." climb: a name that merely starts with dots goes.
    SimulatedMachine machine;
    machine.add_file("C:\\WINDOWS\\inf\\..good.inf", "x");
    run_both_passes(machine, table_with_inf_paths({"..good.inf"}));
    EXPECT_FALSE(machine.has_file("C:\\WINDOWS\\inf\\..good.inf"));
}

struct DirectoryCase {
    const char* name;
    std::string windows;
    bool fails;             // both queries return 0
    std::string first_inf;  // first deletion of the first pass; none when empty
    std::string first_list; // first deletion of the Windows-directory list
};

class DirectoryShape : public ::testing::TestWithParam<DirectoryCase> {};

// No deletion is attempted on a path that does not begin with the directory
// just delivered; a long one is queried again with room enough.
TEST_P(DirectoryShape, PathsBeginWithTheDirectoryJustDelivered) {
    const DirectoryCase& c = GetParam();
    SimulatedMachine machine;
    machine.windows_directory = c.windows;
    machine.system_directory = c.windows + "\\SYSTEM";
    machine.directory_fails = c.fails;
    run_both_passes(machine, table_with_inf_paths({"t.inf"}));
    const auto paths = deleted_paths(machine);
    if (c.first_inf.empty()) {
        EXPECT_EQ(paths, std::vector<std::string>());
        return;
    }
    ASSERT_EQ(paths.size(), 55u) << "a long directory still gets every deletion";
    EXPECT_EQ(paths[0], "DeleteFileA " + c.first_inf);
    EXPECT_EQ(paths[12], "DeleteFileA " + c.first_list);
    EXPECT_EQ(paths[22], "DeleteFileA " + c.windows + "\\SYSTEM\\cs32ba11.drv");
    EXPECT_EQ(paths[43], "DeleteFileA " + c.first_inf) << "second pass, same paths";
}

INSTANTIATE_TEST_SUITE_P(
    Directories, DirectoryShape,
    ::testing::Values(
        DirectoryCase{"RootOfDrive", "D:\\", false, "D:\\\\inf\\t.inf", "D:\\\\94pc4m1.bin"},
        DirectoryCase{"NineteenCharacters", "C:\\WINDOWS\\ABCDEFGH", false,
                      "C:\\WINDOWS\\ABCDEFGH\\inf\\t.inf", "C:\\WINDOWS\\ABCDEFGH\\94pc4m1.bin"},
        DirectoryCase{"TwentyFiveCharacters", "C:\\Windows\\TalvexUser0123", false,
                      "C:\\Windows\\TalvexUser0123\\inf\\t.inf",
                      "C:\\Windows\\TalvexUser0123\\94pc4m1.bin"},
        DirectoryCase{"LongerThanAnyBuffer", "C:\\" + std::string(270, 'w'), false, "", ""},
        DirectoryCase{"QueryFails", "C:\\WINDOWS", true, "", ""}),
    [](const ::testing::TestParamInfo<DirectoryCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
} // namespace talvex
