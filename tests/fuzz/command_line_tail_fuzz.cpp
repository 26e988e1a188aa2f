// Fuzzes command_line_tail with random lead-byte sets against a reference
// written from the four cutting rules.
#include <stddef.h>
#include <stdint.h>

#include <bitset>
#include <cstdlib>
#include <string>

#include "run/command_line_tail.h"
#include "system/simulated_machine.h"

namespace {

size_t reference(const std::string& line, const std::bitset<256>& lead) {
    const auto at = [&](size_t i) -> unsigned { return static_cast<unsigned char>(line[i]); };
    size_t i = 0;
    const size_t end = line.size(); // line[end] is the terminator
    if (end > 0 && line[0] == '"') {
        i = 1;
        while (i < end && line[i] != '"') {
            if (lead[at(i)]) {
                i = i + 1 < end ? i + 2 : i + 1;
            } else {
                ++i;
            }
        }
        if (i < end) ++i; // the closing quote
    } else {
        while (i < end && at(i) > 0x20) ++i;
    }
    while (i < end && at(i) >= 0x01 && at(i) <= 0x20) ++i;
    return i;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 32) return 0;
    talvex::SimulatedMachine machine;
    for (int b = 0; b < 256; ++b) machine.lead_bytes[b] = (data[b / 8] >> (b % 8)) & 1;
    std::string line(reinterpret_cast<const char*>(data + 32), size - 32);
    line = line.substr(0, line.find('\0'));
    const char* tail = talvex::command_line_tail(line.c_str(), machine);
    const size_t offset = static_cast<size_t>(tail - line.c_str());
    if (offset != reference(line, machine.lead_bytes)) std::abort();
    return 0;
}
