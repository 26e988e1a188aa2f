#include "system/simulated_machine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "system/key_tree_deletion.h"

namespace talvex {

std::string fold_name(const std::string& name) {
    std::string folded;
    for (char c : name) {
        if (c == '/') c = '\\';
        if (c == '\\' && !folded.empty() && folded.back() == '\\') continue;
        folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return folded;
}

namespace {

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string parent_of(const std::string& path) {
    const size_t cut = path.rfind('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool is_below(const std::string& folded, const std::string& folded_parent) {
    return folded.size() > folded_parent.size() + 1 &&
           folded.compare(0, folded_parent.size(), folded_parent) == 0 &&
           folded[folded_parent.size()] == '\\';
}

// The adapter the depth-first deletion walks with on the simulated machine.
struct SimulatedRaw {
    SimulatedMachine& machine;
    long delete_key(RegKey parent, const char* name) {
        return machine.raw_delete_key(parent, name);
    }
    long open_key(RegKey parent, const char* name, uint32_t access, RegKey* key) {
        return machine.raw_open_key(parent, name, access, key);
    }
    long enum_key(RegKey key, uint32_t index, char* name, uint32_t* length) {
        return machine.raw_enum_key(key, index, name, length);
    }
    void close_key(RegKey key) { machine.raw_close_key(key); }
};

} // namespace

SimulatedMachine::SimulatedMachine() {
    keys_[""] = Key{"", {}};
}

void SimulatedMachine::record(const std::string& line) {
    trace.push_back(exited ? "AFTER EXIT " + line : line);
}

void SimulatedMachine::add_key(const std::string& path) {
    const std::string folded = fold_name(path);
    if (keys_.count(folded) != 0) return;
    if (!folded.empty()) add_key(parent_of(path));
    keys_[folded] = Key{path, {}};
}

void SimulatedMachine::set_value(const std::string& key, const std::string& name, uint32_t type,
                                 const std::string& data) {
    add_key(key);
    keys_[fold_name(key)].values[fold_name(name)] = Value{name, type, data};
}

void SimulatedMachine::add_file(const std::string& path, const std::string& bytes, bool read_only) {
    files_[fold_name(path)] = File{path, bytes, read_only};
}

bool SimulatedMachine::has_key(const std::string& path) const {
    return keys_.count(fold_name(path)) != 0;
}

bool SimulatedMachine::has_value(const std::string& key, const std::string& name) const {
    auto found = keys_.find(fold_name(key));
    return found != keys_.end() && found->second.values.count(fold_name(name)) != 0;
}

bool SimulatedMachine::has_file(const std::string& path) const {
    return files_.count(fold_name(path)) != 0;
}

std::string SimulatedMachine::file_bytes(const std::string& path) const {
    auto found = files_.find(fold_name(path));
    return found == files_.end() ? std::string() : found->second.bytes;
}

const char* SimulatedMachine::command_line() {
    return command_line_text.c_str();
}

bool SimulatedMachine::is_dbcs_lead_byte(unsigned char byte) {
    return lead_bytes[byte];
}

uint16_t SimulatedMachine::get_user_default_lang_id() {
    record("GetUserDefaultLangID");
    return language;
}

int SimulatedMachine::message_box_ex(const char* text, const char* caption, uint32_t style,
                                     uint16_t box_language) {
    record("MessageBoxExA \"" + std::string(text) + "\" \"" + caption + "\" " + hex(style) + " " +
           std::to_string(box_language));
    if (box_answers.empty()) return 6; // IDYES
    const int answer = box_answers.front();
    box_answers.pop_front();
    return answer;
}

std::string SimulatedMachine::below(RegKey parent, const char* name) const {
    if (parent == 0) return fold_name(name);
    auto open = open_keys_.find(parent);
    if (open == open_keys_.end()) return std::string(1, '\0'); // names no key
    return fold_name(open->second + "\\" + name);
}

long SimulatedMachine::open_key_at(RegKey parent, const char* name, RegKey* key) {
    *key = 0;
    const std::string folded = below(parent, name);
    if (keys_.count(folded) == 0) return kErrorFileNotFound;
    *key = next_handle_++;
    open_keys_[*key] = folded;
    return kErrorSuccess;
}

long SimulatedMachine::raw_open_key(RegKey parent, const char* name, uint32_t access, RegKey* key) {
    const long result = open_key_at(parent, name, key);
    record("  RegOpenKeyExA " + std::string(name) + " " + hex(access) + " -> " +
           std::to_string(result));
    return result;
}

long SimulatedMachine::reg_open_key_ex(const char* sub_key, uint32_t access, RegKey* key) {
    const long result = open_key_at(0, sub_key, key);
    record("RegOpenKeyExA " + std::string(sub_key) + " " + hex(access) + " -> " +
           std::to_string(result));
    return result;
}

long SimulatedMachine::reg_query_value_ex(RegKey key, const char* name, unsigned char* data,
                                          uint32_t* size) {
    long result = kErrorFileNotFound;
    const uint32_t capacity = *size;
    auto open = open_keys_.find(key);
    if (open != open_keys_.end() && keys_.count(open->second) != 0) {
        auto& values = keys_[open->second].values;
        auto found = values.find(fold_name(name));
        if (found != values.end()) {
            const std::string& bytes = found->second.data;
            // Like Windows, a buffer too small gets part of the data and
            // the size needed; the caller must not take it as a string.
            std::memcpy(data, bytes.data(), bytes.size() < capacity ? bytes.size() : capacity);
            result = bytes.size() <= capacity ? kErrorSuccess : kErrorMoreData;
            *size = static_cast<uint32_t>(bytes.size());
        }
    }
    record("RegQueryValueExA " + std::string(name) + " " + std::to_string(capacity) + " -> " +
           std::to_string(result));
    return result;
}

void SimulatedMachine::raw_close_key(RegKey key) {
    record("  RegCloseKey");
    open_keys_.erase(key);
}

void SimulatedMachine::reg_close_key(RegKey key) {
    record("RegCloseKey");
    open_keys_.erase(key);
}

long SimulatedMachine::raw_delete_key(RegKey parent, const char* name) {
    const std::string folded = below(parent, name);
    long result = kErrorSuccess;
    std::vector<std::string> doomed;
    for (const auto& entry : keys_) {
        if (is_below(entry.first, folded)) doomed.push_back(entry.first);
    }
    if (folded.empty() || keys_.count(folded) == 0) {
        result = kErrorFileNotFound;
    } else if (nt_key_deletion && !doomed.empty()) {
        result = kErrorAccessDenied;
    } else {
        for (const std::string& gone : doomed) keys_.erase(gone);
        keys_.erase(folded);
    }
    record("  RegDeleteKeyA " + std::string(name) + " -> " + std::to_string(result));
    return result;
}

long SimulatedMachine::raw_enum_key(RegKey key, uint32_t index, char* name, uint32_t* length) {
    long result = kErrorNoMoreItems;
    auto open = open_keys_.find(key);
    if (open == open_keys_.end()) result = kErrorFileNotFound;
    const std::string folded = open == open_keys_.end() ? std::string(1, '\0') : open->second;
    uint32_t seen = 0;
    for (const auto& entry : keys_) {
        if (!is_below(entry.first, folded)) continue;
        const std::string rest = entry.first.substr(folded.empty() ? 0 : folded.size() + 1);
        if (rest.find('\\') != std::string::npos || seen++ != index) continue;
        const std::string shown = entry.second.name.substr(entry.second.name.size() - rest.size());
        result = kErrorMoreData;
        if (shown.size() + 1 <= *length) {
            std::memcpy(name, shown.c_str(), shown.size() + 1);
            *length = static_cast<uint32_t>(shown.size());
            result = kErrorSuccess;
        }
        break;
    }
    record("  RegEnumKeyExA " + std::to_string(index) + " -> " + std::to_string(result));
    return result;
}

long SimulatedMachine::reg_delete_key(const char* sub_key) {
    SimulatedRaw raw{*this};
    const long result = delete_key_tree(raw, sub_key);
    record("RegDeleteKeyA " + std::string(sub_key) + " -> " + std::to_string(result));
    return result;
}

long SimulatedMachine::reg_delete_value(RegKey key, const char* name) {
    long result = kErrorFileNotFound;
    auto open = open_keys_.find(key);
    if (open != open_keys_.end() && keys_.count(open->second) != 0) {
        result = keys_[open->second].values.erase(fold_name(name)) != 0 ? kErrorSuccess
                                                                        : kErrorFileNotFound;
    }
    record("RegDeleteValueA " + std::string(name) + " -> " + std::to_string(result));
    return result;
}

uint32_t SimulatedMachine::directory_query(const char* call, const std::string& directory,
                                           char* buffer, uint32_t capacity) {
    record(std::string(call) + " " + std::to_string(capacity));
    if (directory_fails) return 0;
    if (directory.size() + 1 > capacity) return static_cast<uint32_t>(directory.size() + 1);
    std::memcpy(buffer, directory.c_str(), directory.size() + 1);
    return static_cast<uint32_t>(directory.size());
}

uint32_t SimulatedMachine::get_windows_directory(char* buffer, uint32_t capacity) {
    return directory_query("GetWindowsDirectoryA", windows_directory, buffer, capacity);
}

uint32_t SimulatedMachine::get_system_directory(char* buffer, uint32_t capacity) {
    return directory_query("GetSystemDirectoryA", system_directory, buffer, capacity);
}

bool SimulatedMachine::delete_file(const char* path) {
    auto found = files_.find(fold_name(path));
    const bool deleted = found != files_.end() && !found->second.read_only;
    if (deleted) files_.erase(found);
    record("DeleteFileA " + std::string(path) + (deleted ? " -> deleted" : " -> failed"));
    return deleted;
}

FileHandle SimulatedMachine::file_open_read(const char* path) {
    const bool exists = files_.count(fold_name(path)) != 0;
    record("OpenRead " + std::string(path) + (exists ? " -> open" : " -> failed"));
    if (!exists) return 0;
    const FileHandle handle = next_handle_++;
    open_files_[handle] = OpenFile{fold_name(path), 0, false};
    return handle;
}

int32_t SimulatedMachine::file_read(FileHandle file, void* buffer, uint32_t count) {
    auto open = open_files_.find(file);
    int32_t got = -1;
    if (open != open_files_.end() && !faults.read_fails && files_.count(open->second.path) != 0) {
        const std::string& bytes = files_[open->second.path].bytes;
        const size_t left = bytes.size() - std::min(bytes.size(), open->second.position);
        got = static_cast<int32_t>(std::min<size_t>(left, count));
        std::memcpy(buffer, bytes.data() + open->second.position, got);
        open->second.position += got;
    }
    faults.read_fails = false;
    record("Read " + std::to_string(count) + " -> " + std::to_string(got));
    return got;
}

FileHandle SimulatedMachine::file_open_rewrite(const char* path) {
    auto found = files_.find(fold_name(path));
    const bool opens =
        found != files_.end() && !found->second.read_only && !faults.open_rewrite_fails;
    faults.open_rewrite_fails = false;
    record("OpenRewrite " + std::string(path) + (opens ? " -> open" : " -> failed"));
    if (!opens) return 0;
    const FileHandle handle = next_handle_++;
    open_files_[handle] = OpenFile{found->first, 0, true};
    return handle;
}

uint32_t SimulatedMachine::file_write(FileHandle file, const void* data, uint32_t count) {
    auto open = open_files_.find(file);
    uint32_t written = 0;
    if (open != open_files_.end() && open->second.writable && !faults.write_fails) {
        written = count;
        if (faults.short_write_limit >= 0 && faults.short_write_limit < count) {
            written = static_cast<uint32_t>(faults.short_write_limit);
        }
        if (faults.short_write_by > 0)
            written -= std::min<uint32_t>(written, faults.short_write_by);
        std::string& bytes = files_[open->second.path].bytes;
        const size_t at = open->second.position;
        if (bytes.size() < at + written) bytes.resize(at + written);
        bytes.replace(at, written, static_cast<const char*>(data), written);
        open->second.position += written;
    }
    if (count != 0)
        faults.write_fails = false, faults.short_write_limit = -1, faults.short_write_by = 0;
    record("Write " + std::to_string(count) + " -> " + std::to_string(written));
    return written;
}

bool SimulatedMachine::file_rewind(FileHandle file) {
    auto open = open_files_.find(file);
    if (open == open_files_.end()) return false;
    open->second.position = 0;
    record("Rewind");
    return true;
}

bool SimulatedMachine::file_set_end(FileHandle file) {
    auto open = open_files_.find(file);
    if (open == open_files_.end() || !open->second.writable) return false;
    files_[open->second.path].bytes.resize(open->second.position);
    record("SetEnd " + std::to_string(open->second.position));
    return true;
}

void SimulatedMachine::file_close(FileHandle file) {
    open_files_.erase(file);
    record("Close");
}

void SimulatedMachine::exit_process(uint32_t code) {
    record("ExitProcess " + std::to_string(code));
    if (!exited) exit_code = code;
    exited = true;
}

} // namespace talvex
