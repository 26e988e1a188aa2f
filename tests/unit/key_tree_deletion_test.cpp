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

class KeyTree : public ::testing::TestWithParam<std::tuple<TreeCase, Family>> {};

// The whole tree goes in every family; the keys beside it stay.
TEST_P(KeyTree, GoesWholeAndItsNeighboursStay) {
    const auto& [tree, family] = GetParam();
    SimulatedMachine machine;
    machine.family = family;
    for (const std::string& key : tree.keys) machine.add_key(key);
    machine.add_key(kTop + "1");
    machine.add_key("Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF");

    EXPECT_EQ(machine.reg_delete_key(kTop.c_str()), 0);

    EXPECT_FALSE(machine.has_key(kTop)) << "the machine keeps no key without its parent";
    EXPECT_TRUE(machine.has_key(kTop + "1"));
    EXPECT_TRUE(machine.has_key("Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF"));
    EXPECT_EQ(machine.open_handles(), 0u);
    EXPECT_EQ(lines_starting_with(machine.trace, {"  RegDeleteKeyA"}).size() == 1u,
              family == Family::Windows95)
        << "only where there are no links does one call delete the tree";
}

// 512 levels below the deleted key go; deeper than the registry can nest,
// where only a ring of links could lead, the walk stops and the key stays.
TEST(KeyTreeDeletion, WalkStopsBelowTheDeepestLevel) {
    for (const Family family : {Family::Nt, Family::Wine9x}) {
        for (const size_t depth : {511, 512}) { // FFFFFFFF and `depth` more levels
            SimulatedMachine machine;
            machine.family = family;
            machine.add_key(chain(depth, "k"));
            EXPECT_EQ(machine.reg_delete_key(kTop.c_str()) == 0, depth == 511) << depth;
            EXPECT_EQ(machine.has_key(chain(depth, "k")), depth == 512) << depth;
            EXPECT_EQ(machine.open_handles(), 0u);
        }
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
        ::testing::Values(Family::Windows95, Family::Wine9x, Family::Nt)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" +
               family_name(std::get<1>(info.param));
    });

TEST(KeyTreeDeletion, MissingKeyIsNeverEnumeratedNorClosed) {
    const std::string kMissing = "Enum\\Root\\MEDIA\\0020";
    const std::vector<std::string> windows95 = {
        "  RegOpenKeyExA " + kMissing + " 0x8 0x20019 -> 87",
        "  RegOpenKeyExA " + kMissing + " 0x0 0x20019 -> 2", "RegDeleteKeyA " + kMissing + " -> 2"};
    const std::vector<std::string> with_links = {
        "  RegOpenKeyExA " + kMissing + " 0x8 0x20019 -> 2", "RegDeleteKeyA " + kMissing + " -> 2"};
    for (const Family family : {Family::Windows95, Family::Wine9x, Family::Nt}) {
        SimulatedMachine machine;
        machine.family = family;
        machine.add_key("Enum\\Root\\MEDIA\\0022");
        EXPECT_NE(machine.reg_delete_key(kMissing.c_str()), 0);
        EXPECT_EQ(machine.trace, family == Family::Windows95 ? windows95 : with_links);
        EXPECT_TRUE(machine.has_key("Enum\\Root\\MEDIA\\0022"));
    }
}

struct LookCase {
    const char* name;
    Family family;
    unsigned failing_call; // 1: the open as itself, 2: the query of the link value
    bool top_goes;
};

class LookAtTheKey : public ::testing::TestWithParam<LookCase> {};

// What the look at the key asked for answers decides: on the NT family a key
// that cannot be looked at may be a link and stays; the 9x family's API has
// no links, so there the key goes (the links fixture has links below).
TEST_P(LookAtTheKey, DecidesWhetherTheTreeGoes) {
    const LookCase& c = GetParam();
    SimulatedMachine machine;
    machine.family = c.family;
    machine.add_key(kTop + "\\FFFFFFFF\\LogConfig");
    machine.fault.nth = c.failing_call;
    machine.reg_delete_key(kTop.c_str());
    EXPECT_EQ(machine.has_key(kTop), !c.top_goes);
    EXPECT_EQ(machine.open_handles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LookAtTheKey,
    ::testing::Values(LookCase{"NtOpenFails", Family::Nt, 1, false},
                      LookCase{"NtQueryFails", Family::Nt, 2, false},
                      LookCase{"NtPlain", Family::Nt, 0, true},
                      LookCase{"Wine9xOpenFailsOpensPlainly", Family::Wine9x, 1, true},
                      LookCase{"Wine9xQueryFailsIsPlain", Family::Wine9x, 2, true},
                      LookCase{"Windows95RefusesTheOption", Family::Windows95, 0, true},
                      LookCase{"Windows95PlainOpenFails", Family::Windows95, 1, false}),
    CaseName());

} // namespace
} // namespace talvex
