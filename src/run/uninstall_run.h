#pragma once

namespace talvex {

class SystemServices;

constexpr unsigned kConfirmationStyle = 0x1014; // MB_YESNO | MB_ICONHAND | MB_SYSTEMMODAL
constexpr unsigned kCompletionStyle = 0x1040;   // MB_OK | MB_ICONASTERISK | MB_SYSTEMMODAL
constexpr const char* kCaption = "Talvex";
// One name for every copy; no backslash, which Windows 95 and NT 4 allow in
// no object name, so no Global\ or Local\ prefix either.
constexpr const char* kCleanUpMutex = "TalvexUninstallerCleanUp";
// How long a copy waits for the one ahead of it. A clean-up is about 200
// registry and file calls (some 30 ms under Wine): ten seconds leave it
// hundreds of times that even on a slow old disk, while a copy whose mutex
// another program has taken still ends soon.
constexpr unsigned kCleanUpWaitMilliseconds = 10000;

// The whole life of the process; ends with exit_process(0) on every path.
void uninstall_run(SystemServices& sys);

} // namespace talvex
