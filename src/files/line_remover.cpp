#include "files/line_remover.h"

#include "files/text_mode.h"
#include "system/system_services.h"

namespace talvex {
namespace {

// One set of buffers serves every call; no call overlaps another. The raw
// buffer holds the longest text with CR-LF line ends and one byte more, so a
// text that fits always ends within it: at a Ctrl-Z, or where a read that did
// not fill the buffer found the end of the file.
unsigned char g_raw[2 * kLongestEditedText + 1];
unsigned char g_text[sizeof g_raw];
unsigned char g_encoded[2 * kLongestEditedText];

long find(const unsigned char* text, const char* token) {
    for (long at = 0; text[at] != 0; ++at) {
        long i = 0;
        while (token[i] != 0 && text[at + i] == static_cast<unsigned char>(token[i])) ++i;
        if (token[i] == 0) return at;
    }
    return -1;
}

// Reads until the end of the file or a full buffer: a read may deliver fewer
// bytes than asked before the end. -1 when any read fails.
int32_t read_whole(SystemServices& sys, FileHandle file) {
    uint32_t total = 0;
    while (total < sizeof g_raw) {
        const int32_t got = sys.file_read(file, g_raw + total, sizeof g_raw - total);
        if (got < 0) return -1;
        if (got == 0) break;
        total += static_cast<uint32_t>(got);
    }
    return static_cast<int32_t>(total);
}

// Writes the new bytes over the old and ends the file there; a file that did
// not shrink has nothing to cut. Should a step fail, the old bytes go back
// where they stood: every byte a new one can reach was read, and the bytes
// beyond were never touched. The file is cut back only where the new bytes
// reached past its old end, and that is only so for a file read to its end.
void rewrite(SystemServices& sys, FileHandle file, uint32_t new_length, uint32_t old_length) {
    if (!sys.file_rewind(file)) return; // nothing written yet
    if (sys.file_write(file, g_encoded, new_length) == new_length &&
        (new_length >= old_length || sys.file_set_end(file))) {
        sys.file_flush(file); // the new text on the disk before the next step
        return;
    }
    // Should the undo fail too (a second failing call), nothing more is done:
    // a cut after a short undo would take old bytes with it.
    if (!sys.file_rewind(file) || sys.file_write(file, g_raw, old_length) != old_length) return;
    if (new_length > old_length) sys.file_set_end(file);
}

// Reads the file and, where the token occurs, rewrites it without the line,
// all through the one handle.
void edit(SystemServices& sys, FileHandle file, const char* token) {
    const int32_t raw_length = read_whole(sys, file);
    if (raw_length < 0) return;
    const bool read_to_end = static_cast<uint32_t>(raw_length) < sizeof g_raw;

    bool at_ctrl_z = false;
    const size_t length = text_mode_decode(g_raw, raw_length, g_text, at_ctrl_z);
    if (!(read_to_end || at_ctrl_z) || length > kLongestEditedText) return; // it does not fit
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

    rewrite(sys, file, text_mode_encode(g_text, new_length, g_encoded), raw_length);
}

} // namespace

// One handle from the read to the rewrite, which lets others only read: no
// other program or copy writes in between. A file that is missing, read-only
// or open elsewhere in a way that conflicts stays as it is.
void remove_line_containing(SystemServices& sys, const char* path, const char* token) {
    const FileHandle file = sys.file_open_edit(path);
    if (file == 0) return;
    edit(sys, file, token);
    sys.file_close(file);
}

} // namespace talvex
