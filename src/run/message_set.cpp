#include "run/message_set.h"

namespace talvex {
namespace {

// The user identifiers that select a set; the list carries its own length.
struct UserList {
    const uint16_t* ids;
    unsigned count;
    constexpr UserList() : ids(nullptr), count(0) {}
    template <unsigned N> constexpr UserList(const uint16_t (&list)[N]) : ids(list), count(N) {}
};

struct LanguageTexts {
    uint16_t language_id;
    const char* prompt;
    const char* completion;
    UserList users;
};

// Code page 1252 bytes; the non-ASCII ones as escapes so the sources stay ASCII.
constexpr uint16_t kGermanUsers[] = {0x0C07, 0x0807, 0x0407, 0x1407, 0x1007};
constexpr uint16_t kSpanishUsers[] = {0x0C0A, 0x080A, 0x040A, 0x1C0A, 0x180A, 0x140A, 0x100A,
                                      0x2C0A, 0x280A, 0x240A, 0x200A, 0x3C0A, 0x380A, 0x340A,
                                      0x300A, 0x4C0A, 0x480A, 0x440A, 0x400A, 0x500A};
constexpr uint16_t kFrenchUsers[] = {0x0C0C, 0x080C, 0x040C, 0x140C, 0x100C};
constexpr uint16_t kDutchUsers[] = {0x0813, 0x0413};

constexpr LanguageTexts kEnglish = {
    1033, "Do you really want to uninstall your sound card ?", "    Uninstall complete.    ", {}};

constexpr LanguageTexts kOtherLanguages[] = {
    {1031, "Sind Sie sicher, da\xDF Sie Ihre Soundkarte deinstallieren wollen ?",
     "     Deinstallation beendet.    ", kGermanUsers},
    {1034, "\xBFQuieres realmente desinstalar tu tarjeta de sonido ?",
     "     Desinstalaci\xF3n completa.     ", kSpanishUsers},
    {1036,
     "Voulez-vous r\xE9"
     "ellement d\xE9sinstaller votre carte son ?",
     "    D\xE9sinstallation achev\xE9"
     "e.    ",
     kFrenchUsers},
    {1043, "Weet u zeker dat u de geluidskaart wilt de-installeren ?",
     "    De-installatie voltooid.   ", kDutchUsers},
};

void copy_text(char* to, const char* from) {
    do {
        *to++ = *from;
    } while (*from++ != 0);
}

void load(MessageSet& set, const LanguageTexts& texts) {
    copy_text(set.prompt, texts.prompt);
    copy_text(set.completion, texts.completion);
    set.language_id = texts.language_id;
}

} // namespace

MessageSet select_message_set(uint16_t user_language) {
    MessageSet set;
    load(set, kEnglish);
    for (const LanguageTexts& texts : kOtherLanguages) {
        for (unsigned i = 0; i < texts.users.count; ++i) {
            if (texts.users.ids[i] == user_language) load(set, texts);
        }
    }
    return set;
}

} // namespace talvex
