#include "files/text_mode.h"

namespace talvex {

size_t text_mode_decode(const unsigned char* raw, size_t length, unsigned char* out,
                        bool& at_ctrl_z) {
    size_t delivered = 0;
    at_ctrl_z = false;
    for (size_t at = 0; at < length; ++at) {
        if (raw[at] == kCtrlZ) {
            at_ctrl_z = true;
            break;
        }
        if (raw[at] == '\r' && at + 1 < length && raw[at + 1] == '\n') continue;
        out[delivered++] = raw[at];
    }
    return delivered;
}

size_t text_mode_encode(const unsigned char* text, size_t length, unsigned char* out) {
    size_t written = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\n') out[written++] = '\r';
        out[written++] = text[i];
    }
    return written;
}

} // namespace talvex
