#pragma once
#include "registry/device_table.h"

namespace talvex {

class SystemServices;

// Deletes the card's keys and its Run value in their fixed order.
void remove_registry_entries(SystemServices& sys, const DeviceTable& table);

} // namespace talvex
