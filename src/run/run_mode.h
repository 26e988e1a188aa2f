#pragma once

namespace talvex {

enum class RunMode { Interactive, Silent };

inline RunMode run_mode_of(const char* tail) {
    return *tail == 0 ? RunMode::Interactive : RunMode::Silent;
}

} // namespace talvex
