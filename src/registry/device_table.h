#pragma once

namespace talvex {

constexpr unsigned kSlotCount = 6;
constexpr unsigned kValueCapacity = 20; // registry values are read with 20 bytes

struct DeviceSlot {
    bool present;
    char driver[kValueCapacity];
    char tag[7];
    char inf_path[260];
};

struct DeviceTable {
    DeviceSlot slots[kSlotCount];
};

constexpr const char* kClassKeyPrefix = "System\\CurrentControlSet\\Services\\Class\\";

} // namespace talvex
