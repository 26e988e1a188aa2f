#include "run/uninstall_run.h"

#include "files/driver_file_removal.h"
#include "files/startup_file_purge.h"
#include "registry/device_discovery.h"
#include "registry/registry_removal.h"
#include "run/command_line_tail.h"
#include "run/message_set.h"
#include "run/run_mode.h"
#include "system/system_services.h"

namespace talvex {

void uninstall_run(SystemServices& sys) {
    const MessageSet messages = select_message_set(sys.get_user_default_lang_id());
    const RunMode mode = run_mode_of(command_line_tail(sys.command_line(), sys));

    if (mode == RunMode::Interactive &&
        sys.message_box_ex(messages.prompt, kCaption, kConfirmationStyle, messages.language_id) ==
            kIdNo) {
        sys.exit_process(0);
        return;
    }

    DeviceTable table = {};
    discover_device_instances(sys, table);
    remove_inf_files(sys, table, kFirstInfPassCapacity);
    remove_registry_entries(sys, table);
    remove_driver_files(sys, table);
    purge_startup_files(sys);

    if (mode == RunMode::Interactive) {
        sys.message_box_ex(messages.completion, kCaption, kCompletionStyle, messages.language_id);
    }
    sys.exit_process(0);
}

} // namespace talvex
