// Test helper under Wine: starts talvexun.exe with an exact command line,
// reports every "Talvex" box it shows (text, buttons), presses the buttons
// it is told to, and reports the exit code. It also times a run from inside
// Wine, from process creation to exit, which the `wine` launcher's own wait
// would hide, and starts copies of it together, beside a file it holds.
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

void print_hex(const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        printf("%02X", *p);
    }
}

int unhex(const char* hex, char* out, int capacity) {
    int n = 0;
    for (; hex[0] && hex[1] && n + 1 < capacity; hex += 2) {
        unsigned value = 0;
        sscanf(hex, "%2x", &value);
        out[n++] = static_cast<char>(value);
    }
    out[n] = 0;
    return n;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK find_box(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    char class_name[16] = {};
    char caption[32] = {};
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    GetClassNameA(window, class_name, sizeof class_name);
    GetWindowTextA(window, caption, sizeof caption);
    if (owner == search->process && strcmp(class_name, "#32770") == 0 &&
        strcmp(caption, "Talvex") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK list_button(HWND child, LPARAM) {
    char class_name[16] = {};
    char text[64] = {};
    GetClassNameA(child, class_name, sizeof class_name);
    if (_stricmp(class_name, "Button") == 0 && IsWindowVisible(child)) {
        GetWindowTextA(child, text, sizeof text);
        printf(" button=%d:", GetDlgCtrlID(child));
        print_hex(text);
    }
    return TRUE;
}

bool start_process(const char* exe, const char* hex_command_line, PROCESS_INFORMATION* process,
                   DWORD flags = 0) {
    char command_line[1024];
    unhex(hex_command_line, command_line, sizeof command_line);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe, command_line, nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                        &startup, process)) {
        printf("LAUNCH-FAILED %lu\n", GetLastError());
        return false;
    }
    return true;
}

// launch EXE HEXCMDLINE TIMEOUT_MS HOLDFILE ANSWER... (answers: 6 Yes, 7 No, 1 OK)
int launch(int argc, char** argv) {
    const DWORD timeout = static_cast<DWORD>(atoi(argv[4]));
    const char* hold = argv[5];
    PROCESS_INFORMATION process = {};
    if (!start_process(argv[2], argv[3], &process)) return 2;
    int next_answer = 6;
    const DWORD start = GetTickCount();
    HWND last = nullptr;
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) break;
        if (GetTickCount() - start > timeout) {
            printf("TIMEOUT\n");
            TerminateProcess(process.hProcess, 99);
            return 3;
        }
        Search search = {process.dwProcessId, nullptr};
        EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr || search.found == last) continue;
        last = search.found;
        char text[256] = {};
        GetDlgItemTextA(search.found, 0xFFFF, text, sizeof text);
        printf("BOX text=");
        print_hex(text);
        EnumChildWindows(search.found, list_button, 0);
        printf("\n");
        fflush(stdout);
        if (strcmp(hold, "-") != 0) {
            // Lets the caller take a screenshot before the box goes.
            while (GetFileAttributesA(hold) == INVALID_FILE_ATTRIBUTES &&
                   GetTickCount() - start < timeout) {
                Sleep(20);
            }
            DeleteFileA(hold);
        }
        next_answer = argc > 6 ? atoi(argv[6]) : 1;
        if (argc > 6) ++argv, --argc;
        SendMessageA(GetDlgItem(search.found, next_answer), BM_CLICK, 0, 0);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    printf("EXIT %lu\n", code);
    return 0;
}

// together N HOLD EXE HEXCMDLINE: N copies, made suspended and let go at
// once; HOLD, unless "-", a file held open meanwhile by a reader that shares
// only reading, or with "mutex:" before it a mutex of that name owned
// meanwhile. Prints, for each copy, the microseconds from the creation of
// the copies to its exit (which the `wine` launcher's own wait would hide),
// and its exit code.
int together(char** argv) {
    const int copies = atoi(argv[2]) < 16 ? atoi(argv[2]) : 16;
    const char* hold = argv[3];
    const bool mutex = strncmp(hold, "mutex:", 6) == 0;
    HANDLE held = INVALID_HANDLE_VALUE;
    if (mutex) {
        held = CreateMutexA(nullptr, TRUE, hold + 6);
        if (held == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 2;
    } else if (strcmp(hold, "-") != 0) {
        held = CreateFileA(hold, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (held == INVALID_HANDLE_VALUE) return 2;
    }
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    PROCESS_INFORMATION process[16] = {};
    for (int i = 0; i < copies; ++i) {
        if (!start_process(argv[4], argv[5], &process[i], CREATE_SUSPENDED)) return 2;
    }
    for (int i = 0; i < copies; ++i) ResumeThread(process[i].hThread);
    for (int i = 0; i < copies; ++i) {
        DWORD code = 0;
        if (WaitForSingleObject(process[i].hProcess, 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process[i].hProcess, 99);
            printf("TIMEOUT ");
        }
        QueryPerformanceCounter(&after);
        GetExitCodeProcess(process[i].hProcess, &code);
        printf("TIME %lld EXIT %lu\n",
               (after.QuadPart - before.QuadPart) * 1000000 / frequency.QuadPart, code);
    }
    return 0; // what is held is let go with the process
}

} // namespace

// link KEY TARGET: a registry link at HKEY_LOCAL_MACHINE\KEY to the key
// TARGET below it, made as the NT family makes one.
int make_link(char** argv) {
    wchar_t key[512] = {};
    wchar_t target[600] = L"\\Registry\\Machine\\";
    const size_t prefix = wcslen(target);
    MultiByteToWideChar(CP_ACP, 0, argv[2], -1, key, 511);
    MultiByteToWideChar(CP_ACP, 0, argv[3], -1, target + prefix, 599 - prefix);
    HKEY link = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_CREATE_LINK,
                                  KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr);
    if (result == ERROR_SUCCESS) {
        // The target as UTF-16, without its terminator.
        result = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                reinterpret_cast<const BYTE*>(target),
                                static_cast<DWORD>(wcslen(target) * sizeof(wchar_t)));
        RegCloseKey(link);
    }
    if (result != ERROR_SUCCESS) printf("LINK-FAILED %ld\n", result);
    return result == ERROR_SUCCESS ? 0 : 2;
}

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc >= 6 && strcmp(argv[1], "launch") == 0) return launch(argc, argv);
    if (argc == 4 && strcmp(argv[1], "link") == 0) return make_link(argv);
    if (argc == 6 && strcmp(argv[1], "together") == 0) return together(argv);
    fprintf(stderr, "usage: box_driver launch EXE HEXCMD TIMEOUT_MS HOLD ANSWER...\n"
                    "       box_driver link KEY TARGET\n"
                    "       box_driver together N HOLD EXE HEXCMD\n");
    return 1;
}
