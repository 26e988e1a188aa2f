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

    // A person who dismisses the box (Escape, or its close button where a
    // system offers one) has not said yes.
    if (mode == RunMode::Interactive) {
        const int answer =
            sys.message_box_ex(messages.prompt, kCaption, kConfirmationStyle, messages.language_id);
        if (answer == kIdNo || answer == kIdCancel) {
            sys.exit_process(0);
            return;
        }
    }

    // One copy cleans at a time: a copy started beside another waits here
    // until the other is done, then finds nothing left to do. Held for the
    // clean-up only, so no copy waits for a person. The wait is bounded, as
    // another program may hold the name: after it, or where no mutex can be
    // made, the run goes on without one.
    const MutexHandle clean_up = sys.mutex_create(kCleanUpMutex);
    const bool owned = clean_up != 0 && sys.mutex_wait(clean_up, kCleanUpWaitMilliseconds);
    DeviceTable table = {};
    discover_device_instances(sys, table);
    remove_inf_files(sys, table, kFirstInfPassCapacity);
    remove_registry_entries(sys, table);
    remove_driver_files(sys, table);
    purge_startup_files(sys);
    if (clean_up != 0) sys.mutex_close(clean_up, owned);

    if (mode == RunMode::Interactive) {
        sys.message_box_ex(messages.completion, kCaption, kCompletionStyle, messages.language_id);
    }
    sys.exit_process(0);
}

} // namespace talvex
