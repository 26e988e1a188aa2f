#pragma once
// The installation fixtures of tests/e2e/fixtures (format in their README),
// read for the simulated machine: the same files that the Wine end-to-end
// tests seed a real prefix from. Also the format's one validator.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <istream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "system/simulated_machine.h"

namespace talvex::fixture {

struct Value {
    std::string key, name, data;
    uint32_t type;
};
struct SeededFile {
    std::string where, data;
    bool read_only;
};
struct Link {
    std::string path, target;
};
struct Fixture {
    std::vector<std::string> keys;
    std::vector<Link> links;
    std::set<std::string> modes; // where it runs: win95, nt; empty for both
    std::vector<Value> values;
    std::vector<SeededFile> files;
    std::set<std::string> gone_keys, gone_values, gone_files; // folded
    std::map<std::string, std::string> becomes;               // folded place -> bytes
    std::vector<std::string> errors;                          // what the format refuses
};

// The byte that two hex digits at `at` spell, or -1.
inline int hex_byte(const std::string& text, size_t at) {
    if (at + 2 > text.size() || !std::isxdigit(static_cast<unsigned char>(text[at])) ||
        !std::isxdigit(static_cast<unsigned char>(text[at + 1]))) {
        return -1;
    }
    return std::stoi(text.substr(at, 2), nullptr, 16);
}

// The bytes of a TEXT or BYTES field; false for any escape the format does
// not name.
inline bool unescape(const std::string& text, std::string& out) {
    const std::string from = "rnt0\\", to("\r\n\t\0\\", 5);
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t known = i + 1 < text.size() ? from.find(text[i + 1]) : std::string::npos;
        if (text[i] != '\\') {
            out += text[i];
        } else if (known != std::string::npos) {
            out += to[known];
            ++i;
        } else if (text.compare(i + 1, 1, "x") == 0 && hex_byte(text, i + 2) >= 0) {
            out += static_cast<char>(hex_byte(text, i + 2));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

// The bytes that pairs of hex digits spell; false for anything else.
inline bool unhex(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        if (hex_byte(text, i) < 0) return false;
        out += static_cast<char>(hex_byte(text, i));
    }
    return true;
}

// The text before the first bar, and the rest after it.
inline std::string head(std::string& rest) {
    const size_t bar = rest.find('|');
    const std::string first = rest.substr(0, bar);
    rest = bar == std::string::npos ? std::string() : rest.substr(bar + 1);
    return first;
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

inline Fixture load_lines(std::istream& in) {
    Fixture f;
    std::set<std::string> seeded_keys, seeded_values, seeded_files;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto error = [&](const char* what) { f.errors.push_back(line + ": " + what); };
        if (std::any_of(line.begin(), line.end(),
                        [](unsigned char c) { return c < ' ' || c == 0x7F; })) {
            error("raw control byte");
            continue;
        }
        const std::string verb = line.substr(0, line.find(' '));
        std::string rest = line.substr(std::min(line.size(), verb.size() + 1)), data;
        const bool value = verb == "sz" || verb == "bin";
        const bool file = verb == "file" || verb == "readonly" || verb == "becomes";
        const bool pair = file || verb == "link";
        if (std::count(rest.begin(), rest.end(), '|') < (value ? 2 : pair ? 1 : 0)) {
            error("missing field");
        } else if (verb == "gone") {
            const std::string kind = rest.substr(0, rest.find(' '));
            const std::string target =
                fold_name(rest.substr(std::min(rest.size(), kind.size() + 1)));
            auto& gone = kind == "key"     ? f.gone_keys
                         : kind == "value" ? f.gone_values
                                           : f.gone_files;
            const auto& seeded = kind == "key"     ? seeded_keys
                                 : kind == "value" ? seeded_values
                                                   : seeded_files;
            if (seeded.count(target) == 0) error("never seeded");
            gone.insert(target);
        } else if (verb == "key") {
            f.keys.push_back(rest);
            seeded_keys.insert(fold_name(rest));
        } else if (verb == "link") {
            const std::string path = head(rest);
            f.links.push_back({path, rest});
            seeded_keys.insert(fold_name(path));
        } else if (verb == "modes") {
            for (std::string mode; !rest.empty();) {
                mode = rest.substr(0, rest.find(' '));
                rest = rest.substr(std::min(rest.size(), mode.size() + 1));
                if (mode != "win95" && mode != "nt") error("unknown mode");
                f.modes.insert(mode);
            }
        } else if (value) {
            const std::string key = head(rest), value_name = head(rest);
            if (!(verb == "sz" ? unescape(rest, data) : unhex(rest, data))) error("bad bytes");
            if (verb == "sz") data += std::string(1, '\0');
            f.values.push_back({key, value_name, data, verb == "sz" ? kRegSz : kRegBinary});
            seeded_keys.insert(fold_name(key));
            seeded_values.insert(fold_name(key + "|" + value_name));
        } else if (file) {
            const std::string where = head(rest);
            if (place(where).empty()) error("unknown place");
            if (verb == "becomes" && seeded_files.count(fold_name(where)) == 0)
                error("never seeded");
            if (!unescape(rest, data)) error("bad bytes");
            if (verb == "becomes") f.becomes[fold_name(where)] = data;
            if (verb != "becomes") f.files.push_back({where, data, verb == "readonly"});
            seeded_files.insert(fold_name(where));
        } else {
            error("unknown line");
        }
    }
    return f;
}

inline Fixture load(const std::string& name) {
    std::ifstream in(std::string(TALVEX_FIXTURE_DIR) + "/" + name + ".txt", std::ios::binary);
    Fixture f = load_lines(in);
    if (!in.eof()) f.errors.push_back(name + ": no such fixture");
    return f;
}

// A key stays unless it, or a key above it, is expected to go.
inline bool expected_present(const Fixture& f, const std::string& key) {
    const std::string folded = fold_name(key);
    for (const std::string& gone : f.gone_keys) {
        if (folded == gone || folded.rfind(gone + "\\", 0) == 0) return false;
    }
    return true;
}

inline void seed(SimulatedMachine& machine, const Fixture& f) {
    machine.windows_directory = place("WINDIR");
    machine.system_directory = place("SYSDIR");
    for (const std::string& key : f.keys) machine.add_key(key);
    for (const Value& v : f.values) machine.set_value(v.key, v.name, v.type, v.data);
    for (const Link& link : f.links) machine.add_link(link.path, link.target);
    for (const SeededFile& file : f.files) {
        machine.add_file(place(file.where), file.data, file.read_only);
    }
}

struct Messages {
    uint16_t language_id;
    std::string primary; // "*" for the set of every identifier no other set selects
    unsigned sublanguages;
    std::string prompt, completion;
};

// The sets of the boxes by name (en, de, ...), from tests/e2e/messages.txt.
inline std::map<std::string, Messages> messages() {
    std::map<std::string, Messages> sets;
    std::ifstream in(std::string(TALVEX_FIXTURE_DIR) + "/../messages.txt", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string set = head(line), id = head(line), primary = head(line);
        const std::string sublanguages = head(line), prompt = head(line);
        Messages& m = sets[set];
        m = {static_cast<uint16_t>(std::stoi(id)), primary,
             sublanguages.empty() ? 0u : static_cast<unsigned>(std::stoi(sublanguages)), "", ""};
        if (!unescape(prompt, m.prompt) || !unescape(head(line), m.completion))
            sets.erase(set); // a bad set is missing
    }
    return sets;
}

} // namespace talvex::fixture
