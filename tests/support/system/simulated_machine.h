#pragma once
// An in-memory machine for hosts without Windows: a registry below
// HKEY_LOCAL_MACHINE, files on drive C: (the Windows and System directories are
// C:\WINDOWS and C:\WINDOWS\SYSTEM unless a test moves them), the
// user's language, scripted message-box answers, injectable faults, and a
// record of every call in order. Names compare without regard to case.
#include <bitset>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fold_name.h"
#include "system/system_services.h"

namespace talvex {

// The Windows constants the simulated machine answers with, written here
// once more rather than taken from the program, so that a wrong one there
// shows.
namespace win {
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorKeyDeleted = 1018; // a key deleted while it was open
// Windows' access and share flags, and its answer to an open they refuse.
constexpr uint32_t kGenericRead = 0x80000000, kGenericWrite = 0x40000000;
constexpr uint32_t kFileShareRead = 1, kFileShareWrite = 2;
constexpr long kErrorSharingViolation = 32;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegLink = 6;
constexpr uint32_t kRegOptionOpenLink = 8;
constexpr const char* kSymbolicLinkValue = "SymbolicLinkValue";
constexpr int kIdYes = 6;
} // namespace win

// How a Windows family treats links and key deletion.
enum class Family {
    // The original Windows 95: RegDeleteKeyA deletes whole trees and there are
    // no links. Its option argument is reserved, and nothing records its
    // answer to REG_OPTION_OPEN_LINK: it may refuse it with 87, ignore it or
    // answer "not found".
    Windows95,
    Windows95Ignores,
    Windows95NotFound,
    // Wine's 95, 98 and ME modes: links, the option known, and a RegDeleteKeyA
    // that deletes whole trees through every link (a ring ends the process).
    Wine9x,
    Nt, // RegDeleteKeyA refuses a key with sub-keys; links unless opened with the option
};

constexpr bool has_links(Family family) {
    return family == Family::Wine9x || family == Family::Nt;
}

// Whether a key opens with REG_OPTION_OPEN_LINK, so that it can be looked at.
constexpr bool opens_as_itself(Family family) {
    return family != Family::Windows95 && family != Family::Windows95NotFound;
}

class SimulatedMachine final : public SystemServices {
  public:
    struct Value {
        uint32_t type;
        std::string data;
    };
    struct Key {
        std::string name; // its own level's name as created
        std::map<std::string, Value> values;
        bool link = false; // made as a link: followed whatever its value's type
    };
    struct File {
        std::string bytes;
        bool read_only = false;
    };
    // Fails the nth call that can fail (counting from 1), or that call and
    // every one after it. A failed call changes nothing, except that a failed
    // write may have written all its bytes but the last, as on a full disk.
    struct CallFault {
        unsigned nth = 0; // 0: no fault
        bool from_then_on = false;
    };

    // Where links exist, System\CurrentControlSet is a link to ControlSet001,
    // as on NT and under Wine 10 in every mode; on Windows 95 a key.
    explicit SimulatedMachine(Family family = Family::Windows95);

    // Setting up.
    std::string command_line_text = "talvexun.exe";
    std::bitset<256> lead_bytes;
    uint16_t language = 0x0409;
    std::deque<int> box_answers; // IDYES when none is left
    const Family family;
    std::string windows_directory = "C:\\WINDOWS";
    std::string system_directory = "C:\\WINDOWS\\SYSTEM";
    bool directory_fails = false; // both directory queries fail and return 0
    uint32_t read_limit = 0;      // a read delivers at most this many bytes; 0: all asked
    CallFault fault;
    // Another program's turn, run before the nth call that can fail.
    std::function<void()> before_call;
    unsigned before_call_nth = 0;

    // Keys are made, set and found as RegCreateKeyExA and RegOpenKeyExA reach
    // them: through every link above the last level.
    void add_key(const std::string& path);
    void set_value(const std::string& key, const std::string& name, uint32_t type,
                   const std::string& data);
    void set_string(const std::string& key, const std::string& name, const std::string& text) {
        set_value(key, name, win::kRegSz, text + std::string(1, '\0'));
    }
    // A registry link at `path` to the key `target` below HKEY_LOCAL_MACHINE,
    // its SymbolicLinkValue of type `type`: where links exist, RegOpenKeyExA
    // and RegDeleteKeyA reach the target unless a key is opened with
    // REG_OPTION_OPEN_LINK. On Windows 95 it is a plain key with a value. A
    // name may hold UTF-8 for characters beyond code page 1252;
    // RegEnumKeyExA reads back U+FF3C and U+2216 as a backslash, as its
    // best-fit mapping does.
    void add_link(const std::string& path, const std::string& target,
                  uint32_t type = win::kRegLink);
    void add_file(const std::string& path, const std::string& bytes, bool read_only = false);
    // Another program opens the file for writing, sharing both ways, and adds
    // `line` at the end of its text (before a Ctrl-Z); false where the open
    // fails as it would on Windows.
    bool other_program_appends(const std::string& path, const std::string& line);

    // Looking at the result.
    bool has_key(const std::string& path) const;
    bool has_value(const std::string& key, const std::string& name) const;
    bool has_file(const std::string& path) const;
    std::string file_bytes(const std::string& path) const;
    const std::map<std::string, File>& files() const { return files_; }
    std::vector<std::string> trace;
    unsigned calls() const { return calls_; } // calls that can fail, so far
    bool exited = false;                      // by ExitProcess, or by a crash
    uint32_t exit_code = 0xFFFFFFFF;
    unsigned open_handles() const {
        return static_cast<unsigned>(open_keys_.size() + open_files_.size() + (mutex_ != 0));
    }

    // SystemServices.
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
    // One copy runs here, and the real mutex is proven under Wine: a wait
    // that fails stands for one that timed out.
    MutexHandle mutex_create(const char* name) override;
    bool mutex_wait(MutexHandle mutex, uint32_t milliseconds) override;
    void mutex_close(MutexHandle mutex, bool owned) override;
    void exit_process(uint32_t code) override;

  private:
    struct OpenKey {
        std::string folded; // the key it is, links followed
        std::string named;  // the path the program reached it by
    };
    struct OpenFile {
        std::string path;
        size_t position = 0;
        uint32_t access = 0, share = 0;
    };
    void record(const std::string& line);
    // The open file, or the end of the test: Windows would act on whatever
    // the handle happened to name.
    OpenFile& open_file(FileHandle file, const char* call);
    bool shared(const std::string& folded, uint32_t access, uint32_t share) const;
    bool fails();
    size_t character_size(const std::string& text, size_t at) const;
    std::string key_path(const std::string& path) const;
    std::string resolve(std::string folded, bool open_link) const;
    std::string below(RegKey parent, const char* name, bool open_link) const;
    const OpenKey& open_key(RegKey key, const char* call) const; // or the end of the test
    std::string named(RegKey key, const char* call) const;
    long delete_through_links(const std::string& folded, unsigned depth);
    Key* key_of(RegKey key); // the open key's, or null where it is gone
    uint32_t directory_query(const char* call, const std::string& directory, char* buffer,
                             uint32_t capacity);
    std::map<std::string, Key> keys_;
    std::set<std::string> links_; // every key made a link, as keys_ names it
    std::map<std::string, File> files_;
    std::map<RegKey, OpenKey> open_keys_;
    std::map<FileHandle, OpenFile> open_files_;
    MutexHandle mutex_ = 0;
    uintptr_t next_handle_ = 0x100;
    unsigned calls_ = 0;
};

} // namespace talvex
