// The process entry of talvexun.exe: no C runtime runs before it.
#include "run/uninstall_run.h"
#include "system/windows_system.h"

extern "C" void __stdcall talvex_entry() {
    talvex::WindowsSystem sys;
    talvex::uninstall_run(sys);
}
