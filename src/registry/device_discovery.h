#pragma once
#include "registry/device_table.h"

namespace talvex {

class SystemServices;

// Fills an all-absent table from the registry; reads only.
void discover_device_instances(SystemServices& sys, DeviceTable& table);

} // namespace talvex
