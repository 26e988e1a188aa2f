#pragma once
// Whether this system may have registry links, decided once a run.
//
// A registry link sends RegOpenKeyExA and RegDeleteKeyA to its target, which
// may lie anywhere in the registry. The NT family has links, and so may a
// system of the 9x family that knows REG_OPTION_OPEN_LINK (Wine's 95, 98 and
// ME modes do, and their RegDeleteKeyA deletes a whole tree through every
// link on its way). Only a system that does not know the option knows no
// links at all.

namespace talvex {

class SystemServices;

enum class LinkRule : unsigned char {
    Undecided,  // as the run starts
    LookAtEach, // links may exist: each level of the card's is looked at first
    NoLinks,    // the system does not know the option: one call per path
};

// The run's rule: `so_far` where it is decided, else asked of the system now.
// Windows 95 documents the option argument as reserved, and nothing records
// its answer to REG_OPTION_OPEN_LINK: it may ignore the option, refuse it or
// answer "not found". So one look at a key that every system has tells:
// where it succeeds the system knows the option and may have links; where it
// is refused or answered "not found" but a plain open succeeds, it knows
// neither. Otherwise nothing is known, and each key is looked at.
LinkRule decide_link_rule(SystemServices& sys, LinkRule so_far);

} // namespace talvex
