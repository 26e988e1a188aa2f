#include "registry/registry_removal.h"

#include <gtest/gtest.h>

#include "fixture_loader.h"
#include "registry/device_discovery.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

struct ScenarioCase {
    const char* name;
    const char* fixture;
    Family family;
};

class RegistryRemoval : public ::testing::TestWithParam<ScenarioCase> {};

// Every registry call of a run's discovery and removal, in order, on a
// machine with all six instances and on one with none: where the system knows
// no links (the original Windows 95) and where each level of the card's is
// looked at (NT).
TEST_P(RegistryRemoval, GivesTheGoldenTrace) {
    SimulatedMachine machine(GetParam().family);
    fixture::seed(machine, fixture::load(GetParam().fixture));
    DeviceTable table = {};
    discover_device_instances(machine, table);
    remove_registry_entries(machine, table);
    expect_golden(std::string("registry_") + GetParam().name + ".txt",
                  lines_starting_with(machine.trace, {"Reg"}));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RegistryRemoval,
                         ::testing::Values(ScenarioCase{"full_win95", "full", Family::Windows95},
                                           ScenarioCase{"full_nt", "full", Family::Nt},
                                           ScenarioCase{"empty_win95", "empty", Family::Windows95},
                                           ScenarioCase{"empty_nt", "empty", Family::Nt}),
                         ::testing::PrintToStringParamName());

const std::string kClass = "System\\CurrentControlSet\\Services\\Class\\";
const std::string kRes = "System\\CurrentControlSet\\Control\\MediaResources\\";

struct SlotCase {
    const char* name;
    int slot;
    std::string driver;
    std::vector<std::string> deletions; // beyond those of a run without the slot
    bool double_byte = false;           // 0x81 to 0x9F are lead bytes, as in code page 932
};

class SlotBlock : public ::testing::TestWithParam<SlotCase> {};

// The Class key and a whole class are never deleted; every key below a class
// that the driver value names is.
TEST_P(SlotBlock, DeletesOnlyWhatThePresentSlotNames) {
    const SlotCase& c = GetParam();
    SimulatedMachine machine;
    for (int b = 0x81; b <= 0x9F; ++b) machine.lead_bytes[b] = c.double_byte;
    machine.add_key(kClass + "MEDIA\\0005\\abcdefgh");
    DeviceTable table = {};
    DeviceSlot& slot = table.slots[c.slot];
    slot.present = true;
    std::copy(c.driver.begin(), c.driver.end(), slot.driver);
    slot.tag[0] = '<';
    std::copy(c.driver.begin() + std::min<size_t>(6, c.driver.size()),
              c.driver.begin() + std::min<size_t>(10, c.driver.size()), slot.tag + 1);
    if (c.driver.size() >= 10) slot.tag[5] = '>';
    const auto deletions = [&](const DeviceTable& slots) {
        machine.trace.clear();
        remove_registry_entries(machine, slots);
        return call_arguments(machine.trace, "RegDeleteKeyA");
    };
    // The block goes in one piece into the deletions of a run without it.
    std::vector<std::string> expected = deletions(DeviceTable{});
    const std::vector<std::string> actual = deletions(table);
    const auto at = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    expected.insert(at.first, c.deletions.begin(), c.deletions.end());
    EXPECT_EQ(actual, expected);
    // No Run key here: it does not open, so no value is deleted.
    EXPECT_TRUE(lines_starting_with(machine.trace, {"RegDeleteValueA"}).empty());
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
        SlotCase{"LeadingBackslashBeforeAnInstance", 2, "\\MEDIA\\0005", {}},
        // A trail byte 0x5C separates nothing: one segment, a whole class.
        SlotCase{"TrailByteIsNoSeparator", 2, "\x95\\x", {}, true},
        SlotCase{"TrailByteThenSeparator", 2, "\x95\\\\0005", {kClass + "\x95\\\\0005"}, true},
        SlotCase{"SameBytesSingleByte", 2, "\x95\\x", {kClass + "\x95\\x"}},
        SlotCase{"LeadByteBeforeTheEnd", 2, "MEDIA\\\x95", {kClass + "MEDIA\\\x95"}, true}),
    ::testing::PrintToStringParamName());

} // namespace
} // namespace talvex
