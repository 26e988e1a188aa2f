#pragma once
// Small string helpers: the exe has no C runtime.
#include <stddef.h>

namespace talvex {

constexpr unsigned text_length(const char* text) {
    unsigned length = 0;
    while (text[length] != 0) ++length;
    return length;
}

inline bool text_equal(const char* a, const char* b) {
    while (*a != 0 && *a == *b) ++a, ++b;
    return *a == *b;
}

// A path under composition in a fixed buffer. An append that does not fit
// marks the path as overflowed; an overflowed path must never be used. Each
// buffer is proven large enough for its longest path by a static_assert, so
// no run can overflow one; the checks of ok() stay so that even a table
// grown past its buffer never hands a cut path to a deletion.
class PathBuilder {
  public:
    PathBuilder(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
        buffer_[0] = 0;
    }
    PathBuilder& append(const char* s) {
        while (*s != 0) {
            if (length_ + 1 >= capacity_) {
                overflow_ = true;
                break;
            }
            buffer_[length_++] = *s++;
        }
        buffer_[length_] = 0;
        return *this;
    }
    bool ok() const { return !overflow_; }
    const char* c_str() const { return buffer_; }

  private:
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
    bool overflow_ = false;
};

template <class T, unsigned N> constexpr unsigned count_of(const T (&)[N]) {
    return N;
}

} // namespace talvex
