#pragma once
// The installation fixtures of tests/e2e/fixtures (format in their README),
// read for the simulated machine: the same files that the Wine end-to-end
// tests seed a real prefix from. Also the format's one validator.
#include <fstream>
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
struct Fixture {
    std::vector<std::string> keys;
    std::vector<Value> values;
    std::vector<SeededFile> files;
    std::set<std::string> gone_keys, gone_values, gone_files; // folded
    std::map<std::string, std::string> becomes;               // folded place -> bytes
    std::vector<std::string> errors;                          // what the format refuses
};

inline std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : 0;
        if (text[i] != '\\' || next == 0) {
            out += text[i];
        } else if (next == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            const std::string from = "rnt0", to("\r\n\t\0", 4);
            out += from.find(next) == std::string::npos ? next : to[from.find(next)];
            ++i;
        }
    }
    return out;
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

inline Fixture load_file(const std::string& path) {
    Fixture f;
    std::set<std::string> seeded_keys, seeded_values, seeded_files;
    std::ifstream in(path, std::ios::binary);
    if (!in) f.errors.push_back(path + ": no such fixture");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string verb = line.substr(0, line.find(' '));
        std::string rest = line.substr(verb.size() + 1);
        if (verb == "gone") {
            const std::string kind = rest.substr(0, rest.find(' '));
            const std::string target = fold_name(rest.substr(kind.size() + 1));
            auto& gone = kind == "key"     ? f.gone_keys
                         : kind == "value" ? f.gone_values
                                           : f.gone_files;
            const auto& seeded = kind == "key"     ? seeded_keys
                                 : kind == "value" ? seeded_values
                                                   : seeded_files;
            if (seeded.count(target) == 0) f.errors.push_back(line + ": never seeded");
            gone.insert(target);
            continue;
        }
        if (verb == "key") {
            f.keys.push_back(rest);
            seeded_keys.insert(fold_name(rest));
        } else if (verb == "sz" || verb == "bin") {
            const std::string key = head(rest), value_name = head(rest);
            std::string data = unescape(rest) + std::string(1, '\0');
            if (verb == "bin") {
                data.clear();
                for (size_t i = 0; i + 1 < rest.size(); i += 2) {
                    data += static_cast<char>(std::stoi(rest.substr(i, 2), nullptr, 16));
                }
            }
            f.values.push_back({key, value_name, data, verb == "sz" ? kRegSz : kRegBinary});
            seeded_keys.insert(fold_name(key));
            seeded_values.insert(fold_name(key + "|" + value_name));
        } else if (verb == "file" || verb == "readonly" || verb == "becomes") {
            const std::string where = head(rest);
            if (place(where).empty()) f.errors.push_back(line + ": unknown place");
            if (verb == "becomes" && seeded_files.count(fold_name(where)) == 0) {
                f.errors.push_back(line + ": never seeded");
            }
            if (verb == "becomes") f.becomes[fold_name(where)] = unescape(rest);
            if (verb != "becomes") f.files.push_back({where, unescape(rest), verb == "readonly"});
            seeded_files.insert(fold_name(where));
        } else {
            f.errors.push_back(line + ": unknown line");
        }
    }
    return f;
}

inline Fixture load(const std::string& name) {
    return load_file(std::string(TALVEX_FIXTURE_DIR) + "/" + name + ".txt");
}

inline void seed(SimulatedMachine& machine, const Fixture& f) {
    machine.windows_directory = place("WINDIR");
    machine.system_directory = place("SYSDIR");
    for (const std::string& key : f.keys) machine.add_key(key);
    for (const Value& v : f.values) machine.set_value(v.key, v.name, v.type, v.data);
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
        sets[set] = {static_cast<uint16_t>(std::stoi(id)), primary,
                     sublanguages.empty() ? 0u : static_cast<unsigned>(std::stoi(sublanguages)),
                     unescape(prompt), unescape(head(line))};
    }
    return sets;
}

} // namespace talvex::fixture
