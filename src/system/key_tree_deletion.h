#pragma once
// Deleting a key with everything below it on every Windows family: Windows 95
// does it in RegDeleteKeyA itself, the NT family refuses a key that has
// sub-keys, so those go first, depth first. RegDeleteTree and SHDeleteKey do
// not exist on Windows 95. The walk holds an open handle per level and names
// each sub-key relative to it, so no path is ever composed and neither the
// length of a path nor the depth of the tree limits it.
#include "system/system_services.h"

namespace talvex {

// A key name has at most 255 characters, each of up to two bytes in a
// double-byte code page.
constexpr unsigned kKeyNameCapacity = 2 * 255 + 1;
// Windows nests keys at most 512 levels deep, so no tree is deeper than this;
// the bound only stops a walk that a registry link would send round in a ring.
constexpr unsigned kDeepestKey = 512;

// Raw needs, where a parent of 0 stands for HKEY_LOCAL_MACHINE:
// long delete_key(RegKey parent, const char* name),
// long open_key(RegKey parent, const char* name, uint32_t access, RegKey* key),
// long enum_key(RegKey key, uint32_t index, char* name, uint32_t* length),
// void close_key(RegKey key).
template <class Raw> void delete_sub_keys(Raw& raw, RegKey key, unsigned depth) {
    uint32_t index = 0;
    for (;;) {
        char name[kKeyNameCapacity];
        uint32_t length = sizeof name; // reset before every enumeration
        if (raw.enum_key(key, index, name, &length) != kErrorSuccess) break;
        long result = raw.delete_key(key, name);
        RegKey child = 0;
        if (result != kErrorSuccess && depth < kDeepestKey &&
            raw.open_key(key, name, kKeyRead, &child) == kErrorSuccess) {
            delete_sub_keys(raw, child, depth + 1);
            raw.close_key(child);
            result = raw.delete_key(key, name);
        }
        if (result != kErrorSuccess) ++index; // a key that stays moves the next one up
    }
}

template <class Raw> long delete_key_tree(Raw& raw, const char* sub_key) {
    const long result = raw.delete_key(0, sub_key);
    if (result == kErrorSuccess) return result;
    RegKey key = 0;
    if (raw.open_key(0, sub_key, kKeyRead, &key) != kErrorSuccess) return result;
    delete_sub_keys(raw, key, 1);
    raw.close_key(key);
    return raw.delete_key(0, sub_key);
}

} // namespace talvex
