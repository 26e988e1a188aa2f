#include "files/driver_file_removal.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fixture_loader.h"
#include "registry/device_discovery.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

// The golden file of a run on the full fixture: every deletion and the
// directory query before it, in order.
constexpr const char* kGolden = "driver_files_full.txt";

// Both passes, with `inf_path` as slot 0's INF name if given.
void run_both_passes(SimulatedMachine& machine, DeviceTable table = {},
                     const std::string& inf_path = "") {
    std::copy(inf_path.begin(), inf_path.end(), table.slots[0].inf_path);
    remove_inf_files(machine, table, kFirstInfPassCapacity);
    remove_driver_files(machine, table);
}

// A fixture on a machine whose directories are moved where `windows` and
// `system` say; the file calls of both passes.
std::vector<std::string> run_on(const std::string& name, const std::string& windows,
                                const std::string& system, bool directory_fails = false) {
    SimulatedMachine machine;
    fixture::seed(machine, fixture::load(name));
    machine.windows_directory = windows;
    machine.system_directory = system;
    machine.directory_fails = directory_fails;
    DeviceTable table = {};
    discover_device_instances(machine, table);
    machine.trace.clear();
    run_both_passes(machine, table);
    return without_outcome(lines_starting_with(
        machine.trace, {"DeleteFileA", "GetWindowsDirectoryA", "GetSystemDirectoryA"}));
}

// On the empty fixture every INF name is empty: the folders themselves are
// named, and deleting them fails.
TEST(DriverFileRemoval, GivesTheGoldenCalls) {
    for (const std::string name : {"full", "empty"}) {
        expect_golden("driver_files_" + name + ".txt",
                      run_on(name, fixture::place("WINDIR"), fixture::place("SYSDIR")));
    }
}

// A name that climbs out of the inf folders, names a drive, holds a wildcard
// that Windows 95 may expand or ends in half a character is never deleted.
TEST(DriverFileRemoval, InfPathsThatCouldReachOtherFilesAreNeverDeleted) {
    for (const char* name :
         {"..\\..\\config.sys", "../win.ini", "c:x.inf", "..", ".", "*.inf", "talvex?.inf", "*",
          "\x83\\\\..\\..\\config.sys", "\x83*.inf", "\x83?.inf", "x.inf\x83"}) {
        SCOPED_TRACE(name);
        SimulatedMachine machine;
        for (int b = 0x81; b <= 0x9F; ++b) machine.lead_bytes.set(b);
        for (const char* kept :
             {"c:\\config.sys", "C:\\WINDOWS\\win.ini", "C:\\WINDOWS\\inf\\talvex0.inf",
              "C:\\WINDOWS\\inf\\other\\x.inf"}) {
            machine.add_file(kept, "keep");
        }
        run_both_passes(machine, {}, name);
        EXPECT_EQ(machine.files().size(), 4u);
        for (const std::string& path : call_arguments(machine.trace, "DeleteFileA")) {
            EXPECT_NE(path.substr(path.size() - std::min(path.size(), std::strlen(name) + 1)),
                      "\\" + std::string(name))
                << path;
        }
    }
    // Only "." and ".." climb: a name that merely starts with dots goes.
    SimulatedMachine machine;
    machine.add_file("C:\\WINDOWS\\inf\\..good.inf", "x");
    run_both_passes(machine, {}, "..good.inf");
    EXPECT_FALSE(machine.has_file("C:\\WINDOWS\\inf\\..good.inf"));
}

struct DirectoryCase {
    const char* name;
    std::string windows;
    bool fails;   // both queries return 0
    bool deletes; // every deletion of the golden file, in the moved directories
};

class DirectoryShape : public ::testing::TestWithParam<DirectoryCase> {};

// No deletion is attempted on a path that does not begin with the directory
// just delivered; a long one is queried again with room enough.
TEST_P(DirectoryShape, PathsBeginWithTheDirectoryJustDelivered) {
    const DirectoryCase& c = GetParam();
    const std::string system = c.windows + "\\SYSTEM";
    std::vector<std::string> expected;
    for (const std::string& call : golden(kGolden)) {
        const std::string path = call.substr(call.find(' ') + 1);
        if (!c.deletes || call.rfind("DeleteFileA", 0) != 0) continue;
        const bool in_system = path.rfind(fixture::place("SYSDIR"), 0) == 0;
        const std::string from = fixture::place(in_system ? "SYSDIR" : "WINDIR");
        expected.push_back("DeleteFileA " + (in_system ? system : c.windows) +
                           path.substr(from.size()));
    }
    EXPECT_EQ(lines_starting_with(run_on("full", c.windows, system, c.fails), {"DeleteFileA"}),
              expected);
}

INSTANTIATE_TEST_SUITE_P(
    Directories, DirectoryShape,
    ::testing::Values(
        DirectoryCase{"RootOfDrive", "D:\\", false, true},
        DirectoryCase{"LongestForTheShortQueries", "C:\\WINDOWS\\ABCDEFGH", false, true},
        DirectoryCase{"TooLongForTheShortQueries", "C:\\Windows\\TalvexUser0123", false, true},
        DirectoryCase{"LongerThanAnyBuffer", "C:\\" + std::string(270, 'w'), false, false},
        DirectoryCase{"QueryFails", "C:\\WINDOWS", true, false}),
    ::testing::PrintToStringParamName());

} // namespace
} // namespace talvex
