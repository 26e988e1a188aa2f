#include "registry/registry_removal.h"

#include <gtest/gtest.h>

#include "fixture_loader.h"
#include "registry/device_discovery.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

const std::vector<std::string> kRegistryCalls = {"RegOpenKeyExA", "RegQueryValueExA", "RegCloseKey",
                                                 "RegDeleteKeyA", "RegDeleteValueA"};

void discover_and_remove(SimulatedMachine& machine) {
    DeviceTable table = {};
    discover_device_instances(machine, table);
    remove_registry_entries(machine, table);
    EXPECT_EQ(machine.open_handles(), 0u);
}

class RegistryRemoval : public ::testing::TestWithParam<bool> {};

// Every call of discovery and removal on the full installation, in order:
// both key-deletion families make the same calls with the same results.
TEST_P(RegistryRemoval, FullInstallationGivesTheGoldenTrace) {
    SimulatedMachine machine;
    machine.nt_key_deletion = GetParam();
    fixture::seed(machine, fixture::load("full"));
    discover_and_remove(machine);
    expect_golden("registry_all_slots.txt", lines_starting_with(machine.trace, kRegistryCalls));
}

INSTANTIATE_TEST_SUITE_P(KeyDeletion, RegistryRemoval, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "NtStyle" : "Windows95");
                         });

TEST(RegistryRemovalSteps, NoSlotPresentGivesFourteenDeletionsAndTheValue) {
    SimulatedMachine machine;
    machine.set_string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Talvexhst", "x");
    discover_and_remove(machine);
    const auto deletions = lines_starting_with(machine.trace, {"RegDeleteKeyA"});
    EXPECT_EQ(deletions.size(), 14u);
    EXPECT_EQ(deletions[8], "RegDeleteKeyA Enum\\Root\\MEDIA\\0020 -> 2");
    EXPECT_EQ(deletions[10], "RegDeleteKeyA System\\CurrentControlSet\\Control\\MediaResources\\"
                             "Dream -> 2");
    EXPECT_EQ(lines_starting_with(machine.trace, {"RegOpenKeyExA SOFTWARE", "RegDeleteValueA"}),
              (std::vector<std::string>{
                  "RegOpenKeyExA SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run 0x2 -> 0",
                  "RegDeleteValueA Talvexhst -> 0"}));
}

const std::string kClass = "System\\CurrentControlSet\\Services\\Class\\";
const std::string kRes = "System\\CurrentControlSet\\Control\\MediaResources\\";

struct SlotCase {
    const char* name;
    int slot;
    std::string driver;
    std::vector<std::string> deletions; // beyond the fourteen fixed ones
};

class SlotBlock : public ::testing::TestWithParam<SlotCase> {};

// The Class key and a whole class are never deleted; every key below a class
// that the driver value names is.
TEST_P(SlotBlock, DeletesOnlyWhatThePresentSlotNames) {
    const SlotCase& c = GetParam();
    SimulatedMachine machine;
    machine.add_key(kClass + "MEDIA\\0005\\abcdefgh");
    DeviceTable table = {};
    DeviceSlot& slot = table.slots[c.slot];
    slot.present = true;
    std::copy(c.driver.begin(), c.driver.end(), slot.driver);
    slot.tag[0] = '<';
    std::copy(c.driver.begin() + std::min<size_t>(6, c.driver.size()),
              c.driver.begin() + std::min<size_t>(10, c.driver.size()), slot.tag + 1);
    if (c.driver.size() >= 10) slot.tag[5] = '>';
    remove_registry_entries(machine, table);
    auto deletions = call_arguments(machine.trace, "RegDeleteKeyA");
    ASSERT_EQ(deletions.size(), 14u + c.deletions.size());
    deletions.erase(deletions.begin(), deletions.begin() + 10);
    deletions.resize(c.deletions.size());
    EXPECT_EQ(deletions, c.deletions);
    // No Run key here: it does not open, so no value is deleted and no key closed.
    EXPECT_TRUE(lines_starting_with(machine.trace, {"RegDeleteValueA", "RegCloseKey"}).empty());
    EXPECT_TRUE(machine.has_key(kClass + "MEDIA"));
    const std::string instance = fold_name(kClass + "MEDIA\\0005\\abcdefgh\\");
    const bool named = std::any_of(c.deletions.begin(), c.deletions.end(), [&](auto& deleted) {
        return instance.rfind(fold_name(deleted) + "\\", 0) == 0;
    });
    EXPECT_EQ(machine.has_key(instance.substr(0, instance.size() - 1)), !named);
}

INSTANTIATE_TEST_SUITE_P(
    Slots, SlotBlock,
    ::testing::Values(
        SlotCase{"Slot2OnlyClassKey", 2, "MEDIA\\0005", {kClass + "MEDIA\\0005"}},
        SlotCase{"Slot5OnlyClassKey", 5, "MEDIA\\0005", {kClass + "MEDIA\\0005"}},
        SlotCase{"Slot4TagFollowsFileName",
                 4,
                 "MEDIA\\0005",
                 {kClass + "MEDIA\\0005", kRes + "midi\\dream95.drv<0005>",
                  kRes + "mixer\\dream95.drv<0005>", kRes + "wave\\dream95.drv<0005>"}},
        SlotCase{"CutTagNamesCutEntries",
                 1,
                 "MEDIA\\05",
                 {kClass + "MEDIA\\05", kRes + "joystick\\msjstick.drv<05"}},
        SlotCase{"ThreeSegments", 2, "MEDIA\\0005\\abcdefgh", {kClass + "MEDIA\\0005\\abcdefgh"}},
        SlotCase{"LowerCaseNamesTheSameKey", 5, "media\\0005", {kClass + "media\\0005"}},
        SlotCase{"EmptyNeverNamesTheClassKey", 1, "", {kRes + "joystick\\msjstick.drv<"}},
        SlotCase{"OneSegmentIsAWholeClass",
                 3,
                 "MEDIA",
                 {kRes + "midi\\csmidi.drv<", kRes + "midi\\cwbmidi.drv<"}},
        SlotCase{"TrailingBackslash", 2, "MEDIA\\", {}},
        SlotCase{"LeadingBackslash", 2, "\\0005", {}},
        SlotCase{"DoubledBackslash", 2, "MEDIA\\\\0005", {}},
        SlotCase{"LeadingBackslashBeforeAnInstance", 2, "\\MEDIA\\0005", {}}),
    [](const ::testing::TestParamInfo<SlotCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace talvex
