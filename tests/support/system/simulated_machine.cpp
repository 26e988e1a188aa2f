#include "system/simulated_machine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace talvex {

namespace {

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

[[noreturn]] void not_open(const char* call, uintptr_t handle) {
    std::fprintf(stderr, "%s through handle 0x%lX, which is not open\n", call,
                 static_cast<unsigned long>(handle));
    std::abort();
}

bool is_below(const std::string& folded, const std::string& folded_parent) {
    return folded.size() > folded_parent.size() + 1 &&
           folded.compare(0, folded_parent.size(), folded_parent) == 0 &&
           folded[folded_parent.size()] == '\\';
}

// RegEnumKeyExA's best-fit mapping to code page 1252: the fullwidth reverse
// solidus and the set minus (U+FF3C, U+2216, here in UTF-8) read back as `\`.
std::string best_fit(const std::string& name) {
    std::string shown;
    for (size_t i = 0; i < name.size(); ++i) {
        const bool wide =
            name.compare(i, 3, "\xEF\xBC\xBC") == 0 || name.compare(i, 3, "\xE2\x88\x96") == 0;
        shown += wide ? '\\' : name[i];
        if (wide) i += 2;
    }
    return shown;
}

const std::string kLinkValueName = fold_name(win::kSymbolicLinkValue);

} // namespace

SimulatedMachine::SimulatedMachine(Family family) : family(family) {
    keys_[""] = Key{"", {}};
    add_key("SOFTWARE"); // as on every Windows
    add_key(has_links(family) ? "System\\ControlSet001" : "System\\CurrentControlSet");
    if (has_links(family)) add_link("System\\CurrentControlSet", "System\\ControlSet001");
}

void SimulatedMachine::record(const std::string& line) {
    trace.push_back(exited ? "AFTER EXIT " + line : line);
}

bool SimulatedMachine::fails() {
    if (++calls_ == before_call_nth && before_call) before_call();
    return fault.nth != 0 && (calls_ == fault.nth || (fault.from_then_on && calls_ > fault.nth));
}

// Each level in turn, as RegCreateKeyExA makes the keys above a new one.
void SimulatedMachine::add_key(const std::string& path) {
    std::string made;
    for (size_t at = 0; at < path.size();) {
        size_t end = at;
        while (end < path.size() && path[end] != '\\') end += character_size(path, end);
        if (end > at) {
            const std::string level = path.substr(at, end - at);
            made.append(made.empty() ? "" : "\\").append(level);
            const std::string folded = resolve(key_path(made), true);
            if (keys_.count(folded) == 0) keys_[folded] = Key{level, {}};
        }
        at = end + 1;
    }
}

size_t SimulatedMachine::character_size(const std::string& text, size_t at) const {
    return lead_bytes[static_cast<unsigned char>(text[at])] && at + 1 < text.size() ? 2 : 1;
}

// As the registry compares paths: by characters, so that a trail byte 0x5C
// (kept as 0, which no name holds) separates nothing; ASCII letters in either
// case alike; a run of backslashes one separator, and a trailing one none, as
// Wine takes them.
std::string SimulatedMachine::key_path(const std::string& path) const {
    std::string folded;
    for (size_t at = 0; at < path.size(); at += character_size(path, at)) {
        const char c = path[at];
        if (character_size(path, at) == 2) {
            folded += {c, path[at + 1] == '\\' ? '\0' : path[at + 1]};
        } else if (c != '\\' || folded.empty() || folded.back() != '\\') {
            folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    if (folded.size() > 1 && folded.back() == '\\') folded.pop_back();
    return folded;
}

void SimulatedMachine::set_value(const std::string& key, const std::string& name, uint32_t type,
                                 const std::string& data) {
    add_key(key);
    keys_[resolve(key_path(key), true)].values[fold_name(name)] = Value{type, data};
}

void SimulatedMachine::add_link(const std::string& path, const std::string& target, uint32_t type) {
    // As the NT family stores it: UTF-16 text, no terminator.
    std::string utf16;
    for (char c : "\\Registry\\Machine\\" + target) utf16 += std::string{c, '\0'};
    set_value(path, win::kSymbolicLinkValue, type, utf16);
    const std::string folded = resolve(key_path(path), true);
    keys_[folded].link = true;
    links_.insert(folded);
}

void SimulatedMachine::add_file(const std::string& path, const std::string& bytes, bool read_only) {
    files_[fold_name(path)] = File{bytes, read_only};
}

bool SimulatedMachine::has_key(const std::string& path) const {
    return keys_.count(resolve(key_path(path), true)) != 0;
}

bool SimulatedMachine::has_value(const std::string& key, const std::string& name) const {
    auto found = keys_.find(resolve(key_path(key), true));
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
    if (fails()) return 0; // a box that cannot be shown
    if (box_answers.empty()) return win::kIdYes;
    const int answer = box_answers.front();
    box_answers.pop_front();
    return answer;
}

// The key a path names once the links on its way are followed, the last one
// too unless `open_link`. A link that leaves HKEY_LOCAL_MACHINE, or a ring of
// links, names no key here.
std::string SimulatedMachine::resolve(std::string folded, bool open_link) const {
    if (!has_links(family)) return folded;
    const std::string kNoKey(1, '\0');
    const std::string kMachine = "\\registry\\machine\\";
    for (unsigned hops = 0; hops < 32; ++hops) {
        // The first link on the way: the shortest link that is the path or
        // above it, and still a link. Only the links made need looking at.
        const Key* link = nullptr;
        size_t cut = 0;
        for (const std::string& made : links_) {
            const bool above = folded.size() > made.size() && folded[made.size()] == '\\';
            if ((above || (folded.size() == made.size() && !open_link)) &&
                folded.compare(0, made.size(), made) == 0 &&
                (link == nullptr || made.size() < cut)) {
                auto key = keys_.find(made);
                if (key != keys_.end() && key->second.link) link = &key->second, cut = made.size();
            }
        }
        if (link == nullptr) return folded;
        // As Wine: a link without its value names nothing.
        auto value = link->values.find(kLinkValueName);
        if (value == link->values.end()) return kNoKey;
        std::string target;
        for (size_t i = 0; i < value->second.data.size(); i += 2) target += value->second.data[i];
        target = key_path(target);
        if (target.compare(0, kMachine.size(), kMachine) != 0) return kNoKey;
        folded = target.substr(kMachine.size()) + folded.substr(cut);
    }
    return kNoKey;
}

// The key `name` names below the open `parent` (0: HKEY_LOCAL_MACHINE), or
// a path of 0 that names none. An empty name is the parent itself, once more.
std::string SimulatedMachine::below(RegKey parent, const char* name, bool open_link) const {
    if (parent == 0) return resolve(key_path(name), open_link);
    return resolve(key_path(open_key(parent, "RegOpenKeyExA").folded + "\\" + name), open_link);
}

const SimulatedMachine::OpenKey& SimulatedMachine::open_key(RegKey key, const char* call) const {
    auto open = open_keys_.find(key);
    if (open == open_keys_.end()) not_open(call, key);
    return open->second;
}

// How the program reached the key: "{path} " in the record, nothing for
// HKEY_LOCAL_MACHINE.
std::string SimulatedMachine::named(RegKey key, const char* call) const {
    return key == 0 ? std::string() : "{" + open_key(key, call).named + "} ";
}

// Where keys cannot be looked at, the original Windows 95 refuses the link
// option, or answers "not found", before anything else.
long SimulatedMachine::reg_open_key_ex(RegKey parent, const char* sub_key, uint32_t options,
                                       uint32_t access, RegKey* key) {
    const std::string line = "RegOpenKeyExA " + named(parent, "RegOpenKeyExA") + sub_key + " " +
                             hex(options) + " " + hex(access) + " -> ";
    long result = win::kErrorSuccess;
    *key = 0;
    const std::string folded = below(parent, sub_key, options == win::kRegOptionOpenLink);
    if (options != 0 && !opens_as_itself(family)) {
        result =
            family == Family::Windows95 ? win::kErrorInvalidParameter : win::kErrorFileNotFound;
    } else if (fails()) {
        result = win::kErrorAccessDenied;
    } else if (keys_.count(folded) == 0) {
        result = win::kErrorFileNotFound;
    } else {
        *key = next_handle_++;
        const std::string path =
            parent == 0 ? sub_key : open_key(parent, "").named + "\\" + sub_key;
        open_keys_[*key] = OpenKey{folded, path};
    }
    record(line + std::to_string(result));
    return result;
}

// As Windows: with no buffer only the size is told; a buffer too small gets
// part of the data and the size needed, which the caller must not take as a
// string.
long SimulatedMachine::reg_query_value_ex(RegKey key, const char* name, unsigned char* data,
                                          uint32_t* size) {
    const std::string line = "RegQueryValueExA " + named(key, "RegQueryValueExA") + name + " " +
                             (data == nullptr ? "-" : std::to_string(*size)) + " -> ";
    const Key* open = key_of(key);
    const auto value = open == nullptr ? nullptr : &open->values;
    long result = open == nullptr ? win::kErrorKeyDeleted : win::kErrorFileNotFound;
    if (fails()) {
        result = win::kErrorAccessDenied;
    } else if (value != nullptr && value->count(fold_name(name)) != 0) {
        const std::string& bytes = value->at(fold_name(name)).data;
        if (data != nullptr) std::memcpy(data, bytes.data(), std::min<size_t>(bytes.size(), *size));
        result =
            data == nullptr || bytes.size() <= *size ? win::kErrorSuccess : win::kErrorMoreData;
        *size = static_cast<uint32_t>(bytes.size());
    }
    record(line + std::to_string(result));
    return result;
}

void SimulatedMachine::reg_close_key(RegKey key) {
    const std::string line = "RegCloseKey {" + open_key(key, "RegCloseKey").named + "}";
    record(line + (fails() ? " -> failed" : ""));
    open_keys_.erase(key);
}

// Wine's 9x RegDeleteKeyA: opens the key without the option, deletes its
// first sub-key the same way until none is left or one fails, then the key.
long SimulatedMachine::delete_through_links(const std::string& folded, unsigned depth) {
    const std::string key = resolve(folded, false);
    if (key.empty() || keys_.count(key) == 0) return win::kErrorFileNotFound;
    if (depth > 200) { // the stack overflows: the process ends with 1
        record("CRASH Unhandled stack overflow in RegDeleteKeyA");
        if (!exited) exit_code = 1;
        exited = true;
        return win::kErrorAccessDenied;
    }
    for (auto child = keys_.lower_bound(key + "\\");
         child != keys_.end() && is_below(child->first, key);
         child = keys_.lower_bound(key + "\\")) {
        if (delete_through_links(child->first.substr(0, child->first.find('\\', key.size() + 1)),
                                 depth + 1) != win::kErrorSuccess) {
            return win::kErrorAccessDenied; // the key keeps its sub-keys
        }
    }
    keys_.erase(key);
    return win::kErrorSuccess;
}

long SimulatedMachine::reg_delete_key(RegKey parent, const char* sub_key) {
    const std::string line = "RegDeleteKeyA " + named(parent, "RegDeleteKeyA") + sub_key + " -> ";
    const std::string folded = below(parent, sub_key, false);
    long result = win::kErrorSuccess;
    std::vector<std::string> doomed;
    for (auto it = keys_.lower_bound(folded + "\\");
         it != keys_.end() && is_below(it->first, folded); ++it) {
        doomed.push_back(it->first);
    }
    if (fails()) {
        result = win::kErrorAccessDenied;
    } else if (folded.empty() || keys_.count(folded) == 0) {
        result = win::kErrorFileNotFound;
    } else if (family == Family::Wine9x) {
        result = delete_through_links(folded, 0);
    } else if (family == Family::Nt && !doomed.empty()) {
        result = win::kErrorAccessDenied;
    } else {
        for (const std::string& gone : doomed) keys_.erase(gone);
        keys_.erase(folded);
    }
    record(line + std::to_string(result));
    return result;
}

long SimulatedMachine::reg_enum_key_ex(RegKey key, uint32_t index, char* name, uint32_t* length) {
    const std::string line =
        "RegEnumKeyExA " + named(key, "RegEnumKeyExA") + std::to_string(index) + " -> ";
    const std::string folded = open_key(key, "").folded;
    long result = fails()                    ? win::kErrorAccessDenied
                  : keys_.count(folded) == 0 ? win::kErrorKeyDeleted
                                             : win::kErrorNoMoreItems;
    uint32_t seen = 0;
    for (auto it = keys_.lower_bound(folded + "\\");
         result == win::kErrorNoMoreItems && it != keys_.end() && is_below(it->first, folded);
         ++it) {
        const std::string rest = it->first.substr(folded.empty() ? 0 : folded.size() + 1);
        if (rest.find('\\') != std::string::npos || seen++ != index) continue;
        const std::string shown = best_fit(it->second.name);
        result = win::kErrorMoreData;
        if (shown.size() + 1 <= *length) {
            std::memcpy(name, shown.c_str(), shown.size() + 1);
            *length = static_cast<uint32_t>(shown.size());
            result = win::kErrorSuccess;
        }
    }
    record(line + std::to_string(result));
    return result;
}

long SimulatedMachine::reg_delete_value(RegKey key, const char* name) {
    const std::string line = "RegDeleteValueA " + named(key, "RegDeleteValueA") + name + " -> ";
    long result = win::kErrorAccessDenied;
    if (!fails()) {
        result = key_of(key) != nullptr && key_of(key)->values.erase(fold_name(name)) != 0
                     ? win::kErrorSuccess
                     : win::kErrorFileNotFound;
    }
    record(line + std::to_string(result));
    return result;
}

// GetVersion: Windows 95's and NT 4.0's, the 9x family's with its high bit.
uint32_t SimulatedMachine::get_version() {
    return family == Family::Nt ? 0x05650004u : 0xC3B60004u;
}

SimulatedMachine::Key* SimulatedMachine::key_of(RegKey key) {
    auto found = keys_.find(open_key(key, "").folded);
    return found == keys_.end() ? nullptr : &found->second;
}

uint32_t SimulatedMachine::directory_query(const char* call, const std::string& directory,
                                           char* buffer, uint32_t capacity) {
    record(std::string(call) + " " + std::to_string(capacity));
    if (fails() || directory_fails) return 0;
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

// A name with * or ? (any run, any one character) as Windows 95's DeleteFileA
// may take it: a pattern over the names of one folder.
static bool matches(const char* pattern, const char* name) {
    if (*pattern == '*')
        return matches(pattern + 1, name) || (*name != 0 && matches(pattern, name + 1));
    if (*name == 0 || *name == '\\') return *pattern == 0;
    return (*pattern == '?' || *pattern == *name) && matches(pattern + 1, name + 1);
}

// As Wine converts the name, a lead byte with nothing behind it is dropped:
// "oem.inf" and half a character names oem.inf.
bool SimulatedMachine::delete_file(const char* path) {
    std::string name = path;
    const auto lead = [&](size_t at) { return lead_bytes[static_cast<unsigned char>(name[at])]; };
    size_t last = 0; // where the last character begins
    for (size_t at = 0; at < name.size(); at += lead(at) ? 2 : 1) last = at;
    if (last + 1 == name.size() && lead(last)) name.pop_back();
    const std::string folded = fold_name(name);
    bool deleted = false;
    if (!fails()) {
        const size_t folder = folded.rfind('\\') + 1;
        for (auto it = files_.begin(); it != files_.end();) {
            const bool hit = it->first.compare(0, folder, folded, 0, folder) == 0 &&
                             it->first.find('\\', folder) == std::string::npos &&
                             matches(folded.c_str() + folder, it->first.c_str() + folder) &&
                             !it->second.read_only;
            deleted = deleted || hit;
            it = hit ? files_.erase(it) : std::next(it);
        }
    }
    record("DeleteFileA " + std::string(path) + (deleted ? " -> deleted" : " -> failed"));
    return deleted;
}

// Each side's access must lie in the other's share, as Windows checks it.
bool SimulatedMachine::shared(const std::string& folded, uint32_t access, uint32_t share) const {
    const auto allows = [](uint32_t access, uint32_t share) {
        return !((access & win::kGenericRead) && !(share & win::kFileShareRead)) &&
               !((access & win::kGenericWrite) && !(share & win::kFileShareWrite));
    };
    for (const auto& [handle, open] : open_files_) {
        if (open.path == folded && !(allows(access, open.share) && allows(open.access, share)))
            return false;
    }
    return true;
}

bool SimulatedMachine::other_program_appends(const std::string& path, const std::string& line) {
    auto found = files_.find(fold_name(path));
    if (found == files_.end() || !shared(found->first, win::kGenericRead | win::kGenericWrite,
                                         win::kFileShareRead | win::kFileShareWrite)) {
        return false;
    }
    std::string& bytes = found->second.bytes;
    bytes.insert(std::min(bytes.find('\x1A'), bytes.size()), line);
    return true;
}

// A read-only file does not open for writing.
FileHandle SimulatedMachine::file_open_edit(const char* path) {
    auto found = files_.find(fold_name(path));
    const uint32_t access = win::kGenericRead | win::kGenericWrite;
    const bool opens = !fails() && found != files_.end() && !found->second.read_only;
    const bool conflicts = opens && !shared(found->first, access, win::kFileShareRead);
    record("OpenEdit " + std::string(path) +
           (conflicts ? " -> failed " + std::to_string(win::kErrorSharingViolation)
            : opens   ? " -> open"
                      : " -> failed"));
    if (!opens || conflicts) return 0;
    open_files_[next_handle_] = OpenFile{found->first, 0, access, win::kFileShareRead};
    return next_handle_++;
}

SimulatedMachine::OpenFile& SimulatedMachine::open_file(FileHandle file, const char* call) {
    auto open = open_files_.find(file);
    if (open == open_files_.end()) not_open(call, file);
    return open->second;
}

int32_t SimulatedMachine::file_read(FileHandle file, void* buffer, uint32_t count) {
    OpenFile& open = open_file(file, "Read");
    int32_t got = -1;
    if (!fails()) {
        const std::string& bytes = files_[open.path].bytes;
        const size_t left = bytes.size() - std::min(bytes.size(), open.position);
        const uint32_t asked = read_limit != 0 ? std::min(count, read_limit) : count;
        got = static_cast<int32_t>(std::min<size_t>(left, asked));
        std::memcpy(buffer, bytes.data() + open.position, got);
        open.position += got;
    }
    record("Read " + std::to_string(count) + " -> " + std::to_string(got));
    return got;
}

uint32_t SimulatedMachine::file_write(FileHandle file, const void* data, uint32_t count) {
    OpenFile& open = open_file(file, "Write");
    const bool failed = fails();
    // A write that fails may have written all but its last byte first.
    const uint32_t reached = failed && count != 0 ? count - 1 : count;
    std::string& bytes = files_[open.path].bytes;
    if (bytes.size() < open.position + reached) bytes.resize(open.position + reached);
    bytes.replace(open.position, reached, static_cast<const char*>(data), reached);
    open.position += reached;
    const uint32_t written = failed ? 0 : reached;
    record("Write " + std::to_string(count) + " -> " + std::to_string(written));
    return written;
}

bool SimulatedMachine::file_rewind(FileHandle file) {
    OpenFile& open = open_file(file, "Rewind");
    const bool done = !fails();
    if (done) open.position = 0;
    record(done ? "Rewind" : "Rewind -> failed");
    return done;
}

bool SimulatedMachine::file_set_end(FileHandle file) {
    OpenFile& open = open_file(file, "SetEnd");
    const bool done = !fails();
    if (done) files_[open.path].bytes.resize(open.position);
    record(done ? "SetEnd " + std::to_string(open.position) : "SetEnd -> failed");
    return done;
}

void SimulatedMachine::file_flush(FileHandle file) {
    open_file(file, "Flush");
    record(fails() ? "Flush -> failed" : "Flush");
}

void SimulatedMachine::file_close(FileHandle file) {
    open_file(file, "Close");
    record(fails() ? "Close -> failed" : "Close");
    open_files_.erase(file);
}

MutexHandle SimulatedMachine::mutex_create(const char* name) {
    const bool made = !fails();
    record("CreateMutexA " + std::string(name) + (made ? " -> made" : " -> failed"));
    return made ? (mutex_ = next_handle_++) : 0;
}

bool SimulatedMachine::mutex_wait(MutexHandle mutex, uint32_t milliseconds) {
    if (mutex == 0 || mutex != mutex_) not_open("WaitForSingleObject", mutex);
    const bool owned = !fails();
    record("WaitForSingleObject " + std::to_string(milliseconds) +
           (owned ? " -> owned" : " -> timed out"));
    return owned;
}

void SimulatedMachine::mutex_close(MutexHandle mutex, bool owned) {
    if (mutex == 0 || mutex != mutex_) not_open("CloseHandle", mutex);
    if (owned) record("ReleaseMutex");
    record("CloseHandle");
    mutex_ = 0;
}

void SimulatedMachine::exit_process(uint32_t code) {
    record("ExitProcess " + std::to_string(code));
    if (!exited) exit_code = code;
    exited = true;
}

} // namespace talvex
