#pragma once
#include "registry/device_table.h"

namespace talvex {

class SystemServices;

// Deletes the card's keys and its Run value in their fixed order.
void remove_registry_entries(SystemServices& sys, const DeviceTable& table);

// Where the instance segment of a Driver value begins, for a key below a
// device class: two or more segments, none empty (MEDIA\0005,
// MEDIA\0005\abc). 0 for anything else (an empty value, one segment, a
// leading, trailing or doubled backslash), which would name the Class key
// itself or a whole device class. Segments are counted by characters of the
// ANSI code page, so a trail byte 0x5C separates nothing.
unsigned class_instance_at(SystemServices& sys, const char* driver);

} // namespace talvex
