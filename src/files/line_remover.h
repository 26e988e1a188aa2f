#pragma once

namespace talvex {

class SystemServices;

// A start-up file whose text (its bytes before the first Ctrl-Z, each CR-LF
// counted once) is at most this long is handled whole; one whose text is
// longer is left unchanged.
constexpr unsigned kLongestEditedText = 64 * 1024;

// Removes the line holding the first occurrence of `token` (no LF, no NUL,
// case-sensitive) and rewrites the file in place with CR-LF line ends.
void remove_line_containing(SystemServices& sys, const char* path, const char* token);

} // namespace talvex
