#pragma once
// Deleting a key with everything below it on every Windows family: Windows 95
// does it in RegDeleteKeyA itself, the NT family refuses a key that has
// sub-keys, so those go first, depth first. RegDeleteTree and SHDeleteKey do
// not exist on Windows 95. The walk holds an open handle per level and names
// each sub-key relative to it, so no path is ever composed and neither the
// length of a path nor the depth of the tree limits it.
//
// On the NT family a registry link (a key holding a REG_LINK value named
// SymbolicLinkValue) sends RegOpenKeyExA and RegDeleteKeyA to its target,
// which may lie anywhere in the registry. So every key is first opened as
// itself (REG_OPTION_OPEN_LINK) and looked at: a link is neither descended
// into nor deleted, and it stays with the keys above it. No Windows 95
// function deletes a link without touching its target.
#include "system/system_services.h"

namespace talvex {

// A key name has at most 255 characters, each of up to two bytes in a
// double-byte code page.
constexpr unsigned kKeyNameCapacity = 2 * 255 + 1;
// Windows nests keys at most 512 levels deep and the walk never follows a
// link, so no walk goes deeper; the bound keeps the stack bounded should a
// registry ever nest deeper than documented.
constexpr unsigned kDeepestKey = 512;

constexpr uint32_t kRegOptionOpenLink = 8;  // REG_OPTION_OPEN_LINK
constexpr uint32_t kRegLink = 6;            // REG_LINK
constexpr long kErrorInvalidParameter = 87; // ERROR_INVALID_PARAMETER
constexpr const char* kLinkValue = "SymbolicLinkValue";

// Raw needs, where a parent of 0 stands for HKEY_LOCAL_MACHINE:
// long delete_key(RegKey parent, const char* name),
// long open_key(RegKey parent, const char* name, uint32_t options, RegKey* key), with KEY_READ,
// long query_type(RegKey key, const char* value, uint32_t* type),
// long enum_key(RegKey key, uint32_t index, char* name, uint32_t* length),
// void close_key(RegKey key).

enum class KeyKind { Missing, Plain, Link, Unknown, NoLinks };

// Opens the key itself, never a link's target, and tells what it is; the key
// is left open only for Plain, to be walked and closed by the caller. A key that cannot be looked
// at may be a link: Unknown. A system that refuses the option (Windows 95 may) has no links at all:
// NoLinks.
template <class Raw>
KeyKind open_as_itself(Raw& raw, RegKey parent, const char* name, RegKey* key) {
    const long opened = raw.open_key(parent, name, kRegOptionOpenLink, key);
    if (opened == kErrorInvalidParameter) return KeyKind::NoLinks;
    if (opened == kErrorFileNotFound) return KeyKind::Missing;
    if (opened != kErrorSuccess) return KeyKind::Unknown;
    uint32_t type = 0;
    const long queried = raw.query_type(*key, kLinkValue, &type);
    if (queried == kErrorFileNotFound || (queried == kErrorSuccess && type != kRegLink)) {
        return KeyKind::Plain;
    }
    raw.close_key(*key);
    return queried == kErrorSuccess ? KeyKind::Link : KeyKind::Unknown;
}

template <class Raw> void delete_sub_keys(Raw& raw, RegKey key, unsigned depth);

// Deletes a plain key below an open parent with everything below it; any
// other key stays.
template <class Raw> long delete_below(Raw& raw, RegKey parent, const char* name, unsigned depth) {
    RegKey key = 0;
    const KeyKind kind = open_as_itself(raw, parent, name, &key);
    if (kind != KeyKind::Plain) return kErrorAccessDenied;
    if (depth < kDeepestKey) delete_sub_keys(raw, key, depth + 1);
    raw.close_key(key);
    return raw.delete_key(parent, name);
}

template <class Raw> void delete_sub_keys(Raw& raw, RegKey key, unsigned depth) {
    uint32_t index = 0;
    for (;;) {
        char name[kKeyNameCapacity];
        uint32_t length = sizeof name; // reset before every enumeration
        if (raw.enum_key(key, index, name, &length) != kErrorSuccess) break;
        // A key that stays moves the next one up.
        if (delete_below(raw, key, name, depth) != kErrorSuccess) ++index;
    }
}

template <class Raw> long delete_key_tree(Raw& raw, const char* sub_key) {
    RegKey key = 0;
    const KeyKind kind = open_as_itself(raw, 0, sub_key, &key);
    if (kind == KeyKind::Plain) raw.close_key(key);
    if (kind == KeyKind::Missing) return kErrorFileNotFound;
    if (kind == KeyKind::Link || kind == KeyKind::Unknown) return kErrorAccessDenied;
    // Windows 95 deletes the whole tree here; the NT family only a leaf. A
    // system without links is no NT: there is nothing to walk.
    const long result = raw.delete_key(0, sub_key);
    if (result == kErrorSuccess || kind == KeyKind::NoLinks) return result;
    return delete_below(raw, 0, sub_key, 0);
}

} // namespace talvex
