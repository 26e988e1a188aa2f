#pragma once

namespace talvex {

class SystemServices;

// Files up to this size are handled whole; a larger file is left unchanged.
constexpr unsigned kLargestEditedFile = 64 * 1024;

// Removes the line holding the first occurrence of `token` (no LF, no NUL,
// case-sensitive) and rewrites the file in place with CR-LF line ends.
void remove_line_containing(SystemServices& sys, const char* path, const char* token);

} // namespace talvex
