#include "registry/card_key_walk.h"

#include <gtest/gtest.h>

#include "system/simulated_machine.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

const std::string kTop = "Enum\\ISAPNP\\CSC9836_DEV0000";

// Deletes kTop, a device key, as the run would: the link rule decided first.
long delete_top(SimulatedMachine& machine) {
    return delete_card_key(machine, decide_link_rule(machine, LinkRule::Undecided),
                           {kTop.c_str(), 2});
}

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
    SimulatedMachine machine(family);
    for (const std::string& key : tree.keys) machine.add_key(key);
    machine.add_key(kTop + "1");
    machine.add_key("Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF");

    EXPECT_EQ(delete_top(machine), 0);

    EXPECT_FALSE(machine.has_key(kTop)) << "the machine keeps no key without its parent";
    EXPECT_TRUE(machine.has_key(kTop + "1"));
    EXPECT_TRUE(machine.has_key("Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF"));
    EXPECT_EQ(machine.open_handles(), 0u);
    EXPECT_EQ(lines_starting_with(machine.trace, {"RegDeleteKeyA"}).size() == 1u,
              !opens_as_itself(family))
        << "only where keys cannot be looked at for links does one call delete the tree";
}

// 512 levels below the deleted key go; deeper than the registry can nest,
// where only a ring of links could lead, the walk stops and the key stays.
TEST(KeyTreeDeletion, WalkStopsBelowTheDeepestLevel) {
    for (const Family family : {Family::Nt, Family::Wine9x}) {
        for (const size_t depth : {511, 512}) { // FFFFFFFF and `depth` more levels
            SimulatedMachine machine(family);
            machine.add_key(chain(depth, "k"));
            EXPECT_EQ(delete_top(machine) == 0, depth == 511) << depth;
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
            // Over 2,000 characters from HKEY_LOCAL_MACHINE, names of 255.
            TreeCase{"LongPathAndNames", {chain(8, std::string(254, 'n'))}},
            // 255 double-byte characters make a name of 510 bytes.
            TreeCase{"HighBytesInNames",
                     {chain(3, "Caf\xE9\xA0\xFF"), kTop + "\\" + std::string(510, '\x81')}}),
        ::testing::Values(Family::Windows95, Family::Windows95Ignores, Family::Wine9x, Family::Nt)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" +
               family_name(std::get<1>(info.param));
    });

struct LookCase {
    const char* name;
    Family family;
    unsigned failing_call; // counted from the first call of the deletion
    bool top_goes;
};

class LookAtTheKey : public ::testing::TestWithParam<LookCase> {};

// Where the system knows the link option, a key that cannot be looked at may
// be a link and stays. Where it does not, there are no links, and the tree
// goes in one call, or depth first should that call fail.
TEST_P(LookAtTheKey, DecidesWhetherTheTreeGoes) {
    const LookCase& c = GetParam();
    SimulatedMachine machine(c.family);
    machine.add_key(kTop + "\\FFFFFFFF\\LogConfig");
    machine.fault.nth = c.failing_call;
    delete_top(machine);
    EXPECT_EQ(machine.has_key(kTop), !c.top_goes);
    EXPECT_EQ(machine.open_handles(), 0u);
}

// The calls that can fail: on the NT family the look at the key (1) and the
// query of its link value (2). On the 9x family first the look at SOFTWARE
// and its close, or where the option is refused or answered "not found"
// (which counts no call) the plain open of SOFTWARE and its close; then the
// look at the key and its query, or on a system without links its one
// deletion (3).
INSTANTIATE_TEST_SUITE_P(
    Answers, LookAtTheKey,
    ::testing::Values(LookCase{"NtOpenFails", Family::Nt, 1, false},
                      LookCase{"NtQueryFails", Family::Nt, 2, false},
                      LookCase{"Wine9xLaterLookFails", Family::Wine9x, 3, false},
                      LookCase{"Wine9xQueryFails", Family::Wine9x, 4, false},
                      LookCase{"Wine9xFirstLookFailsStillLooksAtEach", Family::Wine9x, 1, true},
                      LookCase{"Windows95SoftwareOpenFailsLooksAtEach", Family::Windows95, 1,
                               false},
                      LookCase{"Windows95OneCallFailsTreeStillGoes", Family::Windows95, 3, true}),
    ::testing::PrintToStringParamName());

} // namespace
} // namespace talvex
