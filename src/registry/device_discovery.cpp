#include "registry/device_discovery.h"

#include "registry/registry_removal.h"
#include "system/system_services.h"
#include "system/text.h"

namespace talvex {
namespace {

struct SlotKeys {
    const char* enum_key;
    const char* fallback_key;
};

// The card's own part of each path: its device key on.
constexpr unsigned kEnumCardPart = text_length("Enum\\ISAPNP\\");
constexpr unsigned kFallbackCardPart = text_length("Enum\\Root\\");

constexpr SlotKeys kSlotKeys[kSlotCount] = {
    {"Enum\\ISAPNP\\CSC9836_DEV0000\\FFFFFFFF", nullptr},
    {"Enum\\ISAPNP\\CSC9836_DEV0001\\FFFFFFFF", nullptr},
    {"Enum\\ISAPNP\\CSC9836_DEV0002\\FFFFFFFF", nullptr},
    {"Enum\\ISAPNP\\CSC9836_DEV0003\\FFFFFFFF", nullptr},
    {"Enum\\ISAPNP\\CSC9836_DEV0004\\FFFFFFFF", "Enum\\Root\\*CSC0004\\0000"},
    {"Enum\\ISAPNP\\CSC9836_DEV0005\\FFFFFFFF", "Enum\\Root\\*CSC0005\\0000"},
};

void clear(char* field, unsigned size) {
    for (unsigned i = 0; i < size; ++i) field[i] = 0;
}

// Queries a string value into a 20-byte field. Data that fills the field with
// no terminator counts as too long, so the field is always a valid string.
bool query_string(SystemServices& sys, RegKey key, const char* name, char* field) {
    uint32_t size = kValueCapacity;
    const long result =
        sys.reg_query_value_ex(key, name, reinterpret_cast<unsigned char*>(field), &size);
    bool terminated = false;
    for (unsigned i = 0; i < kValueCapacity; ++i) terminated = terminated || field[i] == 0;
    if (result == kErrorSuccess && terminated) return true;
    clear(field, kValueCapacity);
    return false;
}

// A link among the card's keys leaves the slot absent, as a key without a
// Driver value does: its target is another device's. Only a key that does
// not open sends slots 4 and 5 to their fallback.
void read_driver(SystemServices& sys, unsigned index, DeviceSlot& slot) {
    RegKey key = 0;
    KeyKind kind = sys.reg_open_card_key(kSlotKeys[index].enum_key, kEnumCardPart, &key);
    if ((kind == KeyKind::Missing || kind == KeyKind::Unopened) &&
        kSlotKeys[index].fallback_key != nullptr) {
        kind = sys.reg_open_card_key(kSlotKeys[index].fallback_key, kFallbackCardPart, &key);
    }
    if (kind != KeyKind::Plain) return;
    slot.present = query_string(sys, key, "Driver", slot.driver);
    sys.reg_close_key(key);
}

void form_tag(DeviceSlot& slot) {
    slot.tag[0] = '<';
    for (unsigned i = 0; i < 4; ++i) slot.tag[1 + i] = slot.driver[6 + i];
    slot.tag[5] = '>';
    slot.tag[6] = 0;
}

void read_inf_path(SystemServices& sys, DeviceSlot& slot) {
    char path[64];
    static_assert(sizeof path > text_length(kClassKeyPrefix) + kValueCapacity - 1);
    PathBuilder key_path(path, sizeof path);
    key_path.append(kClassKeyPrefix).append(slot.driver);
    if (!key_path.ok()) return;
    // A value that names no class instance has no part of the card's in the
    // class tree: its key is only read, never deleted.
    const unsigned instance = class_instance_at(sys, slot.driver);
    const unsigned card_part = text_length(kClassKeyPrefix) + instance;
    RegKey key = 0;
    const bool opened =
        instance != 0 ? sys.reg_open_card_key(key_path.c_str(), card_part, &key) == KeyKind::Plain
                      : sys.reg_open_key_ex(key_path.c_str(), kKeyRead, &key) == kErrorSuccess;
    if (!opened) return;
    query_string(sys, key, "InfPath", slot.inf_path);
    sys.reg_close_key(key);
}

} // namespace

void discover_device_instances(SystemServices& sys, DeviceTable& table) {
    for (unsigned i = 0; i < kSlotCount; ++i) read_driver(sys, i, table.slots[i]);
    for (DeviceSlot& slot : table.slots) form_tag(slot);
    for (DeviceSlot& slot : table.slots) read_inf_path(sys, slot);
}

} // namespace talvex
