#include "registry/registry_removal.h"

#include <gtest/gtest.h>

#include "card_fixture.h"
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

TEST_P(RegistryRemoval, AllSixSlotsGiveTheFullTraceAndAnEmptyCard) {
    SimulatedMachine machine;
    machine.nt_key_deletion = GetParam();
    install_full_registry(machine);
    machine.set_string(kRunKey, "Other", "keep.exe");
    machine.add_key(class_key("MEDIA\\0009"));
    machine.add_key(std::string(kMediaResources) + "wave\\other.drv<0009>");

    discover_and_remove(machine);

    EXPECT_EQ(lines_starting_with(machine.trace, kRegistryCalls),
              golden_lines("registry_all_slots.txt"));
    for (int slot = 0; slot < 6; ++slot) EXPECT_FALSE(machine.has_key(slot_enum_key(slot)));
    EXPECT_FALSE(machine.has_key("Enum\\Root\\*CSC0004"));
    EXPECT_FALSE(machine.has_value(kRunKey, "Talvexhst"));
    // What belongs to other devices and programs stays.
    EXPECT_TRUE(machine.has_value(kRunKey, "Other"));
    EXPECT_TRUE(machine.has_key(class_key("MEDIA\\0009")));
    EXPECT_TRUE(machine.has_key(std::string(kMediaResources) + "wave\\other.drv<0009>"));
    EXPECT_TRUE(machine.has_key("Enum\\Root\\MEDIA"));
}

INSTANTIATE_TEST_SUITE_P(KeyDeletion, RegistryRemoval, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "NtStyle" : "Windows95");
                         });

TEST(RegistryRemovalSteps, NoSlotPresentGivesFourteenDeletionsAndTheValue) {
    SimulatedMachine machine;
    machine.set_string(kRunKey, "Talvexhst", "x");
    discover_and_remove(machine);
    const auto deletions = lines_starting_with(machine.trace, {"RegDeleteKeyA"});
    EXPECT_EQ(deletions.size(), 14u);
    EXPECT_EQ(deletions[8], "RegDeleteKeyA Enum\\Root\\MEDIA\\0020 -> 2");
    EXPECT_EQ(deletions[10], "RegDeleteKeyA System\\CurrentControlSet\\Control\\MediaResources\\"
                             "Dream -> 2");
    EXPECT_EQ(lines_starting_with(machine.trace, {"RegDeleteValueA"}),
              std::vector<std::string>{"RegDeleteValueA Talvexhst -> 0"});
}

TEST(RegistryRemovalSteps, RunKeyThatDoesNotOpenDeletesAndClosesNothing) {
    SimulatedMachine machine;
    DeviceTable table = {};
    remove_registry_entries(machine, table);
    EXPECT_TRUE(lines_starting_with(machine.trace, {"RegDeleteValueA", "RegCloseKey"}).empty());
}

struct SlotCase {
    const char* name;
    int slot;
    std::string driver;
    std::vector<std::string> deletions; // beyond the fourteen fixed ones
};

class SlotBlock : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotBlock, DeletesOnlyWhatThePresentSlotNames) {
    const SlotCase& c = GetParam();
    SimulatedMachine machine;
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
}

const std::string kClass = "System\\CurrentControlSet\\Services\\Class\\";
const std::string kRes = kMediaResources;

INSTANTIATE_TEST_SUITE_P(
    Slots, SlotBlock,
    ::testing::Values(
        SlotCase{"Slot2OnlyClassKey", 2, "MEDIA\\0003", {kClass + "MEDIA\\0003"}},
        SlotCase{"Slot5OnlyClassKey", 5, "MEDIA\\0004", {kClass + "MEDIA\\0004"}},
        SlotCase{"Slot4TagFollowsFileName",
                 4,
                 "MEDIA\\0005",
                 {kClass + "MEDIA\\0005", kRes + "midi\\dream95.drv<0005>",
                  kRes + "mixer\\dream95.drv<0005>", kRes + "wave\\dream95.drv<0005>"}},
        SlotCase{"CutTagNamesCutEntries",
                 1,
                 "MEDIA\\05",
                 {kClass + "MEDIA\\05", kRes + "joystick\\msjstick.drv<05"}},
        SlotCase{"EmptyDriverNeverNamesTheClassKey", 1, "", {kRes + "joystick\\msjstick.drv<"}},
        SlotCase{"WholeClassIsNeverDeleted",
                 3,
                 "MEDIA",
                 {kRes + "midi\\csmidi.drv<", kRes + "midi\\cwbmidi.drv<"}},
        SlotCase{"TwoBackslashesAreNoInstance", 2, "MEDIA\\00\\1", {}},
        SlotCase{"TrailingBackslashIsNoInstance", 2, "MEDIA\\", {}},
        SlotCase{"LeadingBackslashIsNoInstance", 2, "\\0005", {}}),
    [](const ::testing::TestParamInfo<SlotCase>& info) { return std::string(info.param.name); });

TEST(RegistryRemovalSteps, PresentSlotWithEmptyDriverKeepsTheClassKey) {
    SimulatedMachine machine;
    machine.set_string(slot_enum_key(0), "Driver", "");
    machine.add_key(class_key("MEDIA\\0001"));
    discover_and_remove(machine);
    EXPECT_TRUE(machine.has_key("System\\CurrentControlSet\\Services\\Class"));
    EXPECT_TRUE(machine.has_key(class_key("MEDIA\\0001")));
}

} // namespace
} // namespace talvex
