#include "registry/link_rule.h"

#include "system/system_services.h"

namespace talvex {
namespace {

constexpr const char* kEverySystemKey = "SOFTWARE"; // below HKEY_LOCAL_MACHINE everywhere

// Whether the key opens with `options`; it is closed again at once.
bool opens(SystemServices& sys, uint32_t options) {
    RegKey key = 0;
    if (sys.reg_open_key_ex(0, kEverySystemKey, options, kKeyRead, &key) != kErrorSuccess) {
        return false;
    }
    sys.reg_close_key(key);
    return true;
}

} // namespace

LinkRule decide_link_rule(SystemServices& sys, LinkRule so_far) {
    if (so_far != LinkRule::Undecided) return so_far;
    const bool nt_family = (sys.get_version() & 0x80000000u) == 0;
    if (nt_family || opens(sys, kRegOptionOpenLink) || !opens(sys, 0)) return LinkRule::LookAtEach;
    return LinkRule::NoLinks;
}

} // namespace talvex
