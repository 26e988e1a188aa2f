#pragma once
// Opening a key of the card's without going through a registry link on the
// card's own part of its path.
//
// A registry link sends RegOpenKeyExA and RegDeleteKeyA to its target, which
// may lie anywhere in the registry: a link at a device key of the card's could
// hand discovery another device's Driver value, and the clean-up would then
// delete that device's class key and INF file. The NT family has links, and so
// may a system of the 9x family that knows REG_OPTION_OPEN_LINK (Wine's 95, 98
// and ME modes do). There the system's keys above the card's part of a path
// (Enum\ISAPNP, Services\Class\MEDIA, CurrentControlSet, itself a link on NT)
// are gone through as ever, and each level of the card's part is opened as
// itself and looked at: the first by the path up to it, each further one below
// the one before. Only a system that does not know the option knows no links
// at all, and there a path is opened in one call.
#include "system/characters.h"
#include "system/system_services.h"

namespace talvex {

// A key name has at most 255 characters, each of up to two bytes in a
// double-byte code page; the program's own paths up to a level of the card's
// are far shorter.
constexpr unsigned kKeyNameCapacity = 2 * 255 + 1;

constexpr uint32_t kRegOptionOpenLink = 8; // REG_OPTION_OPEN_LINK
constexpr const char* kLinkValue = "SymbolicLinkValue";
// A key below HKEY_LOCAL_MACHINE on every Windows.
constexpr const char* kEverySystemKey = "SOFTWARE";

// Raw needs, where a parent of 0 stands for HKEY_LOCAL_MACHINE:
// long open_key(RegKey parent, const char* name, uint32_t options, RegKey* key), with KEY_READ,
// long query_value(RegKey key, const char* value), whether the value exists,
// void close_key(RegKey key),
// bool nt_family() (GetVersion's high bit clear),
// bool is_dbcs_lead_byte(unsigned char byte) of the ANSI code page.

// How this system's keys are opened and deleted, decided once per run.
enum class LinkRule {
    Undecided,
    LookAtEach, // links may exist: each key on the card's part is looked at first
    NoLinks,    // the system does not know the option: one call per path
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

// `rule` is the run's: decided at its first use, after the confirmation,
// and kept for the rest of the run.
template <class Raw> LinkRule decided(Raw& raw, LinkRule& rule) {
    if (rule == LinkRule::Undecided) rule = decide_link_rule(raw);
    return rule;
}

// What an open that failed with `result` tells of the key.
constexpr KeyKind unopened_kind(long result) {
    return result == kErrorFileNotFound ? KeyKind::Missing : KeyKind::Unopened;
}

// Opens the key itself, never a link's target, and tells what it is; the key
// is left open only for Plain. A key that holds a value named
// SymbolicLinkValue, of any type, is a link: Wine takes a key for a link by a
// flag that no call can read, whatever its value's type. So is a key whose
// value cannot be looked at: it may be one.
template <class Raw> KeyKind look_at(Raw& raw, RegKey parent, const char* name, RegKey* key) {
    const long opened = raw.open_key(parent, name, kRegOptionOpenLink, key);
    if (opened != kErrorSuccess) {
        *key = 0;
        return unopened_kind(opened);
    }
    if (raw.query_value(*key, kLinkValue) == kErrorFileNotFound) return KeyKind::Plain;
    raw.close_key(*key);
    *key = 0;
    return KeyKind::Link;
}

// Looks at each level of the card's part of `path` (from the offset
// `card_part` on, split by characters) but its last. Leaves in `*parent` the
// open key that holds the last level, or 0 where that level is the first,
// and in `*name` what to open it by: its name below `*parent`, or the whole
// path. Plain where every level above it is a plain key. A key left in
// `*parent` is the caller's to close, whatever the answer. An empty level (a
// doubled or trailing backslash, which a tag may hold) opens, by its empty
// name, the key above it once more, as itself: the key that Wine was seen
// to take such a path to name.
template <class Raw>
KeyKind look_above(Raw& raw, const char* path, unsigned card_part, RegKey* parent,
                   const char** name) {
    *parent = 0;
    *name = path;
    for (const char* level = path + card_part;;) {
        const char* end = level;
        while (*end != 0 && *end != '\\') end = next_character(end, raw);
        if (*end == 0) return KeyKind::Plain;
        const char* from = *parent == 0 ? path : level;
        char opened[kKeyNameCapacity];
        const unsigned length = static_cast<unsigned>(end - from);
        if (length >= sizeof opened) return KeyKind::Unopened;
        for (unsigned i = 0; i < length; ++i) opened[i] = from[i];
        opened[length] = 0;
        RegKey key = 0;
        const KeyKind kind = look_at(raw, *parent, opened, &key);
        if (*parent != 0) raw.close_key(*parent);
        *parent = key;
        if (kind != KeyKind::Plain) return kind;
        *name = level = end + 1;
    }
}

// Opens the key at `path` for reading, no level of the card's part a link.
template <class Raw>
KeyKind open_card_key(Raw& raw, LinkRule rule, const char* path, unsigned card_part, RegKey* key) {
    *key = 0;
    if (rule == LinkRule::NoLinks) {
        const long opened = raw.open_key(0, path, 0, key);
        if (opened == kErrorSuccess) return KeyKind::Plain;
        *key = 0;
        return unopened_kind(opened);
    }
    RegKey parent = 0;
    const char* name = nullptr;
    KeyKind kind = look_above(raw, path, card_part, &parent, &name);
    if (kind == KeyKind::Plain) kind = look_at(raw, parent, name, key);
    if (parent != 0) raw.close_key(parent);
    return kind;
}

} // namespace talvex
