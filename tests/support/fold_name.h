#pragma once
// The case- and separator-blind form of a name, as Windows compares names.
#include <string>

namespace talvex {
// Internal to each file that uses it, so that the simulated machine keeps its
// optimised copy whatever the tests are built with.
namespace {

inline std::string fold_name(const std::string& name) {
    std::string folded(name.size(), '\0');
    char* out = folded.data(); // the simulated machine folds a name at nearly every call
    for (char c : name) {
        if (c == '/') c = '\\';
        if (c == '\\' && out != folded.data() && out[-1] == '\\') continue;
        *out++ = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    folded.resize(static_cast<size_t>(out - folded.data()));
    return folded;
}

} // namespace
} // namespace talvex
