// The process entry of talvexun.exe: no C runtime runs before it.
#include "run/uninstall_run.h"
#include "system/system_services.h"

extern "C" void __stdcall talvex_entry() {
    talvex::SystemServices sys;
    talvex::uninstall_run(sys);
}
