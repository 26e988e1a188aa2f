#include "registry/registry_removal.h"

#include "registry/card_key_walk.h"

namespace talvex {
namespace {

// A class key goes only where the Driver value names a key below a class; an
// entry goes whatever its tag, every level of which is the card's.
void delete_slot_block(SystemServices& sys, LinkRule rule, const DeviceSlot& slot,
                       const SlotEntries& block) {
    char path[kCardPathCapacity];
    if (class_instance_at(sys, slot.driver) != 0) {
        delete_card_key(sys, rule, compose(kClassKeyForm, slot.driver, "", path));
    }
    for (unsigned i = 0; i < block.count; ++i) {
        const ResourceEntry& entry = block.entries[i];
        delete_card_key(sys, rule, compose(entry.type, entry.driver_file, slot.tag, path));
    }
}

} // namespace

void remove_registry_entries(SystemServices& sys, const DeviceTable& table) {
    const LinkRule rule = decide_link_rule(sys, table.link_rule);
    for (const DeviceKey& device : kDeviceKeys) delete_card_key(sys, rule, device.key);
    for (const CardKey& key : kRootMediaKeys) delete_card_key(sys, rule, key);
    for (unsigned i = 0; i < kSlotCount; ++i) {
        if (table.slots[i].present) delete_slot_block(sys, rule, table.slots[i], kSlotEntries[i]);
    }
    delete_card_key(sys, rule, kDreamKey);
    RegKey run = 0;
    if (sys.reg_open_key_ex(0, kRunKey, 0, kKeySetValue, &run) == kErrorSuccess) {
        sys.reg_delete_value(run, kRunValue);
        sys.reg_close_key(run);
    }
    for (const CardKey& key : kClosingKeys) delete_card_key(sys, rule, key);
}

} // namespace talvex
