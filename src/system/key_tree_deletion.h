#pragma once
// Deleting a key with everything below it on every Windows family.
// RegDeleteTree and SHDeleteKey do not exist on Windows 95. The walk holds an
// open handle per level and names each sub-key relative to it, so no path is
// ever composed and neither the length of a path nor the depth of the tree
// limits it.
//
// A registry link (a key holding a REG_LINK value named SymbolicLinkValue)
// sends RegOpenKeyExA and RegDeleteKeyA to its target, which may lie anywhere
// in the registry. The NT family has links, and so may a system of the 9x
// family that knows REG_OPTION_OPEN_LINK (Wine's 95, 98 and ME modes do),
// whose RegDeleteKeyA deletes a whole tree by itself, through every link on
// its way. So every key is first opened as itself (REG_OPTION_OPEN_LINK) and
// looked at, a link is neither descended into nor deleted, and RegDeleteKeyA
// is handed a key only once no sub-key is left below it: a key whose sub-key
// stayed stays too. Only a system that refuses the option knows no links at
// all, and there a key goes in one call, as Windows 95 deletes a tree.
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
constexpr uint32_t kRegLink = 6;           // REG_LINK
constexpr long kErrorNoMoreItems = 259;    // ERROR_NO_MORE_ITEMS
constexpr const char* kLinkValue = "SymbolicLinkValue";

// Raw needs, where a parent of 0 stands for HKEY_LOCAL_MACHINE:
// long delete_key(RegKey parent, const char* name),
// long open_key(RegKey parent, const char* name, uint32_t options, RegKey* key), with KEY_READ,
// long query_type(RegKey key, const char* value, uint32_t* type),
// long enum_key(RegKey key, uint32_t index, char* name, uint32_t* length),
// void close_key(RegKey key),
// bool nt_family() (GetVersion's high bit clear),
// bool is_dbcs_lead_byte(unsigned char byte) of the ANSI code page.

enum class KeyKind { Missing, Plain, Stays, NoLinks };

// Opens the key itself, never a link's target, and tells what it is; the key
// is left open only for Plain, to be walked and closed by the caller. On the
// NT family a key that cannot be looked at may be a link, and stays. The 9x
// API has no links, and where a 9x system has them after all (Wine) it
// answers the look at one with success and REG_LINK; one that refuses the
// option knows none: NoLinks.
template <class Raw> KeyKind look_at(Raw& raw, RegKey parent, const char* name, RegKey* key) {
    const long opened = raw.open_key(parent, name, kRegOptionOpenLink, key);
    if (opened == kErrorFileNotFound) return KeyKind::Missing;
    if (opened != kErrorSuccess) return raw.nt_family() ? KeyKind::Stays : KeyKind::NoLinks;
    uint32_t type = 0;
    const long queried = raw.query_type(*key, kLinkValue, &type);
    const bool link = queried == kErrorSuccess && type == kRegLink;
    const bool known = queried == kErrorSuccess || queried == kErrorFileNotFound;
    if (!link && (known || !raw.nt_family())) return KeyKind::Plain;
    raw.close_key(*key);
    return KeyKind::Stays;
}

template <class Raw> long delete_tree(Raw& raw, RegKey parent, const char* name, unsigned depth);

// Deletes every sub-key of an open key that can go; true when none is left.
// A name that reads back holding a backslash character (RegEnumKeyExA maps
// some characters to one) would be opened as a path through its neighbours,
// so it stays.
template <class Raw> bool delete_sub_keys(Raw& raw, RegKey key, unsigned depth) {
    uint32_t index = 0;
    for (;;) {
        char name[kKeyNameCapacity];
        uint32_t length = sizeof name; // reset before every enumeration
        const long result = raw.enum_key(key, index, name, &length);
        if (result != kErrorSuccess) return result == kErrorNoMoreItems && index == 0;
        if (depth > kDeepestKey) return false;
        // A key that stays moves the next one up.
        if (holds_backslash(name, raw) || delete_tree(raw, key, name, depth) != kErrorSuccess) {
            ++index;
        }
    }
}

// Deletes the sub-keys of the open `key` (named `name` below `parent`),
// closes it, and deletes it once none is left.
template <class Raw>
long empty_then_delete(Raw& raw, RegKey parent, const char* name, RegKey key, unsigned depth) {
    const bool emptied = delete_sub_keys(raw, key, depth + 1);
    raw.close_key(key);
    return emptied ? raw.delete_key(parent, name) : kErrorAccessDenied;
}

// Where the option is refused and a plain open succeeds, the system knows no
// links: one call, as Windows 95 deletes a whole tree, and depth first should
// that be refused.
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
    return empty_then_delete(raw, parent, name, key, depth);
}

// Deletes a key below an open parent (0: HKEY_LOCAL_MACHINE) with everything
// below it, depth first. A key that stays answers ERROR_ACCESS_DENIED.
template <class Raw> long delete_tree(Raw& raw, RegKey parent, const char* name, unsigned depth) {
    RegKey key = 0;
    const KeyKind kind = look_at(raw, parent, name, &key);
    if (kind == KeyKind::Missing) return kErrorFileNotFound;
    if (kind == KeyKind::NoLinks) return delete_without_links(raw, parent, name, depth);
    if (kind == KeyKind::Stays) return kErrorAccessDenied;
    return empty_then_delete(raw, parent, name, key, depth);
}

template <class Raw> long delete_key_tree(Raw& raw, const char* sub_key) {
    return delete_tree(raw, 0, sub_key, 0);
}

} // namespace talvex
