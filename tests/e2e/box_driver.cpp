// Test helper under Wine. It seeds a prefix from a fixture, with the fixture
// reader the unit tests use, and reports each item it made with what must
// become of it. It starts talvexun.exe with an exact command line, reports
// every "Talvex" box it shows (text, buttons, and which set of messages.txt
// the text is), presses the buttons it is told to, and reports the exit code.
// It times a run from inside Wine, from process creation to exit, which the
// `wine` launcher's own wait would hide, starts copies together, beside a
// file or a mutex it holds, and checks a fixture's items on the live
// machine. Verbs may be chained with --, in one Wine session.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fixture/fixture.h"

namespace {

using talvex::fixture::Fixture;

std::string hex(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char two[3];
        snprintf(two, sizeof two, "%02X", c);
        out += two;
    }
    return out;
}

std::wstring widen(const std::string& text, unsigned codepage) {
    std::wstring wide(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(codepage, 0, text.data(), static_cast<int>(text.size()),
                                      wide.data(), static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
}

// The bytes of UTF-16 text.
std::string bytes_of(const std::wstring& text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * 2};
}

std::string utf8(const std::wstring& wide) {
    std::string out(wide.size() * 3 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? n : 0);
    return out;
}

// A fixture's name as the system names it: UTF-8 for `wkey`, else in its code page.
std::wstring name_of(const Fixture& f, const std::string& name) {
    const bool wide = std::find(f.wide_keys.begin(), f.wide_keys.end(), name) != f.wide_keys.end();
    return widen(name, wide ? CP_UTF8 : f.codepage);
}

std::wstring place(const Fixture& f, const std::string& where) {
    const size_t cut = where.find('\\');
    const std::string root = talvex::fold_name(where.substr(0, cut));
    wchar_t directory[MAX_PATH] = L"C:";
    if (root == "windir") GetWindowsDirectoryW(directory, MAX_PATH);
    if (root == "sysdir") GetSystemDirectoryW(directory, MAX_PATH);
    return directory + widen(where.substr(cut), f.codepage);
}

Fixture load(const char* path) {
    Fixture f = talvex::fixture::load_file(path);
    for (const std::string& error : f.errors) printf("FAILED fixture %s\n", error.c_str());
    return f;
}

// describe FIXTURE...: each fixture's name, code page, copies and the modes it runs in.
int describe(const std::vector<std::string>& args) {
    int status = 0;
    for (const std::string& path : args) {
        const Fixture f = load(path.c_str());
        printf("FIXTURE %s %u %u%s%s\n", std::filesystem::path(path).stem().string().c_str(),
               f.codepage, f.copies, f.runs_in("win95") ? " win95" : "",
               f.runs_in("nt") ? " nt" : "");
        status |= f.errors.empty() ? 0 : 2;
    }
    return status;
}

// Each item seeded, with what must become of it where links exist and are
// looked at, as under Wine: seed reports each (a file with the bytes it must
// hold if it stays, "-" for none); check compares each with the live machine
// after a run (a link looked at as itself), reports those that differ, then
// CHECKED.
int report(const Fixture& f, bool live) {
    const talvex::fixture::System wine{true, true};
    const auto have = [&](const std::string& path, const std::wstring* value) {
        HKEY key = nullptr;
        if (!live || RegOpenKeyExW(HKEY_LOCAL_MACHINE, name_of(f, path).c_str(),
                                   REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        const bool found = !value || RegQueryValueExW(key, value->c_str(), 0, 0, 0, 0) == 0;
        return RegCloseKey(key), found;
    };
    const auto item = [&](const char* kind, const std::string& name, const std::string& encoded,
                          bool stays, bool found) {
        if (!live) printf("%s %s %s\n", kind, encoded.c_str(), stays ? "stays" : "goes");
        if (live && stays != found) printf("FAILED %s %s\n", kind, name.c_str());
    };
    for (const std::string& k : f.all_keys())
        item("KEY", k, hex(utf8(name_of(f, k))), expected_present(f, k, wine), have(k, nullptr));
    const std::wstring link_value = L"SymbolicLinkValue";
    for (const talvex::fixture::Link& link : f.links)
        item("VALUE", link.path, hex(utf8(name_of(f, link.path))) + " " + hex(utf8(link_value)),
             expected_present(f, link.path, wine), have(link.path, &link_value));
    for (const auto& v : f.values) {
        const std::wstring name = name_of(f, v.name);
        item("VALUE", v.key + "|" + v.name, hex(utf8(name_of(f, v.key))) + " " + hex(utf8(name)),
             expected_value(f, v, wine), have(v.key, &name));
    }
    for (const talvex::fixture::SeededFile& file : f.files) {
        const std::string& bytes = expected_bytes(f, file);
        std::ifstream in(std::filesystem::path(live ? place(f, file.where) : L""),
                         std::ios::binary);
        const bool stays = expected_file(f, file, wine);
        item("FILE", file.where,
             hex(utf8(place(f, file.where))) + " " + (bytes.empty() ? "-" : hex(bytes)), stays,
             in.is_open() &&
                 (!stays || std::string(std::istreambuf_iterator<char>(in), {}) == bytes));
    }
    if (live) printf("CHECKED\n");
    return 0;
}

// seed FIXTURE: keys and values, keys named in UTF-16, links, then files;
// each item is reported with what must become of it. Links are made as the
// NT family makes them; a string-typed one is reported to be retyped, which
// no call will do. Anything that cannot be made fails the seed.
int seed(const std::vector<std::string>& args) {
    const Fixture f = load(args.at(0).c_str());
    int status = f.errors.empty() ? 0 : 2;
    const auto made = [&](long result, const std::string& what) {
        if (result != ERROR_SUCCESS) printf("FAILED %s: %ld\n", what.c_str(), result);
        status = result == ERROR_SUCCESS ? status : 2;
        return result == ERROR_SUCCESS;
    };
    const auto key = [&](const std::string& path, const std::wstring& name = L"",
                         DWORD type = REG_NONE, const std::string& data = "", DWORD options = 0) {
        HKEY k = nullptr;
        if (made(RegCreateKeyExW(HKEY_LOCAL_MACHINE, name_of(f, path).c_str(), 0, nullptr, options,
                                 KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &k, nullptr),
                 "key " + path) &&
            type != REG_NONE) {
            made(RegSetValueExW(k, name.c_str(), 0, type,
                                reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size())),
                 "value " + path + "|" + utf8(name));
        }
        if (k != nullptr) RegCloseKey(k);
    };
    if (status != 0) return status;
    for (const std::string& k : f.keys) key(k);
    for (const auto& v : f.values)
        key(v.key, name_of(f, v.name), v.binary ? REG_BINARY : REG_SZ,
            v.binary ? v.data : bytes_of(widen(v.data, f.codepage)));
    for (const std::string& k : f.wide_keys) key(k);
    for (const talvex::fixture::Link& link : f.links) {
        const std::wstring target = L"\\Registry\\Machine\\" + name_of(f, link.target);
        key(link.path, L"SymbolicLinkValue", REG_LINK, bytes_of(target), REG_OPTION_CREATE_LINK);
        if (link.string_typed) printf("RETYPE %s\n", hex(utf8(name_of(f, link.path))).c_str());
    }
    for (const talvex::fixture::SeededFile& file : f.files) {
        const std::filesystem::path path = place(f, file.where);
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); // where seeded before
        const bool whole = static_cast<bool>(std::ofstream(path, std::ios::binary) << file.data);
        made(whole && (!file.read_only || SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY))
                 ? ERROR_SUCCESS
                 : static_cast<long>(GetLastError()),
             "file " + file.where);
    }
    report(f, false);
    return status;
}

// check FIXTURE: what became of each item the fixture seeds (see report).
int check(const std::vector<std::string>& args) {
    return report(load(args.at(0).c_str()), true);
}

// A box of the program's one thread: its dialog class, the caption "Talvex".
BOOL CALLBACK find_box(HWND window, LPARAM found) {
    char class_name[16] = {};
    char caption[32] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    GetWindowTextA(window, caption, sizeof caption);
    const bool box = strcmp(class_name, "#32770") == 0 && strcmp(caption, "Talvex") == 0 &&
                     IsWindowVisible(window);
    if (box) *reinterpret_cast<HWND*>(found) = window;
    return !box;
}

BOOL CALLBACK list_button(HWND child, LPARAM) {
    char class_name[16] = {};
    char text[64] = {};
    GetClassNameA(child, class_name, sizeof class_name);
    if (_stricmp(class_name, "Button") == 0 && IsWindowVisible(child)) {
        GetWindowTextA(child, text, sizeof text);
        printf(" button=%d:%s", GetDlgCtrlID(child), hex(text).c_str());
    }
    return TRUE;
}

bool start_process(const std::string& exe, const std::string& hex_command_line,
                   PROCESS_INFORMATION* process, DWORD flags = 0) {
    std::string command_line;
    talvex::fixture::unhex(hex_command_line, command_line);
    command_line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        nullptr, &startup, process)) {
        printf("LAUNCH-FAILED %lu\n", GetLastError());
        return false;
    }
    return true;
}

// Which text of which set of messages.txt a box shows: "de.prompt", or "none".
std::string set_of(const std::string& messages, const std::string& text) {
    for (const auto& [name, set] : talvex::fixture::messages(messages)) {
        if (text == set.prompt) return name + ".prompt";
        if (text == set.completion) return name + ".completion";
    }
    return "none";
}

// launch EXE HEXCMDLINE TIMEOUT_MS HOLDFILE MESSAGES ANSWER... (6 Yes, 7 No, 1 OK; 27 posts
// Escape, 16 WM_CLOSE, as a person who dismisses the box)
int launch(const std::vector<std::string>& args) {
    const DWORD timeout = static_cast<DWORD>(atoi(args.at(2).c_str()));
    const std::string& hold = args.at(3);
    PROCESS_INFORMATION process = {};
    if (!start_process(args.at(0), args.at(1), &process)) return 2;
    size_t next_answer = 5;
    const DWORD start = GetTickCount();
    HWND last = nullptr;
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) break;
        if (GetTickCount() - start > timeout) {
            printf("TIMEOUT\n");
            TerminateProcess(process.hProcess, 99);
            return 3;
        }
        HWND found = nullptr;
        EnumThreadWindows(process.dwThreadId, find_box, reinterpret_cast<LPARAM>(&found));
        if (found == nullptr || found == last) continue;
        last = found;
        char text[256] = {};
        GetDlgItemTextA(found, 0xFFFF, text, sizeof text);
        printf("BOX set=%s text=", set_of(args.at(4), text).c_str());
        printf("%s", hex(text).c_str());
        EnumChildWindows(found, list_button, 0);
        printf("\n");
        if (hold != "-") {
            // Lets the caller take a screenshot before the box goes.
            while (GetFileAttributesA(hold.c_str()) == INVALID_FILE_ATTRIBUTES &&
                   GetTickCount() - start < timeout) {
                Sleep(20);
            }
            DeleteFileA(hold.c_str());
        }
        const int answer = next_answer < args.size() ? atoi(args[next_answer++].c_str()) : 1;
        if (answer == VK_ESCAPE || answer == WM_CLOSE)
            PostMessageA(found, answer == WM_CLOSE ? WM_CLOSE : WM_KEYDOWN,
                         answer == WM_CLOSE ? 0 : VK_ESCAPE, 0);
        else
            SendMessageA(GetDlgItem(found, answer), BM_CLICK, 0, 0);
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
int together(const std::vector<std::string>& args) {
    const int copies = atoi(args.at(0).c_str()) < 16 ? atoi(args.at(0).c_str()) : 16;
    const std::string& hold = args.at(1);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (hold.rfind("mutex:", 0) == 0) {
        held = CreateMutexA(nullptr, TRUE, hold.c_str() + 6);
        if (held == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 2;
    } else if (hold != "-") {
        held = CreateFileA(hold.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        if (held == INVALID_HANDLE_VALUE) return 2;
    }
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    PROCESS_INFORMATION process[16] = {};
    for (int i = 0; i < copies; ++i) {
        if (!start_process(args.at(2), args.at(3), &process[i], CREATE_SUSPENDED)) return 2;
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
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return 0;
}

struct Verb {
    const char* name;
    size_t least, most; // arguments
    int (*run)(const std::vector<std::string>&);
    const char* usage;
};

constexpr Verb kVerbs[] = {
    {"describe", 1, 99, describe, "FIXTURE..."},
    {"seed", 1, 1, seed, "FIXTURE"},
    {"check", 1, 1, check, "FIXTURE"},
    {"launch", 5, 99, launch, "EXE HEXCMD TIMEOUT_MS HOLD MESSAGES ANSWER..."},
    {"together", 4, 4, together, "N HOLD EXE HEXCMD"},
};

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    int status = 0;
    for (int at = 1; at < argc; ++at) {
        const std::string name = argv[at++];
        std::vector<std::string> args;
        while (at < argc && strcmp(argv[at], "--") != 0) args.push_back(argv[at++]);
        const Verb* verb = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                        [&](const Verb& v) { return name == v.name; });
        if (verb == std::end(kVerbs) || args.size() < verb->least || args.size() > verb->most) {
            fprintf(stderr, "usage: box_driver VERB ARGS [-- VERB ARGS]..., the verbs:\n");
            for (const Verb& v : kVerbs) fprintf(stderr, "  %s %s\n", v.name, v.usage);
            return 1;
        }
        status |= verb->run(args);
    }
    return status;
}
