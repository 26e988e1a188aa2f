#pragma once
#include "registry/device_table.h"

namespace talvex {

class SystemServices;

// Deletes the card's keys and its Run value in their fixed order.
void remove_registry_entries(SystemServices& sys, const DeviceTable& table);

// True for CLASS\INSTANCE: one backslash with text on both sides. Anything
// else would name the Class key itself or a whole device class.
bool names_one_class_instance(const char* driver);

} // namespace talvex
