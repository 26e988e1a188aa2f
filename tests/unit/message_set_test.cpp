#include "run/message_set.h"

#include <gtest/gtest.h>

#include <string>

#include "fixture_loader.h"

namespace talvex {
namespace {

// Each identifier, listed or not, gets its set's texts byte for byte and the
// set's own language identifier, never the user's.
TEST(SelectMessageSet, EveryIdentifierGetsItsSetByteForByte) {
    const auto sets = fixture::messages();
    const struct {
        const char* set;
        std::vector<uint16_t> users;
    } lists[] = {
        {"de", {0x0C07, 0x0807, 0x0407, 0x1407, 0x1007}},
        {"es", {0x0C0A, 0x080A, 0x040A, 0x1C0A, 0x180A, 0x140A, 0x100A, 0x2C0A, 0x280A, 0x240A,
                0x200A, 0x3C0A, 0x380A, 0x340A, 0x300A, 0x4C0A, 0x480A, 0x440A, 0x400A, 0x500A}},
        {"fr", {0x0C0C, 0x080C, 0x040C, 0x140C, 0x100C}},
        {"nl", {0x0813, 0x0413}},
        {"en",
         {0x0409, 0x0809, 0x180C, 0x0007, 0x0000, 0x0416, 0x0013, 0x1807, 0x540A, 0x0C13, 0xFFFF,
          0x0411}},
    };
    std::vector<size_t> lengths; // of the data file's texts, as the texts are known to be
    for (const auto& list : lists) {
        const fixture::Messages& expected = sets.at(list.set);
        lengths.insert(lengths.end(), {expected.prompt.size(), expected.completion.size()});
        for (uint16_t user : list.users) {
            const MessageSet set = select_message_set(user);
            EXPECT_EQ(set.language_id, expected.language_id) << std::hex << user;
            EXPECT_EQ(std::string(set.prompt), expected.prompt) << std::hex << user;
            EXPECT_EQ(std::string(set.completion), expected.completion) << std::hex << user;
        }
    }
    EXPECT_EQ(lengths, (std::vector<size_t>{64, 32, 53, 34, 53, 32, 56, 31, 49, 27}));
}

} // namespace
} // namespace talvex
