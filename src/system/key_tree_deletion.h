#pragma once
// Deleting a key with everything below it on every Windows family: Windows 95
// does it in RegDeleteKeyA itself, the NT family refuses a key that has
// sub-keys, so those go first, depth first. RegDeleteTree and SHDeleteKey do
// not exist on Windows 95.
#include "system/system_services.h"

namespace talvex {

constexpr unsigned kKeyNameCapacity = 256;
constexpr unsigned kKeyPathCapacity = 1024;
constexpr unsigned kDeepestKey = 32;

// Raw needs: long delete_key(const char*), long open_key(const char*, uint32_t,
// RegKey*), long enum_key(RegKey, uint32_t index, char* name, uint32_t* length),
// void close_key(RegKey).
template <class Raw> long delete_sub_keys(Raw& raw, char* path, unsigned length, unsigned depth) {
    RegKey key = 0;
    if (raw.open_key(path, kKeyRead, &key) != kErrorSuccess) return -1;
    uint32_t index = 0;
    for (;;) {
        char name[kKeyNameCapacity];
        uint32_t name_length = sizeof name; // reset before every enumeration
        if (raw.enum_key(key, index, name, &name_length) != kErrorSuccess) break;
        if (length + 1 + name_length >= kKeyPathCapacity || depth >= kDeepestKey) {
            ++index; // cannot be reached; leave it and look at the next one
            continue;
        }
        path[length] = '\\';
        for (uint32_t i = 0; i <= name_length; ++i) path[length + 1 + i] = name[i];
        const unsigned child_length = length + 1 + name_length;
        long result = raw.delete_key(path);
        if (result != kErrorSuccess) {
            delete_sub_keys(raw, path, child_length, depth + 1);
            result = raw.delete_key(path);
        }
        path[length] = 0;
        if (result != kErrorSuccess) ++index; // a key that stays moves the next one up
    }
    raw.close_key(key);
    return kErrorSuccess;
}

template <class Raw> long delete_key_tree(Raw& raw, const char* sub_key) {
    long result = raw.delete_key(sub_key);
    if (result == kErrorSuccess) return result;
    char path[kKeyPathCapacity];
    unsigned length = 0;
    for (; sub_key[length] != 0; ++length) {
        if (length + 1 >= kKeyPathCapacity) return result;
        path[length] = sub_key[length];
    }
    path[length] = 0;
    if (delete_sub_keys(raw, path, length, 0) != kErrorSuccess) return result;
    return raw.delete_key(path);
}

} // namespace talvex
