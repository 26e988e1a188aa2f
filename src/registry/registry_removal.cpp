#include "registry/registry_removal.h"

#include "system/characters.h"
#include "system/system_services.h"
#include "system/text.h"

namespace talvex {
namespace {

constexpr const char* kEnumKeys[] = {
    "Enum\\ISAPNP\\CSC9836_DEV0000", "Enum\\ISAPNP\\CSC9836_DEV0001",
    "Enum\\ISAPNP\\CSC9836_DEV0002", "Enum\\ISAPNP\\CSC9836_DEV0003",
    "Enum\\ISAPNP\\CSC9836_DEV0004", "Enum\\ISAPNP\\CSC9836_DEV0005",
    "Enum\\Root\\*CSC0004",          "Enum\\Root\\*CSC0005",
    "Enum\\Root\\MEDIA\\0020",       "Enum\\Root\\MEDIA\\0021",
};

#define TALVEX_MEDIA_RESOURCES "System\\CurrentControlSet\\Control\\MediaResources\\"
constexpr const char* kAux = TALVEX_MEDIA_RESOURCES "aux\\";
constexpr const char* kMixer = TALVEX_MEDIA_RESOURCES "mixer\\";
constexpr const char* kWave = TALVEX_MEDIA_RESOURCES "wave\\";
constexpr const char* kMidi = TALVEX_MEDIA_RESOURCES "midi\\";
constexpr const char* kJoystick = TALVEX_MEDIA_RESOURCES "joystick\\";

struct ResourceEntry {
    const char* type_prefix;
    const char* driver_file;
};

struct SlotBlock {
    const ResourceEntry* entries;
    unsigned count;
};

constexpr ResourceEntry kSlot0Entries[] = {
    {kAux, "cs32ba11.drv"},  {kMixer, "cs32ba11.drv"}, {kWave, "cs32ba11.drv"},
    {kAux, "cwbaudio.drv"},  {kMixer, "cwbaudio.drv"}, {kWave, "cwbaudio.drv"},
    {kMidi, "cwbaudio.drv"}, {kMidi, "cwbfm.drv"},
};
constexpr ResourceEntry kSlot1Entries[] = {{kJoystick, "msjstick.drv"}};
constexpr ResourceEntry kSlot3Entries[] = {{kMidi, "csmidi.drv"}, {kMidi, "cwbmidi.drv"}};
constexpr ResourceEntry kSlot4Entries[] = {
    {kMidi, "dream95.drv"}, {kMixer, "dream95.drv"}, {kWave, "dream95.drv"}};

constexpr SlotBlock kSlotBlocks[kSlotCount] = {
    {kSlot0Entries, count_of(kSlot0Entries)},
    {kSlot1Entries, count_of(kSlot1Entries)},
    {nullptr, 0},
    {kSlot3Entries, count_of(kSlot3Entries)},
    {kSlot4Entries, count_of(kSlot4Entries)},
    {nullptr, 0},
};

#define TALVEX_CURRENT_VERSION "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
constexpr const char* kDreamKey = TALVEX_MEDIA_RESOURCES "Dream";
constexpr const char* kRunKey = TALVEX_CURRENT_VERSION "Run";
constexpr const char* kRunValue = "Talvexhst";
constexpr const char* kClosingKeys[] = {
    TALVEX_CURRENT_VERSION "Controls Folder\\Power\\shellex\\PropertySheetHandlers\\"
                           "Crystal Semiconductor Power Control Panel Extension",
    TALVEX_CURRENT_VERSION "MS-DOSOptions\\Crystal",
    TALVEX_CURRENT_VERSION "Uninstall\\Talvex",
};

constexpr unsigned longest_resource_entry() {
    unsigned longest = 0;
    for (const SlotBlock& block : kSlotBlocks) {
        for (unsigned i = 0; i < block.count; ++i) {
            const unsigned length = text_length(block.entries[i].type_prefix) +
                                    text_length(block.entries[i].driver_file);
            if (length > longest) longest = length;
        }
    }
    return longest;
}

// Room for a class key with a 19-character driver value, and for every
// resource entry with its tag, each with its terminator.
constexpr unsigned kKeyPathCapacity = 100;
static_assert(kKeyPathCapacity > text_length(kClassKeyPrefix) + kValueCapacity - 1);
static_assert(kKeyPathCapacity > longest_resource_entry() + kTagLength);

void delete_composed(SystemServices& sys, const PathBuilder& path, unsigned card_part) {
    if (path.ok()) sys.reg_delete_key(path.c_str(), card_part);
}

void delete_fixed(SystemServices& sys, const char* key) {
    sys.reg_delete_key(key, last_level_at(key));
}

// The card's part of a class key is its instance, of a resource entry the
// entry itself, with every level a tag may add.
void delete_slot_block(SystemServices& sys, const DeviceSlot& slot, const SlotBlock& block) {
    char buffer[kKeyPathCapacity];
    if (const unsigned instance = class_instance_at(sys, slot.driver)) {
        PathBuilder path(buffer, sizeof buffer);
        delete_composed(sys, path.append(kClassKeyPrefix).append(slot.driver),
                        text_length(kClassKeyPrefix) + instance);
    }
    for (unsigned i = 0; i < block.count; ++i) {
        PathBuilder path(buffer, sizeof buffer);
        path.append(block.entries[i].type_prefix).append(block.entries[i].driver_file);
        delete_composed(sys, path.append(slot.tag), text_length(block.entries[i].type_prefix));
    }
}

} // namespace

unsigned class_instance_at(SystemServices& sys, const char* driver) {
    unsigned instance = 0;
    bool after_backslash = true; // so that a leading backslash makes an empty segment
    for (const char* p = driver; *p != 0; p = next_character(p, sys)) {
        const bool backslash = *p == '\\';
        if (backslash && after_backslash) return 0;
        if (backslash && instance == 0) instance = static_cast<unsigned>(p - driver) + 1;
        after_backslash = backslash;
    }
    return after_backslash ? 0 : instance;
}

void remove_registry_entries(SystemServices& sys, const DeviceTable& table) {
    for (const char* key : kEnumKeys) delete_fixed(sys, key);
    for (unsigned i = 0; i < kSlotCount; ++i) {
        if (table.slots[i].present) delete_slot_block(sys, table.slots[i], kSlotBlocks[i]);
    }
    delete_fixed(sys, kDreamKey);
    RegKey run = 0;
    if (sys.reg_open_key_ex(kRunKey, kKeySetValue, &run) == kErrorSuccess) {
        sys.reg_delete_value(run, kRunValue);
        sys.reg_close_key(run);
    }
    for (const char* key : kClosingKeys) delete_fixed(sys, key);
}

} // namespace talvex
