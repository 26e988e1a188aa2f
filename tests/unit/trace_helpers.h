#pragma once
// Reading the simulated machine's call record in tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace talvex {

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

// What each `call` in the record was given: the text after its name, without
// the " -> outcome" the simulated machine adds.
inline std::vector<std::string> call_arguments(const std::vector<std::string>& trace,
                                               const std::string& call) {
    std::vector<std::string> arguments;
    for (const std::string& line : lines_starting_with(trace, {call + " "})) {
        const size_t outcome = line.rfind(" -> ");
        arguments.push_back(line.substr(call.size() + 1, outcome - call.size() - 1));
    }
    return arguments;
}

// Compares `actual` with a golden file and reports the first line that
// differs. With TALVEX_UPDATE_GOLDEN=1 it rewrites the file from `actual`
// instead, keeping the file's leading comment.
inline void expect_golden(const std::string& name, const std::vector<std::string>& actual) {
    const std::string path = std::string(TALVEX_GOLDEN_DIR) + "/" + name;
    std::vector<std::string> comment, golden;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        (!line.empty() && line[0] == '#' ? comment : golden).push_back(line);
    }
    const char* update = std::getenv("TALVEX_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream out(path, std::ios::binary);
        for (const auto& lines : {comment, actual}) {
            for (const std::string& line : lines) out << line << "\n";
        }
        return;
    }
    for (size_t i = 0; i < std::max(golden.size(), actual.size()); ++i) {
        const std::string want = i < golden.size() ? golden[i] : "(end of file)";
        const std::string have = i < actual.size() ? actual[i] : "(nothing)";
        if (want != have) {
            ADD_FAILURE() << name << ": entry " << i + 1 << " differs\n  golden: " << want
                          << "\n  actual: " << have;
            return;
        }
    }
}

} // namespace talvex
