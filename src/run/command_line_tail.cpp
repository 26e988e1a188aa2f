#include "run/command_line_tail.h"

#include "system/characters.h"
#include "system/system_services.h"

namespace talvex {

const char* command_line_tail(const char* command_line, SystemServices& sys) {
    const char* p = command_line;
    const auto byte = [&p] { return static_cast<unsigned char>(*p); };
    if (*p == '"') {
        // A trail byte is taken without a test, but never past the end.
        for (++p; *p != 0 && *p != '"';) p = next_character(p, sys);
        if (*p == '"') ++p;
    } else {
        while (byte() > 0x20) ++p;
    }
    while (byte() >= 0x01 && byte() <= 0x20) ++p;
    return p;
}

} // namespace talvex
