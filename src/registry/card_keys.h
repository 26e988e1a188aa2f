#pragma once
// The card's keys below HKEY_LOCAL_MACHINE, each described once: its path
// (or the start of it that a value read from the machine completes) and how
// many of its levels are the system's. Those are gone through as ever, links
// and all (CurrentControlSet is a link on NT); the card's own part, from the
// next level on, is never gone through where links may exist
// (card_key_walk.h). Discovery and removal both read this description.
#include "registry/device_table.h"
#include "system/text.h"

namespace talvex {

class SystemServices;

struct CardKey {
    const char* path;
    unsigned system_levels; // levels above the card's own part
};

// For a key named by its whole path alone: every level but its last is the
// system's.
constexpr unsigned kAllButTheLast = ~0u;

// A device key, and the instance key below it that holds the Driver value.
struct DeviceKey {
    CardKey key;
    const char* instance;
};

// The six logical devices' keys below Enum\ISAPNP, slot by slot, then the
// two root-enumerated ones that slots 4 and 5 fall back to.
inline constexpr DeviceKey kDeviceKeys[] = {
    {{"Enum\\ISAPNP\\CSC9836_DEV0000", 2}, "FFFFFFFF"},
    {{"Enum\\ISAPNP\\CSC9836_DEV0001", 2}, "FFFFFFFF"},
    {{"Enum\\ISAPNP\\CSC9836_DEV0002", 2}, "FFFFFFFF"},
    {{"Enum\\ISAPNP\\CSC9836_DEV0003", 2}, "FFFFFFFF"},
    {{"Enum\\ISAPNP\\CSC9836_DEV0004", 2}, "FFFFFFFF"},
    {{"Enum\\ISAPNP\\CSC9836_DEV0005", 2}, "FFFFFFFF"},
    {{"Enum\\Root\\*CSC0004", 2}, "0000"},
    {{"Enum\\Root\\*CSC0005", 2}, "0000"},
};
constexpr unsigned kFirstFallbackSlot = 4;

// Keys named by their whole path alone.
#define TALVEX_MEDIA_RESOURCES "System\\CurrentControlSet\\Control\\MediaResources\\"
#define TALVEX_CURRENT_VERSION "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
inline constexpr CardKey kRootMediaKeys[] = {
    {"Enum\\Root\\MEDIA\\0020", kAllButTheLast},
    {"Enum\\Root\\MEDIA\\0021", kAllButTheLast},
};
inline constexpr CardKey kDreamKey = {TALVEX_MEDIA_RESOURCES "Dream", kAllButTheLast};
inline constexpr CardKey kClosingKeys[] = {
    {TALVEX_CURRENT_VERSION "Controls Folder\\Power\\shellex\\PropertySheetHandlers\\"
                            "Crystal Semiconductor Power Control Panel Extension",
     kAllButTheLast},
    {TALVEX_CURRENT_VERSION "MS-DOSOptions\\Crystal", kAllButTheLast},
    {TALVEX_CURRENT_VERSION "Uninstall\\Talvex", kAllButTheLast},
};
// The Run key is the system's: only its value is the card's.
inline constexpr const char* kRunKey = TALVEX_CURRENT_VERSION "Run";
inline constexpr const char* kRunValue = "Talvexhst";

// A class key: this and a Driver value, whose first level is the class.
inline constexpr CardKey kClassKeyForm = {"System\\CurrentControlSet\\Services\\Class\\", 5};

// A resource entry: a type's key, a driver file name and a slot's tag.
struct ResourceEntry {
    CardKey type;
    const char* driver_file;
};
inline constexpr CardKey kAux = {TALVEX_MEDIA_RESOURCES "aux\\", 5};
inline constexpr CardKey kMixer = {TALVEX_MEDIA_RESOURCES "mixer\\", 5};
inline constexpr CardKey kWave = {TALVEX_MEDIA_RESOURCES "wave\\", 5};
inline constexpr CardKey kMidi = {TALVEX_MEDIA_RESOURCES "midi\\", 5};
inline constexpr CardKey kJoystick = {TALVEX_MEDIA_RESOURCES "joystick\\", 5};
inline constexpr ResourceEntry kSlot0Entries[] = {
    {kAux, "cs32ba11.drv"},  {kMixer, "cs32ba11.drv"}, {kWave, "cs32ba11.drv"},
    {kAux, "cwbaudio.drv"},  {kMixer, "cwbaudio.drv"}, {kWave, "cwbaudio.drv"},
    {kMidi, "cwbaudio.drv"}, {kMidi, "cwbfm.drv"},
};
inline constexpr ResourceEntry kSlot1Entries[] = {{kJoystick, "msjstick.drv"}};
inline constexpr ResourceEntry kSlot3Entries[] = {{kMidi, "csmidi.drv"}, {kMidi, "cwbmidi.drv"}};
inline constexpr ResourceEntry kSlot4Entries[] = {
    {kMidi, "dream95.drv"}, {kMixer, "dream95.drv"}, {kWave, "dream95.drv"}};
struct SlotEntries {
    const ResourceEntry* entries;
    unsigned count;
};
inline constexpr SlotEntries kSlotEntries[kSlotCount] = {
    {kSlot0Entries, count_of(kSlot0Entries)},
    {kSlot1Entries, count_of(kSlot1Entries)},
    {nullptr, 0},
    {kSlot3Entries, count_of(kSlot3Entries)},
    {kSlot4Entries, count_of(kSlot4Entries)},
    {nullptr, 0},
};
#undef TALVEX_MEDIA_RESOURCES
#undef TALVEX_CURRENT_VERSION

// Room for every path composed from these: a class key with a 19-character
// Driver value, an entry with its tag, an instance key.
constexpr unsigned kCardPathCapacity = 100;

// `form`'s path, then `next`, then `last`, composed in `buffer`; a null path
// where it does not fit.
CardKey compose(CardKey form, const char* next, const char* last,
                char (&buffer)[kCardPathCapacity]);

// Slot `slot`'s enumeration key, and its fallback key (a null path where it
// has none).
CardKey enumeration_key(unsigned slot, char (&buffer)[kCardPathCapacity]);
CardKey fallback_key(unsigned slot, char (&buffer)[kCardPathCapacity]);

// Where the card's own part of `path` begins: after the first `system_levels`
// backslashes, or after the last where there are fewer. The path is read by
// characters of the ANSI code page, so a trail byte 0x5C separates nothing.
unsigned card_part_at(SystemServices& sys, const char* path, unsigned system_levels);

// Where the instance level of a Driver value begins, for a key below a device
// class: two or more levels, none empty (MEDIA\0005, MEDIA\0005\abc). 0 for
// anything else (an empty value, one level, a leading, trailing or doubled
// backslash), which would name the Class key itself or a whole device class.
// A class key is deleted only where this is not 0.
unsigned class_instance_at(SystemServices& sys, const char* driver);

} // namespace talvex
