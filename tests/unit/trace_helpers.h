#pragma once
// Reading the simulated machine's call record in tests.
#include <fstream>
#include <sstream>
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

inline std::vector<std::string> golden_lines(const std::string& name) {
    std::ifstream in(std::string(TALVEX_GOLDEN_DIR) + "/" + name);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

} // namespace talvex
