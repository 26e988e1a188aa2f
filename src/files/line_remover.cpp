#include "files/line_remover.h"

#include "files/text_mode.h"
#include "system/system_services.h"

namespace talvex {
namespace {

// One set of buffers serves every call; no call overlaps another.
unsigned char g_raw[kLargestEditedFile + 1];
unsigned char g_text[kLargestEditedFile + 1];
unsigned char g_encoded[2 * kLargestEditedFile];

// Reads the whole file; -1 when a read fails or the file is too large to edit.
long read_whole_file(SystemServices& sys, FileHandle file) {
    uint32_t total = 0;
    while (total <= kLargestEditedFile) {
        const uint32_t requested = sizeof g_raw - total;
        const int32_t got = sys.file_read(file, g_raw + total, requested);
        if (got < 0) return -1;
        total += static_cast<uint32_t>(got);
        if (static_cast<uint32_t>(got) < requested) return total; // a short read is the end
    }
    return -1;
}

long find(const unsigned char* text, const char* token) {
    for (long at = 0; text[at] != 0; ++at) {
        long i = 0;
        while (token[i] != 0 && text[at + i] == static_cast<unsigned char>(token[i])) ++i;
        if (token[i] == 0) return at;
    }
    return -1;
}

// Writes the new bytes; on a failed or short write puts the old bytes back,
// which fit where they stood, so the file never ends up half written.
void rewrite(SystemServices& sys, FileHandle file, uint32_t new_length, uint32_t old_length) {
    if (sys.file_write(file, g_encoded, new_length) == new_length && sys.file_set_end(file)) {
        return;
    }
    if (sys.file_rewind(file)) {
        sys.file_write(file, g_raw, old_length);
        sys.file_set_end(file);
    }
}

} // namespace

void remove_line_containing(SystemServices& sys, const char* path, const char* token) {
    FileHandle file = sys.file_open_read(path);
    if (file == 0) return;
    const long raw_length = read_whole_file(sys, file);
    sys.file_close(file);
    if (raw_length < 0) return;

    size_t position = 0;
    const size_t length = text_mode_read(g_raw, raw_length, position, g_text, raw_length);
    g_text[length] = 0;

    // The search sees the text up to its first NUL; the bytes after it are kept.
    const long match = find(g_text, token);
    if (match < 0) return;
    size_t start = match;
    while (start > 0 && g_text[start] != '\n') --start;
    size_t end = match + 1;
    while (g_text[end] != '\n' && g_text[end] != 0) ++end;
    for (size_t from = end; from <= length; ++from) g_text[start + from - end] = g_text[from];
    const size_t new_length = length - (end - start);

    const size_t encoded = text_mode_encode(g_text, new_length, g_encoded);
    file = sys.file_open_rewrite(path);
    if (file == 0) return;
    rewrite(sys, file, encoded, raw_length);
    sys.file_close(file);
}

} // namespace talvex
