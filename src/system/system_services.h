#pragma once
// The one seam between the uninstall logic and the machine. The Windows build
// implements it over the real API, the host build over a simulated machine.
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

class SystemServices {
  public:
    // The process command line as GetCommandLineA gives it.
    virtual const char* command_line() = 0;
    // IsDBCSLeadByte of the system's ANSI code page.
    virtual bool is_dbcs_lead_byte(unsigned char byte) = 0;
    virtual uint16_t get_user_default_lang_id() = 0;
    // MessageBoxExA with no owner window.
    virtual int message_box_ex(const char* text, const char* caption, uint32_t style,
                               uint16_t language) = 0;

    // The registry calls themselves, below HKEY_LOCAL_MACHINE (a parent of 0).
    virtual long reg_open_key_ex(RegKey parent, const char* sub_key, uint32_t options,
                                 uint32_t access, RegKey* key) = 0;
    // With no `data`, only the size is asked.
    virtual long reg_query_value_ex(RegKey key, const char* name, unsigned char* data,
                                    uint32_t* size) = 0;
    virtual long reg_enum_key_ex(RegKey key, uint32_t index, char* name, uint32_t* length) = 0;
    virtual long reg_delete_key(RegKey parent, const char* sub_key) = 0;
    virtual long reg_delete_value(RegKey key, const char* name) = 0;
    virtual void reg_close_key(RegKey key) = 0;
    // GetVersion: its high bit is set on Windows 95, 98 and ME.
    virtual uint32_t get_version() = 0;

    // Return the path length on success, the size needed when it does not fit.
    virtual uint32_t get_windows_directory(char* buffer, uint32_t capacity) = 0;
    virtual uint32_t get_system_directory(char* buffer, uint32_t capacity) = 0;
    virtual bool delete_file(const char* path) = 0;

    // Raw byte access; the text-mode rules are the logic's own. Opens an
    // existing disk file for reading and writing at offset 0, never creating
    // it and not truncating it, so that a failed write can be undone. While it
    // is open others may read the file but not write it, and the open fails
    // where another handle already denies this one (a writer, or a reader
    // that shares only reading). It fails too for what is not a disk file (a
    // pipe, a device), whose read might never return.
    virtual FileHandle file_open_edit(const char* path) = 0;
    // Bytes read, 0 at the end, -1 on failure. A read may deliver fewer bytes
    // than asked before the end, as ReadFile may.
    virtual int32_t file_read(FileHandle file, void* buffer, uint32_t count) = 0;
    // Bytes written at the current position.
    virtual uint32_t file_write(FileHandle file, const void* data, uint32_t count) = 0;
    virtual bool file_rewind(FileHandle file) = 0;
    // Ends the file at the current position.
    virtual bool file_set_end(FileHandle file) = 0;
    // Puts what was written on the disk now, not at some later time.
    virtual void file_flush(FileHandle file) = 0;
    virtual void file_close(FileHandle file) = 0;

    // A named mutex shared by every copy of the program, not yet owned.
    virtual MutexHandle mutex_create(const char* name) = 0;
    // Waits at most `milliseconds`; true when this copy then owns the mutex,
    // also when a copy that owned it ended without releasing it.
    virtual bool mutex_wait(MutexHandle mutex, uint32_t milliseconds) = 0;
    // Releases the mutex where this copy owns it, and closes it.
    virtual void mutex_close(MutexHandle mutex, bool owned) = 0;

    // Does not return on Windows; the simulated machine records it and returns.
    virtual void exit_process(uint32_t code) = 0;

  protected:
    ~SystemServices() = default;
};

} // namespace talvex
