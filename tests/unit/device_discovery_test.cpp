#include "registry/device_discovery.h"

#include <gtest/gtest.h>

#include "system/simulated_machine.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

std::string slot_enum_key(int slot) {
    return "Enum\\ISAPNP\\CSC9836_DEV000" + std::to_string(slot) + "\\FFFFFFFF";
}

std::string class_key(const std::string& driver) {
    return "System\\CurrentControlSet\\Services\\Class\\" + driver;
}

DeviceTable discover(SimulatedMachine& machine,
                     std::source_location caller = std::source_location::current()) {
    const ::testing::ScopedTrace called(caller.file_name(), caller.line(), "discovered here");
    DeviceTable table = {};
    discover_device_instances(machine, table);
    EXPECT_EQ(machine.open_handles(), 0u) << "every opened key is closed";
    return table;
}

struct DriverCase {
    const char* name;
    std::string data; // the value's bytes as stored
    uint32_t type;
    bool present;
    std::string driver;
    std::string tag;
};

class DriverValue : public ::testing::TestWithParam<DriverCase> {};

TEST_P(DriverValue, DecidesPresenceDriverAndTag) {
    const DriverCase& c = GetParam();
    SimulatedMachine machine;
    machine.set_value(slot_enum_key(2), "Driver", c.type, c.data);
    const DeviceSlot& slot = discover(machine).slots[2];
    EXPECT_EQ(slot.present, c.present);
    EXPECT_EQ(std::string(slot.driver), c.driver);
    EXPECT_EQ(std::string(slot.tag), c.tag);
}

const std::string k19 = "MEDIA\\0005ABCDEFGHI"; // 19 characters
const std::string nul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Values, DriverValue,
    ::testing::Values(
        DriverCase{"LongestThatFits", k19 + nul, win::kRegSz, true, k19, "<0005>"},
        DriverCase{"OneCharacterTooLong", k19 + "J" + nul, win::kRegSz, false, "", "<"},
        DriverCase{"ShortCutsTheTag", "MEDIA\\05" + nul, win::kRegSz, true, "MEDIA\\05", "<05"},
        DriverCase{"FullBufferLeadingNul", nul + "MEDIA0005ABCDEFGHIJ", win::kRegBinary, true, "",
                   "<0005>"},
        DriverCase{"BinaryAcceptedAsString", "MEDIA\\0007" + nul, win::kRegBinary, true,
                   "MEDIA\\0007", "<0007>"},
        DriverCase{"TagIgnoresTheLength", "MM\\1" + nul, win::kRegSz, true, "MM\\1", "<"}),
    ::testing::PrintToStringParamName());

TEST(DeviceDiscovery, InfPathOfClassKeys) {
    SimulatedMachine machine;
    machine.set_string(slot_enum_key(0), "Driver", "MEDIA\\0005");
    machine.set_string(class_key("MEDIA\\0005"), "InfPath", "talvex.inf");
    machine.set_string(slot_enum_key(1), "Driver", "MEDIA\\0006");
    machine.add_key(class_key("MEDIA\\0006")); // no InfPath
    machine.set_string(slot_enum_key(3), "Driver", "MEDIA\\0008");
    machine.set_string(class_key("MEDIA\\0008"), "InfPath", "a-name-of-20-chars.x");
    // The Class key's own value is what absent slots read.
    machine.set_string(class_key(""), "InfPath", "class.inf");
    const DeviceTable table = discover(machine);
    EXPECT_STREQ(table.slots[0].inf_path, "talvex.inf");
    EXPECT_STREQ(table.slots[1].inf_path, "");
    EXPECT_TRUE(table.slots[1].present);
    EXPECT_STREQ(table.slots[3].inf_path, "");
    EXPECT_STREQ(table.slots[2].inf_path, "class.inf");
    EXPECT_STREQ(table.slots[5].inf_path, "class.inf");
}

// Whatever a Driver value's shape, its class key is read through the walk:
// each of the value's levels from its first backslash on (or the whole value
// without one) is looked at as itself, an empty level as the key above it
// (Wine takes a doubled or trailing backslash as one separator), so a link
// at the first of them stops the read.
TEST(DeviceDiscovery, ReadsNoInfPathThroughALinkOnTheClassKeysCardPart) {
    const std::pair<std::string, std::string> cases[] = {{"MEDIA\\0005", "MEDIA\\0005"},
                                                         {"MEDIA\\0005\\abc", "MEDIA\\0005"},
                                                         {"MEDIA\\0005\\", "MEDIA\\0005"},
                                                         {"MEDIA\\\\0005", "MEDIA"},
                                                         {"MEDIA\\", "MEDIA"},
                                                         {"MEDIA", "MEDIA"},
                                                         {"\\MEDIA\\0005", "MEDIA"}};
    for (const Family family : {Family::Nt, Family::Wine9x}) {
        for (const auto& [driver, link] : cases) {
            SimulatedMachine machine(family);
            machine.set_string(slot_enum_key(0), "Driver", driver);
            machine.add_link(class_key(link), class_key("Y"));
            for (const char* key : {"Y", "Y\\0005", "Y\\abc"})
                machine.set_string(class_key(key), "InfPath", "other.inf");
            EXPECT_STREQ(discover(machine).slots[0].inf_path, "") << driver;
        }
    }
}

} // namespace
} // namespace talvex
