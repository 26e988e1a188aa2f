#pragma once
#include "system/text.h"

namespace talvex {

class SystemServices;

enum class Directory { Windows, System };

constexpr unsigned kFullDirectoryCapacity = 260;

// Starts `path` with the directory, queried with `capacity`. A directory that
// does not fit is queried again with room enough; false when no directory was
// delivered, so that nothing is composed from a stale buffer.
bool start_with_directory(SystemServices& sys, Directory which, unsigned capacity,
                          PathBuilder& path);

} // namespace talvex
