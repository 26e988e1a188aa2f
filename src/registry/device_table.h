#pragma once
#include "registry/link_rule.h"

namespace talvex {

constexpr unsigned kSlotCount = 6;
constexpr unsigned kValueCapacity = 20; // registry values are read with 20 bytes
constexpr unsigned kTagLength = 6;      // "<", four bytes of the driver value, ">"

struct DeviceSlot {
    bool present;
    char driver[kValueCapacity];
    char tag[kTagLength + 1];
    char inf_path[260];
};

struct DeviceTable {
    DeviceSlot slots[kSlotCount];
    // The run's: decided by discovery at its first look, read by removal.
    LinkRule link_rule;
};

} // namespace talvex
