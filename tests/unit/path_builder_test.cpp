#include <gtest/gtest.h>

#include <string>

#include "system/text.h"

namespace talvex {
namespace {

// Fifteen characters fit in sixteen bytes; the sixteenth marks the path as
// overflowed for good, and nothing is written past the buffer. (Paths that
// fit are in every golden file.)
TEST(PathBuilder, OverflowIsMarkedAndNeverWritesPastTheBuffer) {
    for (const size_t length : {15, 16, 40}) {
        SCOPED_TRACE(std::to_string(length) + " characters");
        char memory[24];
        std::fill(std::begin(memory), std::end(memory), '#');
        PathBuilder path(memory, 16);
        path.append(std::string(length, 'p').c_str());
        EXPECT_EQ(path.ok(), length <= 15);
        path.append("");
        EXPECT_EQ(path.ok(), length <= 15);
        EXPECT_EQ(std::string(path.c_str()), std::string(std::min<size_t>(length, 15), 'p'));
        EXPECT_EQ(std::string(memory + 16, 8), std::string(8, '#'));
    }
}

} // namespace
} // namespace talvex
