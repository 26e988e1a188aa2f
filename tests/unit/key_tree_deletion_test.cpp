#include <gtest/gtest.h>

#include "system/simulated_machine.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

const std::string kTop = "Enum\\ISAPNP\\CSC9836_DEV0000";

// A chain of `depth` keys below the instance key, each named `name` + level.
std::string chain(size_t depth, const std::string& name) {
    std::string path = kTop + "\\FFFFFFFF";
    for (size_t level = 0; level < depth; ++level) path += "\\" + name + std::to_string(level);
    return path;
}

struct TreeCase {
    const char* name;
    std::vector<std::string> keys; // below or beside the key deleted
};

class KeyTree : public ::testing::TestWithParam<std::tuple<TreeCase, bool>> {};

// The whole tree goes on both families; the keys beside it stay.
TEST_P(KeyTree, GoesWholeAndItsNeighboursStay) {
    const auto& [tree, nt] = GetParam();
    SimulatedMachine machine;
    machine.nt_key_deletion = nt;
    for (const std::string& key : tree.keys) machine.add_key(key);
    machine.add_key(kTop + "1");
    machine.add_key("Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF");

    EXPECT_EQ(machine.reg_delete_key(kTop.c_str()), 0);

    EXPECT_FALSE(machine.has_key(kTop)) << "the machine keeps no key without its parent";
    EXPECT_TRUE(machine.has_key(kTop + "1"));
    EXPECT_TRUE(machine.has_key("Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF"));
    EXPECT_EQ(machine.open_handles(), 0u);
    EXPECT_EQ(lines_starting_with(machine.trace, {"  RegDeleteKeyA"}).size() == 1u, !nt)
        << "Windows 95 deletes the tree in one call";
}

// 512 levels below the deleted key go; deeper than the registry can nest,
// where only a ring of links could lead, the walk stops and the key stays.
TEST(KeyTreeDeletion, WalkStopsBelowTheDeepestLevel) {
    for (const size_t depth : {511, 512}) { // FFFFFFFF and `depth` more levels
        SimulatedMachine machine;
        machine.nt_key_deletion = true;
        machine.add_key(chain(depth, "k"));
        EXPECT_EQ(machine.reg_delete_key(kTop.c_str()) == 0, depth == 511) << depth;
        EXPECT_EQ(machine.has_key(kTop), depth == 512) << depth;
        EXPECT_EQ(machine.open_handles(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, KeyTree,
    ::testing::Combine(
        ::testing::Values(
            // Sibling names that grow trip a walk that does not reset the name length.
            TreeCase{"GrowingSiblings",
                     {kTop + "\\FFFFFFFF\\Sub\\Deeper", kTop + "\\A", kTop + "\\BB\\CCCCCCCCCCCC"}},
            TreeCase{"FortyLevels", {chain(40, "L"), chain(3, "M")}},
            // Over 2,000 characters from HKEY_LOCAL_MACHINE, names of 255.
            TreeCase{"LongPathAndNames", {chain(8, std::string(254, 'n'))}},
            // 255 double-byte characters make a name of 510 bytes.
            TreeCase{"HighBytesInNames",
                     {chain(3, "Caf\xE9\xA0\xFF"), kTop + "\\" + std::string(510, '\x81')}}),
        ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_NtStyle" : "_Windows95");
    });

TEST(KeyTreeDeletion, MissingKeyIsNeverEnumeratedNorClosed) {
    const std::string kMissing = "Enum\\Root\\MEDIA\\0020";
    const std::vector<std::string> windows95 = {
        "  RegOpenKeyExA " + kMissing + " 0x8 0x20019 -> 87",
        "  RegDeleteKeyA " + kMissing + " -> 2", "RegDeleteKeyA " + kMissing + " -> 2"};
    const std::vector<std::string> nt = {"  RegOpenKeyExA " + kMissing + " 0x8 0x20019 -> 2",
                                         "RegDeleteKeyA " + kMissing + " -> 2"};
    for (bool is_nt : {false, true}) {
        SimulatedMachine machine;
        machine.nt_key_deletion = is_nt;
        machine.add_key("Enum\\Root\\MEDIA\\0022");
        EXPECT_NE(machine.reg_delete_key(kMissing.c_str()), 0);
        EXPECT_EQ(machine.trace, is_nt ? nt : windows95);
        EXPECT_TRUE(machine.has_key("Enum\\Root\\MEDIA\\0022"));
    }
}

// On the NT family a key that is a registry link is neither deleted nor
// followed, even the key asked for (the links fixture has links below it); a
// value merely named like a link's makes no link.
TEST(KeyTreeDeletion, ALinkAskedForStaysWithItsTargetAndANamedValueMakesNone) {
    SimulatedMachine machine;
    machine.nt_key_deletion = true;
    machine.add_key("Software\\Victim\\Sub");
    machine.add_link(kTop, "Software\\Victim\\Sub"); // a leaf, which a deletion would take
    machine.set_string(kTop + "1\\FFFFFFFF", "SymbolicLinkValue", "\\Registry\\Machine\\Software");
    EXPECT_NE(machine.reg_delete_key(kTop.c_str()), 0);
    EXPECT_EQ(machine.reg_delete_key((kTop + "1").c_str()), 0);
    EXPECT_TRUE(machine.has_key(kTop));
    EXPECT_TRUE(machine.has_key("Software\\Victim\\Sub"));
    EXPECT_FALSE(machine.has_key(kTop + "1"));
    EXPECT_EQ(machine.open_handles(), 0u);
}

} // namespace
} // namespace talvex
