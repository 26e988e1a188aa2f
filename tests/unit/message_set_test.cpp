#include "run/message_set.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex {
namespace {

constexpr uint16_t kEnglish = 1033, kGerman = 1031, kSpanish = 1034, kFrench = 1036, kDutch = 1043;

TEST(SelectMessageSet, EveryListedIdentifierGetsItsSetsOwnLanguage) {
    const struct {
        uint16_t set;
        std::vector<uint16_t> users;
    } lists[] = {
        {kGerman, {0x0C07, 0x0807, 0x0407, 0x1407, 0x1007}},
        {kSpanish,
         {0x0C0A, 0x080A, 0x040A, 0x1C0A, 0x180A, 0x140A, 0x100A, 0x2C0A, 0x280A, 0x240A,
          0x200A, 0x3C0A, 0x380A, 0x340A, 0x300A, 0x4C0A, 0x480A, 0x440A, 0x400A, 0x500A}},
        {kFrench, {0x0C0C, 0x080C, 0x040C, 0x140C, 0x100C}},
        {kDutch, {0x0813, 0x0413}},
    };
    const MessageSet reference[] = {select_message_set(0x0407), select_message_set(0x040A),
                                    select_message_set(0x040C), select_message_set(0x0413)};
    int index = 0;
    for (const auto& list : lists) {
        for (uint16_t user : list.users) {
            const MessageSet set = select_message_set(user);
            EXPECT_EQ(set.language_id, list.set) << std::hex << user;
            EXPECT_STREQ(set.prompt, reference[index].prompt) << std::hex << user;
            EXPECT_STREQ(set.completion, reference[index].completion) << std::hex << user;
        }
        ++index;
    }
}

TEST(SelectMessageSet, UnlistedIdentifiersFallBackToEnglish) {
    for (uint16_t user : {0x0409, 0x0809, 0x180C, 0x0007, 0x0000, 0x0416, 0x0013, 0x1807, 0x540A,
                          0x0C13, 0xFFFF, 0x0411}) {
        const MessageSet set = select_message_set(user);
        EXPECT_EQ(set.language_id, kEnglish) << std::hex << user;
        EXPECT_STREQ(set.prompt, "Do you really want to uninstall your sound card ?");
        EXPECT_STREQ(set.completion, "    Uninstall complete.    ");
    }
}

int count_leading_blanks(const std::string& s) {
    int n = 0;
    while (n < static_cast<int>(s.size()) && s[n] == ' ') ++n;
    return n;
}

int count_trailing_blanks(const std::string& s) {
    int n = 0;
    while (n < static_cast<int>(s.size()) && s[s.size() - 1 - n] == ' ') ++n;
    return n;
}

std::string high_bytes(const std::string& s) {
    std::string high;
    for (char c : s) {
        if (static_cast<unsigned char>(c) > 0x7F) high += c;
    }
    return high;
}

struct TextFacts {
    uint16_t user;
    bool prompt;
    size_t length;
    int leading;
    int trailing;
    std::string high;
};

TEST(SelectMessageSet, TextsMatchTheByteTable) {
    const TextFacts table[] = {
        {0x0409, true, 49, 0, 0, ""},         {0x0409, false, 27, 4, 4, ""},
        {0x0407, true, 64, 0, 0, "\xDF"},     {0x0407, false, 32, 5, 4, ""},
        {0x040A, true, 53, 0, 0, "\xBF"},     {0x040A, false, 34, 5, 5, "\xF3"},
        {0x040C, true, 53, 0, 0, "\xE9\xE9"}, {0x040C, false, 32, 4, 4, "\xE9\xE9"},
        {0x0413, true, 56, 0, 0, ""},         {0x0413, false, 31, 4, 3, ""},
    };
    for (const TextFacts& facts : table) {
        const MessageSet set = select_message_set(facts.user);
        const std::string text = facts.prompt ? set.prompt : set.completion;
        SCOPED_TRACE(text);
        EXPECT_EQ(text.size(), facts.length);
        EXPECT_EQ(count_leading_blanks(text), facts.leading);
        EXPECT_EQ(count_trailing_blanks(text), facts.trailing);
        EXPECT_EQ(high_bytes(text), facts.high);
        const std::string inner =
            text.substr(facts.leading, text.size() - facts.leading - facts.trailing);
        EXPECT_EQ(inner.find("  "), std::string::npos) << "words are separated by single blanks";
        if (facts.prompt) {
            EXPECT_EQ(text.substr(text.size() - 2), " ?");
        } else {
            EXPECT_EQ(text[text.size() - facts.trailing - 1], '.');
        }
    }
    EXPECT_EQ(static_cast<unsigned char>(select_message_set(0x040A).prompt[0]), 0xBF);
}

} // namespace
} // namespace talvex
