#include "run/command_line_tail.h"

#include "system/system_services.h"

namespace talvex {

const char* command_line_tail(const char* command_line, SystemServices& sys) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(command_line);
    if (*p == '"') {
        ++p;
        while (*p != 0 && *p != '"') {
            // A trail byte is taken without a test, but never past the end.
            if (sys.is_dbcs_lead_byte(*p) && p[1] != 0) ++p;
            ++p;
        }
        if (*p == '"') ++p;
    } else {
        while (*p > 0x20) ++p;
    }
    while (*p >= 0x01 && *p <= 0x20) ++p;
    return reinterpret_cast<const char*>(p);
}

} // namespace talvex
