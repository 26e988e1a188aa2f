#pragma once
// The case- and separator-blind form of a name, as Windows compares names.
#include <string>

namespace talvex {

inline std::string fold_name(const std::string& name) {
    std::string folded;
    folded.reserve(name.size());
    for (char c : name) {
        if (c == '/') c = '\\';
        if (c == '\\' && !folded.empty() && folded.back() == '\\') continue;
        folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return folded;
}

} // namespace talvex
