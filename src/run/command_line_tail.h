#pragma once

namespace talvex {

class SystemServices;

// What follows the program name and the blanks after it; never copied.
const char* command_line_tail(const char* command_line, SystemServices& sys);

} // namespace talvex
