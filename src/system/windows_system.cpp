// SystemServices over the Windows API, restricted to what Windows 95 has.
#include "system/system_services.h"

#include <windows.h>

namespace talvex {
namespace {

HKEY as_hkey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}
HANDLE as_handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

HKEY parent_key(RegKey parent) {
    return parent == 0 ? HKEY_LOCAL_MACHINE : as_hkey(parent);
}

} // namespace

const char* SystemServices::command_line() {
    return GetCommandLineA();
}

bool SystemServices::is_dbcs_lead_byte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != 0;
}

uint16_t SystemServices::get_user_default_lang_id() {
    return GetUserDefaultLangID();
}

int SystemServices::message_box_ex(const char* text, const char* caption, uint32_t style,
                                   uint16_t language) {
    return MessageBoxExA(nullptr, text, caption, style, language);
}

long SystemServices::reg_open_key_ex(RegKey parent, const char* sub_key, uint32_t options,
                                     uint32_t access, RegKey* key) {
    HKEY opened = nullptr;
    const long result = RegOpenKeyExA(parent_key(parent), sub_key, options, access, &opened);
    *key = result == ERROR_SUCCESS ? reinterpret_cast<RegKey>(opened) : 0;
    return result;
}

long SystemServices::reg_query_value_ex(RegKey key, const char* name, unsigned char* data,
                                        uint32_t* size) {
    DWORD in_out = *size;
    const long result = RegQueryValueExA(as_hkey(key), name, nullptr, nullptr, data, &in_out);
    *size = in_out;
    return result;
}

long SystemServices::reg_enum_key_ex(RegKey key, uint32_t index, char* name, uint32_t* length) {
    DWORD in_out = *length;
    const long result =
        RegEnumKeyExA(as_hkey(key), index, name, &in_out, nullptr, nullptr, nullptr, nullptr);
    *length = in_out;
    return result;
}

long SystemServices::reg_delete_key(RegKey parent, const char* sub_key) {
    return RegDeleteKeyA(parent_key(parent), sub_key);
}

long SystemServices::reg_delete_value(RegKey key, const char* name) {
    return RegDeleteValueA(as_hkey(key), name);
}

void SystemServices::reg_close_key(RegKey key) {
    RegCloseKey(as_hkey(key));
}

uint32_t SystemServices::get_version() {
    return GetVersion();
}

uint32_t SystemServices::get_windows_directory(char* buffer, uint32_t capacity) {
    return GetWindowsDirectoryA(buffer, capacity);
}

uint32_t SystemServices::get_system_directory(char* buffer, uint32_t capacity) {
    return GetSystemDirectoryA(buffer, capacity);
}

bool SystemServices::delete_file(const char* path) {
    return DeleteFileA(path) != 0;
}

// Sharing reading only: no one writes between our read and our rewrite, and
// no one tears what we read. A pipe or a device (Wine may map a start-up file
// to a Unix pipe) is no start-up file, and its read might never return.
FileHandle SystemServices::file_open_edit(const char* path) {
    const HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return 0;
    }
    return reinterpret_cast<FileHandle>(file);
}

int32_t SystemServices::file_read(FileHandle file, void* buffer, uint32_t count) {
    DWORD got = 0;
    if (!ReadFile(as_handle(file), buffer, count, &got, nullptr)) return -1;
    return static_cast<int32_t>(got);
}

uint32_t SystemServices::file_write(FileHandle file, const void* data, uint32_t count) {
    DWORD written = 0;
    if (count == 0) return 0;
    if (!WriteFile(as_handle(file), data, count, &written, nullptr)) return 0;
    return written;
}

bool SystemServices::file_rewind(FileHandle file) {
    return SetFilePointer(as_handle(file), 0, nullptr, FILE_BEGIN) == 0;
}

bool SystemServices::file_set_end(FileHandle file) {
    return SetEndOfFile(as_handle(file)) != 0;
}

void SystemServices::file_flush(FileHandle file) {
    FlushFileBuffers(as_handle(file));
}

void SystemServices::file_close(FileHandle file) {
    CloseHandle(as_handle(file));
}

MutexHandle SystemServices::mutex_create(const char* name) {
    return reinterpret_cast<MutexHandle>(CreateMutexA(nullptr, FALSE, name));
}

bool SystemServices::mutex_wait(MutexHandle mutex, uint32_t milliseconds) {
    const DWORD waited = WaitForSingleObject(as_handle(mutex), milliseconds);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void SystemServices::mutex_close(MutexHandle mutex, bool owned) {
    if (owned) ReleaseMutex(as_handle(mutex));
    CloseHandle(as_handle(mutex));
}

void SystemServices::exit_process(uint32_t code) {
    ExitProcess(code);
}

} // namespace talvex
