#include "run/message_set.h"

#include <gtest/gtest.h>

#include <string>

#include "fixture_loader.h"

namespace talvex {
namespace {

// Every identifier gets, byte for byte, the texts and the language identifier
// of the set that tests/e2e/messages.txt names for it: the set of its primary
// language when its sublanguage is listed, the default set otherwise.
TEST(SelectMessageSet, EveryIdentifierGetsTheSetOfItsLanguage) {
    const auto sets = fixture::messages();
    std::vector<std::string> wrong;
    for (unsigned user = 0; user <= 0xFFFF; ++user) {
        const unsigned primary = user & 0x3FF, sublanguage = user >> 10;
        std::string want;
        for (const auto& [name, set] : sets) {
            const bool listed = set.primary != "*" &&
                                std::stoul(set.primary, nullptr, 16) == primary &&
                                sublanguage >= 1 && sublanguage <= set.sublanguages;
            if (listed || (want.empty() && set.primary == "*")) want = name;
        }
        const fixture::Messages& expected = sets.at(want);
        const MessageSet got = select_message_set(static_cast<uint16_t>(user));
        if (got.language_id != expected.language_id || got.prompt != expected.prompt ||
            got.completion != expected.completion) {
            char id[8];
            std::snprintf(id, sizeof id, "0x%04X", user);
            wrong.push_back(std::string(id) + " got " + std::to_string(got.language_id) + " \"" +
                            got.prompt + "\", want set " + want);
        }
    }
    if (wrong.size() > 8) wrong.resize(8); // the first few say enough
    EXPECT_EQ(wrong, std::vector<std::string>());
}

} // namespace
} // namespace talvex
