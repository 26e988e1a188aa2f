// Starts and ends like talvexun.exe, loading the same three DLLs, and does
// nothing else: the process start-up cost that a run's own cost is measured
// against.
#include <windows.h>

extern "C" void __stdcall idle_entry() {
    // Never true, but the compiler cannot know: the calls keep the imports.
    if (GetCommandLineA() == nullptr) {
        MessageBoxExA(nullptr, "", "", 0, 0);
        RegCloseKey(HKEY_LOCAL_MACHINE);
    }
    ExitProcess(0);
}
