// Fuzzes remove_line_containing on the simulated machine against a plain
// reference written from the line-removal and text-mode rules.
#include <stddef.h>
#include <stdint.h>

#include <cstdlib>
#include <string>

#include "files/line_remover.h"
#include "system/simulated_machine.h"

namespace {

// Bytes 0xF0 to 0xF3 stand for CR, LF, Ctrl-Z and NUL, so they come often.
char byte_of(uint8_t b) {
    static const char kSpecial[] = {'\r', '\n', 0x1A, '\0'};
    return b >= 0xF0 && b <= 0xF3 ? kSpecial[b - 0xF0] : static_cast<char>(b);
}

void require(bool condition) {
    if (!condition) std::abort();
}

std::string decode(const std::string& raw) {
    std::string text;
    for (size_t i = 0; i < raw.size() && raw[i] != 0x1A; ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text += raw[i];
    }
    return text;
}

std::string encode(const std::string& text) {
    std::string raw;
    for (char c : text) raw += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return raw;
}

// What the file must hold after the call.
std::string reference(const std::string& raw, const std::string& token) {
    std::string data = decode(raw);
    if (data.size() > talvex::kLongestEditedText) return raw;
    const std::string text = data.substr(0, data.find('\0'));
    const size_t match = text.find(token);
    if (match == std::string::npos) return raw;
    const size_t lf = text.rfind('\n', match);
    const size_t start = lf == std::string::npos ? 0 : lf;
    size_t end = match + 1;
    while (end < data.size() && data[end] != '\n' && data[end] != '\0') ++end;
    data.erase(start, end - start);
    return encode(data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t token_length = 1 + data[0] % 8;
    const uint8_t padding = data[1];
    if (size < 2 + token_length) return 0;
    std::string token;
    for (size_t i = 0; i < token_length; ++i) {
        const char c = byte_of(data[2 + i]);
        token += (c == '\n' || c == '\0') ? 'x' : c;
    }
    std::string raw;
    // Now and then a long head, so files pass the first buffer and the limit,
    // or a long tail behind a Ctrl-Z.
    if (padding & 0x80) raw.append((padding & 0x40) ? 70000 : 5000 + padding, 'a');
    if (padding & 0x20) raw += "\r\n";
    for (size_t i = 2 + token_length; i < size; ++i) raw += byte_of(data[i]);
    if (padding & 0x10) raw += "\x1A" + std::string(70000 + padding, '\r');

    talvex::SimulatedMachine machine;
    machine.add_file("c:\\config.sys", raw);
    talvex::remove_line_containing(machine, "c:\\config.sys", token.c_str());
    const std::string after = machine.file_bytes("c:\\config.sys");

    require(machine.has_file("c:\\config.sys"));
    require(machine.open_handles() == 0);
    require(after == reference(raw, token));
    return 0;
}
