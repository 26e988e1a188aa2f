#include "files/text_mode.h"

namespace talvex {

size_t text_mode_read(const unsigned char* raw, size_t raw_length, size_t& position,
                      unsigned char* out, size_t count) {
    const size_t window_end = raw_length - position < count ? raw_length : position + count;
    size_t delivered = 0;
    size_t at = position;
    while (at < window_end) {
        const unsigned char byte = raw[at];
        if (byte == kCtrlZ) {
            position = raw_length; // nothing after it is ever delivered
            return delivered;
        }
        if (byte == '\r') {
            const bool last_requested = at + 1 == window_end;
            const bool lf_follows = at + 1 < raw_length && raw[at + 1] == '\n';
            if (lf_follows && last_requested) break; // the LF is read by the next request
            if (lf_follows) {
                out[delivered++] = '\n';
                at += 2;
                continue;
            }
        }
        out[delivered++] = byte;
        ++at;
    }
    position = at;
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
