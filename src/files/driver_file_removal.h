#pragma once
#include "registry/device_table.h"

namespace talvex {

class SystemServices;

constexpr unsigned kFirstInfPassCapacity = 260;
constexpr unsigned kShortDirectoryCapacity = 20;

// One INF pass: each slot's INF file from "\inf\" and "\inf\other\".
void remove_inf_files(SystemServices& sys, const DeviceTable& table, unsigned capacity);
// The Windows-directory list, the System-directory list, then the second INF pass.
void remove_driver_files(SystemServices& sys, const DeviceTable& table);

// An INF value that could climb out of the inf folders, name more than one
// file, or end in half a character of the ANSI code page is never deleted.
bool is_plain_file_name(const char* name, SystemServices& sys);

} // namespace talvex
