#pragma once
#include <stdint.h>

namespace talvex {

struct MessageSet {
    char prompt[100];
    char completion[100];
    uint16_t language_id;
};

MessageSet select_message_set(uint16_t user_language);

} // namespace talvex
