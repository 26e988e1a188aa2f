#pragma once
// The case- and separator-blind form of a name, as Windows compares names.
#include <string>

namespace talvex {

// Each file's own copy, so that the simulated machine, which folds a name at
// nearly every call, keeps its optimised one whatever the tests are built with.
static inline std::string fold_name(const std::string& name) {
    std::string folded(name.size(), '\0');
    size_t n = 0;
    for (char c : name) {
        if (c == '/') c = '\\';
        if (c == '\\' && n > 0 && folded[n - 1] == '\\') continue;
        folded[n++] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    folded.resize(n);
    return folded;
}

} // namespace talvex
