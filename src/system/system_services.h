#pragma once
// The one seam between the uninstall logic and the machine. The Windows build
// implements it over the real API, the host build over a simulated machine.
// In the exe the Windows implementation is the only one, so its operations
// are plain calls that the link-time optimiser can inline, with no table of
// virtual functions; the simulated machine overrides each.
#include <stdint.h>

namespace talvex {

using RegKey = uintptr_t;      // an open registry key; as a parent, 0 is HKEY_LOCAL_MACHINE
using FileHandle = uintptr_t;  // an open file; 0 means the open failed
using MutexHandle = uintptr_t; // a named mutex; 0 means none was made

constexpr uint32_t kKeyRead = 0x20019;       // KEY_READ
constexpr uint32_t kKeySetValue = 0x2;       // KEY_SET_VALUE
constexpr uint32_t kRegOptionOpenLink = 0x8; // REG_OPTION_OPEN_LINK: a link itself, not its target
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorNoMoreItems = 259;
constexpr int kIdCancel = 2; // Escape, or the close button where a system offers one
constexpr int kIdNo = 7;

#ifdef _WIN32
#define TALVEX_OPERATION
#define TALVEX_OVERRIDDEN
#else
#define TALVEX_OPERATION virtual
#define TALVEX_OVERRIDDEN = 0
#endif

class SystemServices {
  public:
    // The process command line as GetCommandLineA gives it.
    TALVEX_OPERATION const char* command_line() TALVEX_OVERRIDDEN;
    // IsDBCSLeadByte of the system's ANSI code page.
    TALVEX_OPERATION bool is_dbcs_lead_byte(unsigned char byte) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION uint16_t get_user_default_lang_id() TALVEX_OVERRIDDEN;
    // MessageBoxExA with no owner window.
    TALVEX_OPERATION int message_box_ex(const char* text, const char* caption, uint32_t style,
                                        uint16_t language) TALVEX_OVERRIDDEN;

    // The registry calls themselves, below HKEY_LOCAL_MACHINE (a parent of 0).
    TALVEX_OPERATION long reg_open_key_ex(RegKey parent, const char* sub_key, uint32_t options,
                                          uint32_t access, RegKey* key) TALVEX_OVERRIDDEN;
    // With no `data`, only the size is asked.
    TALVEX_OPERATION long reg_query_value_ex(RegKey key, const char* name, unsigned char* data,
                                             uint32_t* size) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION long reg_enum_key_ex(RegKey key, uint32_t index, char* name,
                                          uint32_t* length) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION long reg_delete_key(RegKey parent, const char* sub_key) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION long reg_delete_value(RegKey key, const char* name) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION void reg_close_key(RegKey key) TALVEX_OVERRIDDEN;
    // GetVersion: its high bit is set on Windows 95, 98 and ME.
    TALVEX_OPERATION uint32_t get_version() TALVEX_OVERRIDDEN;

    // Return the path length on success, the size needed when it does not fit.
    TALVEX_OPERATION uint32_t get_windows_directory(char* buffer,
                                                    uint32_t capacity) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION uint32_t get_system_directory(char* buffer,
                                                   uint32_t capacity) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION bool delete_file(const char* path) TALVEX_OVERRIDDEN;

    // Raw byte access; the text-mode rules are the logic's own. Opens an
    // existing disk file for reading and writing at offset 0, never creating
    // it and not truncating it, so that a failed write can be undone. While it
    // is open others may read the file but not write it, and the open fails
    // where another handle already denies this one (a writer, or a reader
    // that shares only reading). It fails too for what is not a disk file (a
    // pipe, a device), whose read might never return.
    TALVEX_OPERATION FileHandle file_open_edit(const char* path) TALVEX_OVERRIDDEN;
    // Bytes read, 0 at the end, -1 on failure. A read may deliver fewer bytes
    // than asked before the end, as ReadFile may.
    TALVEX_OPERATION int32_t file_read(FileHandle file, void* buffer,
                                       uint32_t count) TALVEX_OVERRIDDEN;
    // Bytes written at the current position.
    TALVEX_OPERATION uint32_t file_write(FileHandle file, const void* data,
                                         uint32_t count) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION bool file_rewind(FileHandle file) TALVEX_OVERRIDDEN;
    // Ends the file at the current position.
    TALVEX_OPERATION bool file_set_end(FileHandle file) TALVEX_OVERRIDDEN;
    // Puts what was written on the disk now, not at some later time.
    TALVEX_OPERATION void file_flush(FileHandle file) TALVEX_OVERRIDDEN;
    TALVEX_OPERATION void file_close(FileHandle file) TALVEX_OVERRIDDEN;

    // A named mutex shared by every copy of the program, not yet owned.
    TALVEX_OPERATION MutexHandle mutex_create(const char* name) TALVEX_OVERRIDDEN;
    // Waits at most `milliseconds`; true when this copy then owns the mutex,
    // also when a copy that owned it ended without releasing it.
    TALVEX_OPERATION bool mutex_wait(MutexHandle mutex, uint32_t milliseconds) TALVEX_OVERRIDDEN;
    // Releases the mutex where this copy owns it, and closes it.
    TALVEX_OPERATION void mutex_close(MutexHandle mutex, bool owned) TALVEX_OVERRIDDEN;

    // Does not return on Windows; the simulated machine records it and returns.
    TALVEX_OPERATION void exit_process(uint32_t code) TALVEX_OVERRIDDEN;

#ifndef _WIN32
  protected: // only the simulated machine is one
#endif
    ~SystemServices() = default;
};

} // namespace talvex
