#include "files/directory_query.h"

#include "system/system_services.h"

namespace talvex {
namespace {

uint32_t query(SystemServices& sys, Directory which, char* buffer, unsigned capacity) {
    return which == Directory::Windows ? sys.get_windows_directory(buffer, capacity)
                                       : sys.get_system_directory(buffer, capacity);
}

} // namespace

bool start_with_directory(SystemServices& sys, Directory which, unsigned capacity,
                          PathBuilder& path) {
    char directory[kFullDirectoryCapacity];
    uint32_t length = query(sys, which, directory, capacity);
    if (length == 0 || length >= capacity) {
        length = query(sys, which, directory, kFullDirectoryCapacity);
        if (length == 0 || length >= kFullDirectoryCapacity) return false;
    }
    directory[length] = 0;
    path.append(directory);
    return path.ok();
}

} // namespace talvex
