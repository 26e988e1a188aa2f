#pragma once

namespace talvex {

class SystemServices;

// Takes the card's lines out of config.sys, autoexec.bat and dosstart.bat.
void purge_startup_files(SystemServices& sys);

} // namespace talvex
