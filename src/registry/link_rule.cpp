#include "registry/link_rule.h"

#include "registry/card_key_walk.h"

namespace talvex {
namespace {

constexpr const char* kEverySystemKey = "SOFTWARE"; // below HKEY_LOCAL_MACHINE everywhere

} // namespace

LinkRule decide_link_rule(SystemServices& sys, LinkRule so_far) {
    if (so_far != LinkRule::Undecided) return so_far;
    if ((sys.get_version() & 0x80000000u) == 0) return LinkRule::LookAtEach; // the NT family
    // Only a refusal of the option, or "not found", tells of a system that
    // does not know it; any other failure may be a passing one.
    const long as_itself = open_and_close(sys, kEverySystemKey, kRegOptionOpenLink);
    const bool unknown = as_itself == kErrorInvalidParameter || as_itself == kErrorFileNotFound;
    return unknown && open_and_close(sys, kEverySystemKey, 0) == kErrorSuccess
               ? LinkRule::NoLinks
               : LinkRule::LookAtEach;
}

} // namespace talvex
