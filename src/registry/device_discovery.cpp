#include "registry/device_discovery.h"

#include "registry/card_key_walk.h"

namespace talvex {
namespace {

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
// not open sends slots 4 and 5 to their fallback, and so does a link that
// leads nowhere, since an open through it fails.
void read_driver(SystemServices& sys, LinkRule rule, unsigned index, DeviceSlot& slot) {
    char path[kCardPathCapacity];
    RegKey key = 0;
    const CardKey enum_key = enumeration_key(index, path);
    KeyKind kind = open_card_key(sys, rule, enum_key, &key);
    if (kind != KeyKind::Plain && index >= kFirstFallbackSlot &&
        !(kind == KeyKind::Link && open_and_close(sys, enum_key.path, 0) == kErrorSuccess)) {
        kind = open_card_key(sys, rule, fallback_key(index, path), &key);
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

// An empty Driver names the Class key itself, the system's, opened as ever:
// absent slots read its own InfPath. Any other value names a key of the
// card's, whatever its shape, read through the walk.
void read_inf_path(SystemServices& sys, LinkRule rule, DeviceSlot& slot) {
    char path[kCardPathCapacity];
    const CardKey class_key = compose(kClassKeyForm, slot.driver, "", path);
    RegKey key = 0;
    const bool opened = slot.driver[0] == 0
                            ? sys.reg_open_key_ex(0, path, 0, kKeyRead, &key) == kErrorSuccess
                            : open_card_key(sys, rule, class_key, &key) == KeyKind::Plain;
    if (!opened) return;
    query_string(sys, key, "InfPath", slot.inf_path);
    sys.reg_close_key(key);
}

} // namespace

void discover_device_instances(SystemServices& sys, DeviceTable& table) {
    const LinkRule rule = table.link_rule = decide_link_rule(sys, table.link_rule);
    for (unsigned i = 0; i < kSlotCount; ++i) read_driver(sys, rule, i, table.slots[i]);
    for (DeviceSlot& slot : table.slots) form_tag(slot);
    for (DeviceSlot& slot : table.slots) read_inf_path(sys, rule, slot);
}

} // namespace talvex
