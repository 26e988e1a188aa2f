#include "registry/card_keys.h"

#include "system/characters.h"
#include "system/system_services.h"
#include "system/text.h"

namespace talvex {
namespace {

constexpr unsigned longest_composed() {
    unsigned longest = text_length(kClassKeyForm.path) + kValueCapacity - 1;
    for (const SlotEntries& slot : kSlotEntries) {
        for (unsigned i = 0; i < slot.count; ++i) {
            const unsigned length = text_length(slot.entries[i].type.path) +
                                    text_length(slot.entries[i].driver_file) + kTagLength;
            if (length > longest) longest = length;
        }
    }
    for (const DeviceKey& device : kDeviceKeys) {
        const unsigned length = text_length(device.key.path) + 1 + text_length(device.instance);
        if (length > longest) longest = length;
    }
    return longest;
}
static_assert(kCardPathCapacity > longest_composed());
static_assert(count_of(kDeviceKeys) == kSlotCount + kSlotCount - kFirstFallbackSlot);

// Whether `text` has an empty level: it is empty, or a backslash begins or
// ends it or follows another.
bool has_empty_level(SystemServices& sys, const char* text) {
    bool after_backslash = true;
    for (const char* p = text; *p != 0; p = next_character(p, sys)) {
        if (*p == '\\' && after_backslash) return true;
        after_backslash = *p == '\\';
    }
    return after_backslash;
}

} // namespace

CardKey compose(CardKey form, const char* next, const char* last,
                char (&buffer)[kCardPathCapacity]) {
    PathBuilder path(buffer, sizeof buffer);
    path.append(form.path).append(next).append(last);
    return {path.ok() ? buffer : nullptr, form.system_levels};
}

CardKey enumeration_key(unsigned slot, char (&buffer)[kCardPathCapacity]) {
    return compose(kDeviceKeys[slot].key, "\\", kDeviceKeys[slot].instance, buffer);
}

CardKey fallback_key(unsigned slot, char (&buffer)[kCardPathCapacity]) {
    if (slot < kFirstFallbackSlot) return {nullptr, 0};
    return enumeration_key(slot + kSlotCount - kFirstFallbackSlot, buffer);
}

unsigned card_part_at(SystemServices& sys, const char* path, unsigned system_levels) {
    unsigned at = 0;
    for (const char* p = path; *p != 0 && system_levels != 0; p = next_character(p, sys)) {
        if (*p != '\\') continue;
        at = static_cast<unsigned>(p - path) + 1;
        --system_levels;
    }
    return at;
}

unsigned class_instance_at(SystemServices& sys, const char* driver) {
    return has_empty_level(sys, driver) ? 0 : card_part_at(sys, driver, 1);
}

} // namespace talvex
