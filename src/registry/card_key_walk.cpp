#include "registry/card_key_walk.h"

#include "system/characters.h"

namespace talvex {
namespace {

// A key name has at most 255 characters, each of up to two bytes in a
// double-byte code page; the program's own paths up to a level of the card's
// are far shorter.
constexpr unsigned kKeyNameCapacity = 2 * 255 + 1;

// Windows nests keys at most 512 levels deep and the walk never follows a
// link, so no walk goes deeper; the bound keeps the stack bounded should a
// registry ever nest deeper than documented. A key deeper still stays.
constexpr unsigned kDeepestKey = 512;

constexpr const char* kLinkValue = "SymbolicLinkValue";

// Opens `name` below `parent`. Where links may exist it is opened as itself,
// never as a link's target, and a key that holds a value named
// SymbolicLinkValue, of any type, is a link and is closed again: Wine takes a
// key for a link by a flag that no call can read, whatever its value's type.
// So is a key whose value cannot be looked at: it may be one.
KeyKind open_level(SystemServices& sys, LinkRule rule, RegKey parent, const char* name,
                   RegKey* key) {
    const bool look = rule != LinkRule::NoLinks;
    const long opened =
        sys.reg_open_key_ex(parent, name, look ? kRegOptionOpenLink : 0, kKeyRead, key);
    if (opened != kErrorSuccess) {
        *key = 0;
        return opened == kErrorFileNotFound ? KeyKind::Missing : KeyKind::OpenFailed;
    }
    uint32_t size = 0;
    if (!look || sys.reg_query_value_ex(*key, kLinkValue, nullptr, &size) == kErrorFileNotFound) {
        return KeyKind::Plain;
    }
    sys.reg_close_key(*key);
    *key = 0;
    return KeyKind::Link;
}

// Opens, each as itself, the levels of the card's part of `key` but its last.
// Leaves in `*parent` the open key that holds the last level (0 where that
// level is the first, or where there are no links and one call opens the
// whole path), and in `*last` what to open that level by: its name below
// `*parent`, or the whole path. Plain where every level opened is a plain
// key. A key left in `*parent` is the caller's to close, whatever the answer.
KeyKind open_levels_above_last(SystemServices& sys, LinkRule rule, CardKey key, RegKey* parent,
                               const char** last) {
    *parent = 0;
    *last = key.path;
    if (rule == LinkRule::NoLinks) return KeyKind::Plain;
    for (const char* level = key.path + card_part_at(sys, key.path, key.system_levels);;) {
        const char* end = level;
        while (*end != 0 && *end != '\\') end = next_character(end, sys);
        if (*end == 0) return KeyKind::Plain;
        const char* from = *parent == 0 ? key.path : level;
        char name[kKeyNameCapacity];
        const unsigned length = static_cast<unsigned>(end - from);
        if (length >= sizeof name) return KeyKind::OpenFailed;
        for (unsigned i = 0; i < length; ++i) name[i] = from[i];
        name[length] = 0;
        RegKey opened = 0;
        const KeyKind kind = open_level(sys, rule, *parent, name, &opened);
        if (*parent != 0) sys.reg_close_key(*parent);
        *parent = opened;
        if (kind != KeyKind::Plain) return kind;
        *last = level = end + 1;
    }
}

// What a deletion answers for a key it leaves: not found for a missing key,
// access denied for any other.
constexpr long deletion_refused(KeyKind kind) {
    return kind == KeyKind::Missing ? kErrorFileNotFound : kErrorAccessDenied;
}

long delete_tree(SystemServices& sys, LinkRule rule, RegKey parent, const char* name,
                 unsigned depth);

// Deletes every sub-key of an open key that can go; true when none is left.
// A name that reads back holding a backslash character (RegEnumKeyExA maps
// some characters to one) would be opened as a path through its neighbours,
// so it stays.
bool delete_sub_keys(SystemServices& sys, LinkRule rule, RegKey key, unsigned depth) {
    for (uint32_t index = 0;;) {
        char name[kKeyNameCapacity];
        uint32_t length = sizeof name; // reset before every enumeration
        const long result = sys.reg_enum_key_ex(key, index, name, &length);
        if (result != kErrorSuccess) return result == kErrorNoMoreItems && index == 0;
        if (depth > kDeepestKey) return false;
        // A key that stays moves the next one up.
        if (holds_backslash(name, sys) ||
            delete_tree(sys, rule, key, name, depth) != kErrorSuccess) {
            ++index;
        }
    }
}

// Deletes `name` below the open `parent` with everything below it. Without
// links one call does it, as Windows 95 deletes a tree; should that be
// refused, depth first.
long delete_tree(SystemServices& sys, LinkRule rule, RegKey parent, const char* name,
                 unsigned depth) {
    if (rule == LinkRule::NoLinks) {
        const long deleted = sys.reg_delete_key(parent, name);
        if (deleted == kErrorSuccess || deleted == kErrorFileNotFound) return deleted;
    }
    RegKey key = 0;
    const KeyKind kind = open_level(sys, rule, parent, name, &key);
    if (kind != KeyKind::Plain) return deletion_refused(kind);
    const bool emptied = delete_sub_keys(sys, rule, key, depth + 1);
    sys.reg_close_key(key);
    return emptied ? sys.reg_delete_key(parent, name) : kErrorAccessDenied;
}

} // namespace

long open_and_close(SystemServices& sys, const char* path, uint32_t options) {
    RegKey key = 0;
    const long opened = sys.reg_open_key_ex(0, path, options, kKeyRead, &key);
    if (opened == kErrorSuccess) sys.reg_close_key(key);
    return opened;
}

KeyKind open_card_key(SystemServices& sys, LinkRule rule, CardKey key, RegKey* opened) {
    *opened = 0;
    if (key.path == nullptr) return KeyKind::OpenFailed; // a path that did not fit
    RegKey parent = 0;
    const char* last = nullptr;
    KeyKind kind = open_levels_above_last(sys, rule, key, &parent, &last);
    if (kind == KeyKind::Plain) kind = open_level(sys, rule, parent, last, opened);
    if (parent != 0) sys.reg_close_key(parent);
    return kind;
}

long delete_card_key(SystemServices& sys, LinkRule rule, CardKey key) {
    if (key.path == nullptr) return kErrorAccessDenied; // a path that did not fit
    RegKey parent = 0;
    const char* last = nullptr;
    const KeyKind above = open_levels_above_last(sys, rule, key, &parent, &last);
    const long result =
        above == KeyKind::Plain ? delete_tree(sys, rule, parent, last, 0) : deletion_refused(above);
    if (parent != 0) sys.reg_close_key(parent);
    return result;
}

} // namespace talvex
