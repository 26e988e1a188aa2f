#pragma once
// Deleting a key with everything below it on every Windows family.
// RegDeleteTree and SHDeleteKey do not exist on Windows 95. The walk holds an
// open handle per level and names each sub-key relative to it, so no path is
// ever composed and neither the length of a path nor the depth of the tree
// limits it.
//
// A registry link sends RegOpenKeyExA and RegDeleteKeyA to its target, which
// may lie anywhere in the registry. The NT family has links, and so may a
// system of the 9x family that knows REG_OPTION_OPEN_LINK (Wine's 95, 98 and
// ME modes do), whose RegDeleteKeyA deletes a whole tree by itself, through
// every link on its way. There every key is first opened as itself
// (REG_OPTION_OPEN_LINK) and looked at, a link is neither descended into nor
// deleted, and RegDeleteKeyA is handed a key only once no sub-key is left
// below it: a key whose sub-key stayed stays too. Only a system that does not
// know the option knows no links at all, and there a key goes in one call,
// as Windows 95 deletes a tree.
#include "system/characters.h"
#include "system/system_services.h"

namespace talvex {

// A key name has at most 255 characters, each of up to two bytes in a
// double-byte code page.
constexpr unsigned kKeyNameCapacity = 2 * 255 + 1;
// Windows nests keys at most 512 levels deep and the walk never follows a
// link, so no walk goes deeper; the bound keeps the stack bounded should a
// registry ever nest deeper than documented. A key deeper still stays.
constexpr unsigned kDeepestKey = 512;

constexpr uint32_t kRegOptionOpenLink = 8; // REG_OPTION_OPEN_LINK
constexpr long kErrorNoMoreItems = 259;    // ERROR_NO_MORE_ITEMS
constexpr const char* kLinkValue = "SymbolicLinkValue";
// A key below HKEY_LOCAL_MACHINE on every Windows.
constexpr const char* kEverySystemKey = "SOFTWARE";

// Raw needs, where a parent of 0 stands for HKEY_LOCAL_MACHINE:
// long delete_key(RegKey parent, const char* name),
// long open_key(RegKey parent, const char* name, uint32_t options, RegKey* key), with KEY_READ,
// long query_value(RegKey key, const char* value), whether the value exists,
// long enum_key(RegKey key, uint32_t index, char* name, uint32_t* length),
// void close_key(RegKey key),
// bool nt_family() (GetVersion's high bit clear),
// bool is_dbcs_lead_byte(unsigned char byte) of the ANSI code page.

// How this system's keys are deleted, decided once per run.
enum class LinkRule {
    Undecided,
    LookAtEach, // links may exist: each key is looked at first
    NoLinks,    // the system does not know the option: one call per tree
};

// The NT family has links. Windows 95 documents the option argument as
// reserved, and nothing records its answer to REG_OPTION_OPEN_LINK: it may
// ignore the option, refuse it or answer "not found". So one look at a key
// that every system has tells: where it succeeds the system knows the option
// and may have links; where it fails but a plain open succeeds, it knows
// neither. Where both fail nothing is known, and each key is looked at.
template <class Raw> LinkRule decide_link_rule(Raw& raw) {
    if (raw.nt_family()) return LinkRule::LookAtEach;
    RegKey key = 0;
    if (raw.open_key(0, kEverySystemKey, kRegOptionOpenLink, &key) == kErrorSuccess) {
        raw.close_key(key);
        return LinkRule::LookAtEach;
    }
    if (raw.open_key(0, kEverySystemKey, 0, &key) != kErrorSuccess) return LinkRule::LookAtEach;
    raw.close_key(key);
    return LinkRule::NoLinks;
}

enum class KeyKind { Missing, Plain, Stays };

// Opens the key itself, never a link's target, and tells what it is; the key
// is left open only for Plain, to be walked and closed by the caller. A key
// that holds a value named SymbolicLinkValue, of any type, stays: Wine takes
// a key for a link by a flag that no call can read, whatever its value's
// type. So does a key that cannot be looked at: it may be a link.
template <class Raw> KeyKind look_at(Raw& raw, RegKey parent, const char* name, RegKey* key) {
    const long opened = raw.open_key(parent, name, kRegOptionOpenLink, key);
    if (opened == kErrorFileNotFound) return KeyKind::Missing;
    if (opened != kErrorSuccess) return KeyKind::Stays;
    if (raw.query_value(*key, kLinkValue) == kErrorFileNotFound) return KeyKind::Plain;
    raw.close_key(*key);
    return KeyKind::Stays;
}

template <class Raw>
long delete_tree(Raw& raw, LinkRule rule, RegKey parent, const char* name, unsigned depth);

// Deletes every sub-key of an open key that can go; true when none is left.
// A name that reads back holding a backslash character (RegEnumKeyExA maps
// some characters to one) would be opened as a path through its neighbours,
// so it stays.
template <class Raw> bool delete_sub_keys(Raw& raw, LinkRule rule, RegKey key, unsigned depth) {
    uint32_t index = 0;
    for (;;) {
        char name[kKeyNameCapacity];
        uint32_t length = sizeof name; // reset before every enumeration
        const long result = raw.enum_key(key, index, name, &length);
        if (result != kErrorSuccess) return result == kErrorNoMoreItems && index == 0;
        if (depth > kDeepestKey) return false;
        // A key that stays moves the next one up.
        if (holds_backslash(name, raw) ||
            delete_tree(raw, rule, key, name, depth) != kErrorSuccess) {
            ++index;
        }
    }
}

// Deletes the sub-keys of the open `key` (named `name` below `parent`),
// closes it, and deletes it once none is left.
template <class Raw>
long empty_then_delete(Raw& raw, LinkRule rule, RegKey parent, const char* name, RegKey key,
                       unsigned depth) {
    const bool emptied = delete_sub_keys(raw, rule, key, depth + 1);
    raw.close_key(key);
    return emptied ? raw.delete_key(parent, name) : kErrorAccessDenied;
}

// On a system without links: one call, as Windows 95 deletes a whole tree,
// and depth first should that be refused.
template <class Raw>
long delete_without_links(Raw& raw, RegKey parent, const char* name, unsigned depth) {
    RegKey key = 0;
    const long opened = raw.open_key(parent, name, 0, &key);
    if (opened != kErrorSuccess) return opened;
    raw.close_key(key);
    const long deleted = raw.delete_key(parent, name);
    if (deleted == kErrorSuccess || raw.open_key(parent, name, 0, &key) != kErrorSuccess) {
        return deleted;
    }
    return empty_then_delete(raw, LinkRule::NoLinks, parent, name, key, depth);
}

// Deletes a key below an open parent (0: HKEY_LOCAL_MACHINE) with everything
// below it. Success only where it is gone; a missing key answers not found.
template <class Raw>
long delete_tree(Raw& raw, LinkRule rule, RegKey parent, const char* name, unsigned depth) {
    if (rule == LinkRule::NoLinks) return delete_without_links(raw, parent, name, depth);
    RegKey key = 0;
    const KeyKind kind = look_at(raw, parent, name, &key);
    if (kind == KeyKind::Missing) return kErrorFileNotFound;
    if (kind == KeyKind::Stays) return kErrorAccessDenied;
    return empty_then_delete(raw, rule, parent, name, key, depth);
}

// `rule` is the run's: decided at its first deletion, kept for the others.
template <class Raw> long delete_key_tree(Raw& raw, LinkRule& rule, const char* sub_key) {
    if (rule == LinkRule::Undecided) rule = decide_link_rule(raw);
    return delete_tree(raw, rule, 0, sub_key, 0);
}

} // namespace talvex
