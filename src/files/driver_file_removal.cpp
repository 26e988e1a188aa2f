#include "files/driver_file_removal.h"

#include "files/directory_query.h"
#include "system/characters.h"
#include "system/system_services.h"
#include "system/text.h"

namespace talvex {
namespace {

constexpr const char* kWindowsFileList[] = {
    "\\94pc4m1.bin", "\\talvex.bin",  "\\cs32mix.exe", "\\cs4232.ini",  "\\cs4232.wcm",
    "\\cwaudio.bin", "\\cwbinit.ini", "\\cwbinit.wcm", "\\cs4232c.exe", "\\cwbaudio.bin",
};

constexpr const char* kSystemFileList[] = {
    "\\cs32ba11.drv", "\\cs4232ld.vxd", "\\csmidi.drv",    "\\csmidi.vxd",   "\\cspcple.dll",
    "\\cwaudio.vxd",  "\\dream95.drv",  "\\dream95.vxd",   "\\msgloop.exe",  "\\sysvol.exe",
    "\\vwstream.vxd", "\\wstream.dll",  "\\cwbaudio.drv",  "\\cwbaudio.vxd", "\\cwbmidi.drv",
    "\\cwbmidi.vxd",  "\\cwbpcple.dll", "\\cwbaudiox.vxd", "\\vwstream.vxd", "\\Vwstream.dll",
    "\\cwbfm.drv",
};

constexpr const char* kInfFolders[] = {"\\inf\\", "\\inf\\other\\"};

// Room for a 259-character directory, "\inf\other\" and a 19-character name.
constexpr unsigned kPathCapacity = 300;
static_assert(kPathCapacity >
              kFullDirectoryCapacity - 1 + text_length("\\inf\\other\\") + kValueCapacity - 1);

void delete_in(SystemServices& sys, Directory which, unsigned capacity, const char* folder,
               const char* name) {
    char buffer[kPathCapacity];
    PathBuilder path(buffer, sizeof buffer);
    if (!start_with_directory(sys, which, capacity, path)) return;
    path.append(folder).append(name);
    if (path.ok()) sys.delete_file(path.c_str());
}

} // namespace

bool is_plain_file_name(const char* name, SystemServices& sys) {
    if (text_equal(name, ".") || text_equal(name, "..")) return false;
    // A wildcard names no one file, and a deletion may expand it. These bytes
    // lie below every trail byte, so each refuses wherever it stands.
    for (const char* p = name; *p != 0; ++p) {
        if (*p == '/' || *p == ':' || *p == '*' || *p == '?') return false;
    }
    // A trail byte 0x5C separates nothing. Half a character names no file,
    // yet the system's conversion of the path may drop it and name another.
    for (const char* p = name; *p != 0; p = next_character(p, sys)) {
        if (*p == '\\' || (p[1] == 0 && sys.is_dbcs_lead_byte(static_cast<unsigned char>(*p)))) {
            return false;
        }
    }
    return true;
}

void remove_inf_files(SystemServices& sys, const DeviceTable& table, unsigned capacity) {
    for (const DeviceSlot& slot : table.slots) {
        if (!is_plain_file_name(slot.inf_path, sys)) continue;
        for (const char* folder : kInfFolders) {
            delete_in(sys, Directory::Windows, capacity, folder, slot.inf_path);
        }
    }
}

void remove_driver_files(SystemServices& sys, const DeviceTable& table) {
    for (const char* name : kWindowsFileList) {
        delete_in(sys, Directory::Windows, kShortDirectoryCapacity, "", name);
    }
    for (const char* name : kSystemFileList) {
        delete_in(sys, Directory::System, kShortDirectoryCapacity, "", name);
    }
    remove_inf_files(sys, table, kShortDirectoryCapacity);
}

} // namespace talvex
