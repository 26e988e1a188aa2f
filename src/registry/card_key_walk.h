#pragma once
// Opening and deleting a key of the card's without going through a registry
// link on the card's own part of its path.
//
// Read through, a link there could hand discovery another device's Driver or
// InfPath value, and the clean-up would then delete that device's class key
// and INF files; deleted through, it would take another program's keys.
// Where links may exist (link_rule.h) the system's levels of a path are gone
// through as ever, and each level of the card's part is opened as itself and
// looked at: the first by the path up to it, each further one below the one
// before, an empty level (a doubled or trailing backslash, which a value read
// from the machine may hold) by its empty name, which is the key above it
// once more. A key tree is deleted depth first, by open handles and relative
// names, so that RegDeleteKeyA is handed a key only once nothing is left
// below it and no path length limits the walk. Where the system knows no
// links, a path is opened in one call, and a tree goes in one call, as
// Windows 95 deletes it.
#include "registry/card_keys.h"
#include "registry/link_rule.h"
#include "system/system_services.h"

namespace talvex {

// What a key of the card's turned out to be: missing, not opened for any
// other reason, a registry link (or a key that may be one), or a plain key.
enum class KeyKind { Missing, OpenFailed, Link, Plain };

// Opens `path` below HKEY_LOCAL_MACHINE in one call, through any link on its
// way, and closes it again at once with nothing read: the open's answer.
long open_and_close(SystemServices& sys, const char* path, uint32_t options);

// Opens the key for reading; it is open only for Plain.
KeyKind open_card_key(SystemServices& sys, LinkRule rule, CardKey key, RegKey* opened);

// Deletes the key with everything below it that can go, as Windows 95 does,
// but for any link there (which stays, with the keys above it) and a sub-key
// whose name reads back holding a backslash. Success only where it is gone;
// a missing key answers not found.
long delete_card_key(SystemServices& sys, LinkRule rule, CardKey key);

} // namespace talvex
