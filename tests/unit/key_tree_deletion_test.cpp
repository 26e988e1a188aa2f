#include <gtest/gtest.h>

#include "system/simulated_machine.h"

namespace talvex {
namespace {

// The depth-first path: NT-style deletion refuses a key with sub-keys.
TEST(KeyTreeDeletion, ThreeLevelsGoWholeAndSiblingsStay) {
    SimulatedMachine machine;
    machine.nt_key_deletion = true;
    machine.add_key("Enum\\ISAPNP\\CSC9836_DEV0000\\FFFFFFFF\\Sub\\Deeper");
    machine.add_key("Enum\\ISAPNP\\CSC9836_DEV0000\\A");
    // Sibling names that grow in length, which trips an enumeration that
    // does not reset the name length.
    machine.add_key("Enum\\ISAPNP\\CSC9836_DEV0000\\BB\\CCCCCCCCCCCC");
    machine.set_string("Enum\\ISAPNP\\CSC9836_DEV0000\\FFFFFFFF", "Driver", "MEDIA\\0001");
    machine.add_key("Enum\\ISAPNP\\CSC9836_DEV00001");
    machine.add_key("Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF");

    EXPECT_EQ(machine.reg_delete_key("Enum\\ISAPNP\\CSC9836_DEV0000"), 0);

    EXPECT_FALSE(machine.has_key("Enum\\ISAPNP\\CSC9836_DEV0000"));
    for (const auto& entry : machine.keys()) {
        EXPECT_EQ(entry.first.find("csc9836_dev0000\\"), std::string::npos) << entry.first;
    }
    EXPECT_TRUE(machine.has_key("Enum\\ISAPNP\\CSC9836_DEV00001"));
    EXPECT_TRUE(machine.has_key("Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF"));
    EXPECT_TRUE(machine.has_key("Enum\\ISAPNP"));
    EXPECT_EQ(machine.open_handles(), 0u);
}

TEST(KeyTreeDeletion, MissingKeyFailsAndChangesNothing) {
    for (bool nt : {false, true}) {
        SimulatedMachine machine;
        machine.nt_key_deletion = nt;
        machine.add_key("Enum\\Root\\MEDIA\\0022");
        const size_t before = machine.keys().size();
        EXPECT_NE(machine.reg_delete_key("Enum\\Root\\MEDIA\\0020"), 0);
        EXPECT_EQ(machine.keys().size(), before);
    }
}

} // namespace
} // namespace talvex
