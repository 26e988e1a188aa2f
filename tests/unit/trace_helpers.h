#pragma once
// Reading the simulated machine's call record and the golden files in tests,
// and naming test cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <source_location>
#include <string>
#include <vector>

#include "system/simulated_machine.h"

namespace talvex {
namespace {

// A case prints, and names its instance of a parameterised test, as its name.
template <class Case>
requires requires(const Case& c) {
    std::string(c.name);
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

inline std::string family_name(Family family) {
    const char* const names[] = {"Windows95", "Windows95Ignores", "Windows95NotFound", "Wine9x",
                                 "Nt"};
    return names[static_cast<int>(family)];
}

} // namespace

inline std::vector<std::string> lines_starting_with(const std::vector<std::string>& trace,
                                                    const std::vector<std::string>& prefixes) {
    std::vector<std::string> kept;
    for (const std::string& line : trace) {
        for (const std::string& prefix : prefixes) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                kept.push_back(line);
                break;
            }
        }
    }
    return kept;
}

// The lines without the " -> outcome" the simulated machine adds.
inline std::vector<std::string> without_outcome(std::vector<std::string> lines) {
    for (std::string& line : lines) line = line.substr(0, line.rfind(" -> "));
    return lines;
}

// What each `call` in the record was given: the text after its name.
inline std::vector<std::string> call_arguments(const std::vector<std::string>& trace,
                                               const std::string& call) {
    std::vector<std::string> arguments;
    for (const std::string& line : without_outcome(lines_starting_with(trace, {call + " "}))) {
        arguments.push_back(line.substr(call.size() + 1));
    }
    return arguments;
}

// A golden file's entries: its lines less the leading comment.
inline std::vector<std::string> golden(const std::string& name,
                                       std::vector<std::string>* comment = nullptr) {
    std::vector<std::string> entries;
    std::ifstream in(std::string(TALVEX_GOLDEN_DIR) + "/" + name);
    for (std::string line; std::getline(in, line);) {
        const bool commented = !line.empty() && line[0] == '#';
        if (commented && comment != nullptr) comment->push_back(line);
        if (!commented) entries.push_back(line);
    }
    return entries;
}

// Compares `actual` with a golden file and reports, at the calling line, the
// first entry that differs. With TALVEX_UPDATE_GOLDEN=1 it rewrites the file
// from `actual` instead, keeping the file's leading comment.
inline void expect_golden(const std::string& name, const std::vector<std::string>& actual,
                          std::source_location caller = std::source_location::current()) {
    std::vector<std::string> comment;
    const std::vector<std::string> want = golden(name, &comment);
    const char* update = std::getenv("TALVEX_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream out(std::string(TALVEX_GOLDEN_DIR) + "/" + name, std::ios::binary);
        for (const auto& lines : {comment, actual}) {
            for (const std::string& line : lines) out << line << "\n";
        }
        return;
    }
    const auto [golden_at, actual_at] =
        std::mismatch(want.begin(), want.end(), actual.begin(), actual.end());
    if (golden_at != want.end() || actual_at != actual.end()) {
        ADD_FAILURE_AT(caller.file_name(), caller.line())
            << name << ": entry " << golden_at - want.begin() + 1
            << " differs\n  golden: " << (golden_at == want.end() ? "(end of file)" : *golden_at)
            << "\n  actual: " << (actual_at == actual.end() ? "(nothing)" : *actual_at);
    }
}

} // namespace talvex
