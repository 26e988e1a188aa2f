#pragma once
// The text-mode rules of start-up file access, over raw bytes in memory.
#include <stddef.h>

namespace talvex {

constexpr unsigned char kCtrlZ = 0x1A;

// Reads `length` raw bytes as text: CR-LF becomes LF, a lone CR stays, the
// first Ctrl-Z ends the data. Returns the bytes delivered into `out`, which
// needs room for `length`; `at_ctrl_z` tells whether a Ctrl-Z ended them.
size_t text_mode_decode(const unsigned char* raw, size_t length, unsigned char* out,
                        bool& at_ctrl_z);

// Writes each LF as CR-LF; `out` needs room for twice `length`.
size_t text_mode_encode(const unsigned char* text, size_t length, unsigned char* out);

} // namespace talvex
