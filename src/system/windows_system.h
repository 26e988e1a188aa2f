#pragma once
#include "system/system_services.h"

namespace talvex {

// SystemServices over the Windows API, restricted to what Windows 95 has.
class WindowsSystem final : public SystemServices {
  public:
    const char* command_line() override;
    bool is_dbcs_lead_byte(unsigned char byte) override;
    uint16_t get_user_default_lang_id() override;
    int message_box_ex(const char* text, const char* caption, uint32_t style,
                       uint16_t language) override;
    long reg_open_key_ex(RegKey parent, const char* sub_key, uint32_t options, uint32_t access,
                         RegKey* key) override;
    long reg_query_value_ex(RegKey key, const char* name, unsigned char* data,
                            uint32_t* size) override;
    long reg_enum_key_ex(RegKey key, uint32_t index, char* name, uint32_t* length) override;
    long reg_delete_key(RegKey parent, const char* sub_key) override;
    long reg_delete_value(RegKey key, const char* name) override;
    void reg_close_key(RegKey key) override;
    uint32_t get_version() override;
    uint32_t get_windows_directory(char* buffer, uint32_t capacity) override;
    uint32_t get_system_directory(char* buffer, uint32_t capacity) override;
    bool delete_file(const char* path) override;
    FileHandle file_open_edit(const char* path) override;
    int32_t file_read(FileHandle file, void* buffer, uint32_t count) override;
    uint32_t file_write(FileHandle file, const void* data, uint32_t count) override;
    bool file_rewind(FileHandle file) override;
    bool file_set_end(FileHandle file) override;
    void file_flush(FileHandle file) override;
    void file_close(FileHandle file) override;
    MutexHandle mutex_create(const char* name) override;
    bool mutex_wait(MutexHandle mutex, uint32_t milliseconds) override;
    void mutex_close(MutexHandle mutex, bool owned) override;
    void exit_process(uint32_t code) override;
};

} // namespace talvex
