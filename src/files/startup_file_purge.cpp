#include "files/startup_file_purge.h"

#include "files/directory_query.h"
#include "files/line_remover.h"
#include "system/system_services.h"

namespace talvex {
namespace {

// Every case variant of each token: fewer capitals first, then by the
// positions made capital, so a line holding several variants goes first.
constexpr const char* kCs4232cVariants[] = {
    "cs4232c", "Cs4232c", "cS4232c", "cs4232C", "CS4232c", "Cs4232C", "cS4232C", "CS4232C",
};

constexpr const char* kCs32mixVariants[] = {
    "cs32mix", "Cs32mix", "cS32mix", "cs32Mix", "cs32mIx", "cs32miX", "CS32mix", "Cs32Mix",
    "Cs32mIx", "Cs32miX", "cS32Mix", "cS32mIx", "cS32miX", "cs32MIx", "cs32MiX", "cs32mIX",
    "CS32Mix", "CS32mIx", "CS32miX", "Cs32MIx", "Cs32MiX", "Cs32mIX", "cS32MIx", "cS32MiX",
    "cS32mIX", "cs32MIX", "CS32MIx", "CS32MiX", "CS32mIX", "Cs32MIX", "cS32MIX", "CS32MIX",
};

constexpr unsigned kDosstartDirectoryCapacity = 20;

template <unsigned N>
void remove_each(SystemServices& sys, const char* path, const char* const (&variants)[N]) {
    for (const char* variant : variants) remove_line_containing(sys, path, variant);
}

} // namespace

void purge_startup_files(SystemServices& sys) {
    remove_each(sys, "c:\\config.sys", kCs4232cVariants);
    remove_each(sys, "c:\\autoexec.bat", kCs32mixVariants);
    char buffer[kFullDirectoryCapacity + 16];
    static_assert(sizeof buffer > kFullDirectoryCapacity - 1 + text_length("\\dosstart.bat"));
    PathBuilder path(buffer, sizeof buffer);
    if (!start_with_directory(sys, Directory::Windows, kDosstartDirectoryCapacity, path)) return;
    path.append("\\dosstart.bat");
    if (path.ok()) remove_each(sys, path.c_str(), kCs4232cVariants);
}

} // namespace talvex
