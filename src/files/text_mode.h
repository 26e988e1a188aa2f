#pragma once
// The text-mode rules of start-up file access, over raw bytes in memory.
#include <stddef.h>

namespace talvex {

constexpr unsigned char kCtrlZ = 0x1A;

// One read request for `count` bytes at `position`: CR-LF becomes LF, a lone
// CR stays, the first Ctrl-Z ends the data. A CR that is the last byte of the
// request is dropped when an LF follows it, and that LF is left unread.
// Returns the bytes delivered and advances `position`.
size_t text_mode_read(const unsigned char* raw, size_t raw_length, size_t& position,
                      unsigned char* out, size_t count);

// Writes each LF as CR-LF; `out` needs room for twice `length`.
size_t text_mode_encode(const unsigned char* text, size_t length, unsigned char* out);

} // namespace talvex
