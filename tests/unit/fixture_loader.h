#pragma once
// The installation fixtures of tests/e2e/fixtures (format in their README),
// read for the simulated machine: the same files that the Wine end-to-end
// tests seed a real prefix from, read as tests/e2e/fixture.py reads them.
#include <algorithm>
#include <cctype>
#include <cstdlib>
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
struct Fixture {
    std::vector<std::string> keys; // those of `wkey` in UTF-8 for their \u escapes
    struct Link {
        std::string path, target;
        uint32_t type; // of its SymbolicLinkValue
    };
    std::vector<Link> links;
    std::set<std::string> modes; // where it runs: win95, nt; empty for both
    unsigned codepage = 1252;
    unsigned copies = 1; // started together under Wine, one after another here
    std::vector<Value> values;
    std::vector<SeededFile> files;
    std::set<std::string> gone_keys, gone_values, gone_files; // folded
    std::set<std::string> gone_without_links;   // folded keys, where keys are not looked at
    std::map<std::string, std::string> becomes; // folded place -> bytes
    std::vector<std::string> errors;            // what the format refuses
};

// The parts of `text` between the `bar`s, at most `most` of them.
inline std::vector<std::string> split(const std::string& text, char bar, size_t most = 99) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (size_t next; parts.size() + 1 < most && (next = text.find(bar, at)) != std::string::npos;
         at = next + 1) {
        parts.push_back(text.substr(at, next - at));
    }
    parts.push_back(text.substr(at));
    return parts;
}

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

// A `wkey` path's bytes: \u and four hex digits make the character, in
// UTF-8; false for a \u without them.
inline bool wide_path(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\u") != 0) {
            out += text[i];
            continue;
        }
        if (hex_byte(text, i + 2) < 0 || hex_byte(text, i + 4) < 0) return false;
        const unsigned c = hex_byte(text, i + 2) << 8 | hex_byte(text, i + 4);
        const auto byte = [](unsigned b) { return static_cast<char>(b); };
        if (c < 0x80)
            out += byte(c);
        else if (c < 0x800)
            out += {byte(0xC0 | c >> 6), byte(0x80 | (c & 0x3F))};
        else
            out += {byte(0xE0 | c >> 12), byte(0x80 | (c >> 6 & 0x3F)), byte(0x80 | (c & 0x3F))};
        i += 5;
    }
    return true;
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
    std::set<std::string> seeded; // "key ", "value " or "file ", then the folded name
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto error = [&](const char* what) { f.errors.push_back(line + ": " + what); };
        if (std::any_of(line.begin(), line.end(),
                        [](unsigned char c) { return c < ' ' || c == 0x7F; })) {
            error("raw control byte");
            continue;
        }
        std::vector<std::string> words = split(line, ' ', 2);
        // Expected only where there are no links and each link is a plain key.
        const bool without_links = words[0] == "nolinks";
        if (without_links) words = split(words.size() > 1 ? words[1] : "", ' ', 2);
        const std::string verb = words[0], rest = words.size() > 1 ? words[1] : "";
        if (without_links && (verb != "gone" || rest.rfind("key ", 0) != 0)) {
            error("nolinks takes a gone key");
            continue;
        }
        const bool value = verb == "sz" || verb == "bin";
        const bool file = verb == "file" || verb == "readonly" || verb == "becomes";
        const bool link = verb == "link" || verb == "szlink";
        const size_t fields = value ? 3 : file || link ? 2 : 1;
        const std::vector<std::string> part = split(rest, '|', fields);
        std::string data;
        if (verb == "gone") {
            const std::vector<std::string> what = split(rest, ' ', 2);
            const std::string kind = what[0] == "key" || what[0] == "value" ? what[0] : "file";
            const std::string name = fold_name(what.size() > 1 ? what[1] : "");
            if (seeded.count(kind + " " + name) == 0) error("never seeded");
            (without_links     ? f.gone_without_links
             : kind == "key"   ? f.gone_keys
             : kind == "value" ? f.gone_values
                               : f.gone_files)
                .insert(name);
        } else if (part.size() < fields) {
            error("missing field");
        } else if (verb == "key" || link || verb == "wkey") {
            if (verb == "key") f.keys.push_back(rest);
            if (link)
                f.links.push_back({part[0], part[1], verb == "link" ? win::kRegLink : win::kRegSz});
            if (verb == "wkey" && !wide_path(rest, data)) error("bad \\u escape");
            if (verb == "wkey") f.keys.push_back(data);
            seeded.insert("key " + fold_name(verb == "wkey" ? data : part[0]));
        } else if (verb == "codepage") {
            if (rest != "1252" && rest != "932") error("unknown code page");
            f.codepage = static_cast<unsigned>(std::stoul("0" + rest));
        } else if (verb == "modes") {
            for (const std::string& mode : split(rest, ' ')) {
                if (mode != "win95" && mode != "nt") error("unknown mode");
                f.modes.insert(mode);
            }
        } else if (verb == "copies") {
            if (rest.empty() || rest.size() > 2 || rest[0] == '0' ||
                !std::all_of(rest.begin(), rest.end(), ::isdigit)) {
                error("bad count");
            }
            f.copies = static_cast<unsigned>(std::atoi(rest.c_str()));
        } else if (value) {
            if (!(verb == "sz" ? unescape(part[2], data) : unhex(part[2], data)))
                error("bad bytes");
            if (verb == "sz") data += '\0';
            f.values.push_back(
                {part[0], part[1], data, verb == "sz" ? win::kRegSz : win::kRegBinary});
            seeded.insert("key " + fold_name(part[0]));
            seeded.insert("value " + fold_name(part[0] + "|" + part[1]));
        } else if (file) {
            const std::string name = fold_name(part[0]);
            if (place(part[0]).empty()) error("unknown place");
            if (verb == "becomes" && seeded.count("file " + name) == 0) error("never seeded");
            if (!unescape(part[1], data)) error("bad bytes");
            if (verb == "becomes") f.becomes[name] = data;
            if (verb != "becomes") f.files.push_back({part[0], data, verb == "readonly"});
            seeded.insert("file " + name);
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

// A key stays unless it, or a key above it, is expected to go; where keys
// are not looked at for links, also those that go there.
inline bool expected_present(const Fixture& f, const std::string& key, bool looked_at) {
    const std::string folded = fold_name(key);
    for (const auto* gone_keys : {&f.gone_keys, looked_at ? nullptr : &f.gone_without_links}) {
        for (const std::string& gone : gone_keys ? *gone_keys : std::set<std::string>()) {
            if (folded == gone || folded.rfind(gone + "\\", 0) == 0) return false;
        }
    }
    return true;
}

inline void seed(SimulatedMachine& machine, const Fixture& f) {
    machine.windows_directory = place("WINDIR");
    machine.system_directory = place("SYSDIR");
    for (int b = 0; b < 256; ++b) { // the lead bytes of code page 932
        machine.lead_bytes[b] =
            f.codepage == 932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
    }
    for (const std::string& key : f.keys) machine.add_key(key);
    for (const Value& v : f.values) machine.set_value(v.key, v.name, v.type, v.data);
    for (const Fixture::Link& link : f.links) machine.add_link(link.path, link.target, link.type);
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
    const bool looked_at = opens_as_itself(machine.family);
    const auto expect = [&](bool present, bool wanted, const std::string& what) {
        if (present != wanted && !(partial && present)) {
            wrong.push_back(what + (present ? " is still there" : " is gone"));
        }
    };
    std::set<std::string> keys;
    for (const std::string& key : f.keys) keys.insert(key);
    for (const Value& v : f.values) keys.insert(v.key);
    for (const Fixture::Link& link : f.links) keys.insert(link.path);
    for (const std::string& key : keys) {
        expect(machine.has_key(key), expected_present(f, key, looked_at), "key " + key);
    }
    for (const Value& v : f.values) {
        expect(machine.has_value(v.key, v.name),
               expected_present(f, v.key, looked_at) &&
                   f.gone_values.count(fold_name(v.key + "|" + v.name)) == 0,
               "value " + v.key + "|" + v.name);
    }
    size_t present = 0;
    for (const SeededFile& file : f.files) {
        const std::string path = place(file.where), bytes = machine.file_bytes(path);
        expect(machine.has_file(path), f.gone_files.count(fold_name(file.where)) == 0, path);
        if (!machine.has_file(path)) continue;
        ++present;
        auto becomes = f.becomes.find(fold_name(file.where));
        const bool changes = becomes != f.becomes.end();
        if (bytes != (changes ? becomes->second : file.data) && !torn &&
            !(partial && bytes == file.data)) {
            wrong.push_back(path + " holds other bytes, " + std::to_string(bytes.size()));
        }
    }
    if (machine.files().size() != present) wrong.push_back("a file was created");
    return wrong;
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
        const std::vector<std::string> field = split(line, '|');
        Messages m{static_cast<uint16_t>(std::stoi(field.at(1))), field.at(2),
                   static_cast<unsigned>(std::stoul("0" + field.at(3))), "", ""};
        // A set whose texts do not read is missing.
        if (unescape(field.at(4), m.prompt) && unescape(field.at(5), m.completion)) {
            sets[field[0]] = m;
        }
    }
    return sets;
}

} // namespace talvex::fixture
