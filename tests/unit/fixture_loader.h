#pragma once
// The installation fixtures on the simulated machine: the same files that the
// Wine end-to-end tests seed a real prefix from.
#include <string>
#include <vector>

#include "fixture/fixture.h"
#include "system/simulated_machine.h"

namespace talvex::fixture {

inline Fixture load(const std::string& name) {
    return load_file(std::string(TALVEX_FIXTURE_DIR) + "/" + name + ".txt");
}

inline std::map<std::string, Messages> messages() {
    return messages(std::string(TALVEX_FIXTURE_DIR) + "/../messages.txt");
}

// Where a fixture's place (C, WINDIR or SYSDIR, then a name) lies on the
// simulated machine: as in a Wine prefix. Empty for an unknown place.
inline std::string place(const std::string& where) {
    const std::string root = fold_name(where.substr(0, where.find('\\')));
    const std::string rest = where.substr(root.size());
    return root == "c"        ? "C:" + rest
           : root == "windir" ? "C:\\windows" + rest
           : root == "sysdir" ? "C:\\windows\\system32" + rest
                              : std::string();
}

// A key as the simulated machine names it: a `wkey`'s characters U+0080 to
// U+00FF as single bytes (those of code page 1252 from U+00A0 on), the others
// in UTF-8.
inline std::string machine_name(const Fixture& f, std::string key) {
    if (std::find(f.wide_keys.begin(), f.wide_keys.end(), key) == f.wide_keys.end()) return key;
    for (size_t at = 0; (at = key.find_first_of("\xC2\xC3", at)) != std::string::npos; ++at)
        key.replace(at, 2, 1, static_cast<char>((key[at] & 3) << 6 | (key[at + 1] & 0x3F)));
    return key;
}

inline void seed(SimulatedMachine& machine, const Fixture& f) {
    machine.windows_directory = place("WINDIR");
    machine.system_directory = place("SYSDIR");
    for (int b = 0; b < 256; ++b) { // the lead bytes of code page 932
        machine.lead_bytes[b] =
            f.codepage == 932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
    }
    for (const std::string& key : f.keys) machine.add_key(key);
    for (const std::string& key : f.wide_keys) machine.add_key(machine_name(f, key));
    for (const Value& v : f.values) {
        machine.set_value(v.key, v.name, v.binary ? win::kRegBinary : win::kRegSz, v.data);
    }
    for (const Link& link : f.links) {
        machine.add_link(link.path, link.target, link.string_typed ? win::kRegSz : win::kRegLink);
    }
    for (const SeededFile& file : f.files) {
        machine.add_file(place(file.where), file.data, file.read_only);
    }
}

// Where the machine differs from the end state the fixture expects, a line
// each. After a fault (`partial`) what should go may stay and a file may
// still hold its old bytes; once the machine stops answering in the middle of
// a rewrite (`torn`), a file may hold anything, as after a power failure.
inline std::vector<std::string> differences(const SimulatedMachine& machine, const Fixture& f,
                                            bool partial = false, bool torn = false) {
    std::vector<std::string> wrong;
    const System system{has_links(machine.family), opens_as_itself(machine.family)};
    const auto expect = [&](bool present, bool wanted, const std::string& what) {
        if (present != wanted && !(partial && present)) {
            wrong.push_back(what + (present ? " is still there" : " is gone"));
        }
    };
    for (const std::string& key : f.all_keys()) {
        expect(machine.has_key(machine_name(f, key)), expected_present(f, key, system),
               "key " + key);
    }
    for (const Value& v : f.values) {
        expect(machine.has_value(v.key, v.name), expected_value(f, v, system),
               "value " + v.key + "|" + v.name);
    }
    size_t present = 0;
    for (const SeededFile& file : f.files) {
        const std::string path = place(file.where), bytes = machine.file_bytes(path);
        expect(machine.has_file(path), expected_file(f, file, system), path);
        if (!machine.has_file(path)) continue;
        ++present;
        if (bytes != expected_bytes(f, file) && !torn && !(partial && bytes == file.data)) {
            wrong.push_back(path + " holds other bytes, " + std::to_string(bytes.size()));
        }
    }
    if (machine.files().size() != present) wrong.push_back("a file was created");
    return wrong;
}

} // namespace talvex::fixture
