#pragma once
// Deleting a key with everything below it on every Windows family.
// RegDeleteTree and SHDeleteKey do not exist on Windows 95. The walk holds an
// open handle per level and names each sub-key relative to it, so no path is
// ever composed and neither the length of a path nor the depth of the tree
// limits it.
//
// Where links may exist (card_key.h) every key is first opened as itself and
// looked at, a link is neither descended into nor deleted, and RegDeleteKeyA
// is handed a key only once no sub-key is left below it: a key whose sub-key
// stayed stays too. A system of the 9x family that knows links (Wine's) would
// otherwise delete a whole tree by itself, through every link on its way.
// Only a system that does not know the option knows no links at all, and
// there a key goes in one call, as Windows 95 deletes a tree.
#include "system/card_key.h"

namespace talvex {

// Windows nests keys at most 512 levels deep and the walk never follows a
// link, so no walk goes deeper; the bound keeps the stack bounded should a
// registry ever nest deeper than documented. A key deeper still stays.
constexpr unsigned kDeepestKey = 512;

constexpr long kErrorNoMoreItems = 259; // ERROR_NO_MORE_ITEMS

// Raw needs, beyond those of card_key.h:
// long delete_key(RegKey parent, const char* name),
// long enum_key(RegKey key, uint32_t index, char* name, uint32_t* length).

template <class Raw>
long delete_tree(Raw& raw, LinkRule rule, RegKey parent, const char* name, unsigned depth);

// A deletion's answer where a key on its way is not plain: a missing key is
// not found, any other stays.
constexpr long refusal_for(KeyKind kind) {
    return kind == KeyKind::Missing ? kErrorFileNotFound : kErrorAccessDenied;
}

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
    if (kind != KeyKind::Plain) return refusal_for(kind);
    return empty_then_delete(raw, rule, parent, name, key, depth);
}

// Deletes `sub_key` with everything below it, where no level of the card's
// part (from the offset `card_part` on) is a link.
template <class Raw>
long delete_key_tree(Raw& raw, LinkRule& rule, const char* sub_key, unsigned card_part) {
    if (decided(raw, rule) == LinkRule::NoLinks) return delete_tree(raw, rule, 0, sub_key, 0);
    RegKey parent = 0;
    const char* name = nullptr;
    const KeyKind above = look_above(raw, sub_key, card_part, &parent, &name);
    const long result =
        above == KeyKind::Plain ? delete_tree(raw, rule, parent, name, 0) : refusal_for(above);
    if (parent != 0) raw.close_key(parent);
    return result;
}

} // namespace talvex
