#pragma once
// Walking an ANSI string by characters. In a double-byte code page (932, 936,
// 949, 950) a lead byte and the byte after it are one character, and that
// trail byte may be 0x5C, the byte of a backslash: only a byte that begins a
// character can separate the parts of a registry path.

namespace talvex {

// What walking by characters needs of the system: whether a byte leads a
// double-byte character in its code page.
template <class System>
concept KnowsLeadBytes = requires(System& system, unsigned char byte) {
    static_cast<bool>(system.is_dbcs_lead_byte(byte));
};

// The character after the one at `p`; a lead byte just before the terminator
// stands alone.
template <KnowsLeadBytes System> const char* next_character(const char* p, System& system) {
    return system.is_dbcs_lead_byte(static_cast<unsigned char>(*p)) && p[1] != 0 ? p + 2 : p + 1;
}

template <KnowsLeadBytes System> bool holds_backslash(const char* text, System& system) {
    for (; *text != 0; text = next_character(text, system)) {
        if (*text == '\\') return true;
    }
    return false;
}

} // namespace talvex
