#pragma once
// A Talvex installation seeded into the simulated machine.
#include <string>

#include "system/simulated_machine.h"

namespace talvex {

inline std::string slot_enum_key(int slot) {
    return "Enum\\ISAPNP\\CSC9836_DEV000" + std::to_string(slot) + "\\FFFFFFFF";
}

inline std::string class_key(const std::string& driver) {
    return "System\\CurrentControlSet\\Services\\Class\\" + driver;
}

inline const char* const kResourceKeys[] = {
    "aux\\cs32ba11.drv<0010>",  "mixer\\cs32ba11.drv<0010>", "wave\\cs32ba11.drv<0010>",
    "aux\\cwbaudio.drv<0010>",  "mixer\\cwbaudio.drv<0010>", "wave\\cwbaudio.drv<0010>",
    "midi\\cwbaudio.drv<0010>", "midi\\cwbfm.drv<0010>",     "joystick\\msjstick.drv<0011>",
    "midi\\csmidi.drv<0013>",   "midi\\cwbmidi.drv<0013>",   "midi\\dream95.drv<0014>",
    "mixer\\dream95.drv<0014>", "wave\\dream95.drv<0014>",   "Dream",
};

constexpr const char* kMediaResources = "System\\CurrentControlSet\\Control\\MediaResources\\";
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// All six instances, slot n with Driver MEDIA\001n and InfPath talvexn.inf,
// and every other key of the card.
inline void install_full_registry(SimulatedMachine& machine) {
    for (int slot = 0; slot < 6; ++slot) {
        const std::string driver = "MEDIA\\001" + std::to_string(slot);
        machine.set_string(slot_enum_key(slot), "Driver", driver);
        machine.set_string(class_key(driver), "InfPath", "talvex" + std::to_string(slot) + ".inf");
        machine.add_key(class_key(driver) + "\\Drivers\\wave\\cs32ba11.drv");
    }
    machine.add_key("Enum\\Root\\*CSC0004\\0000");
    machine.add_key("Enum\\Root\\*CSC0005\\0000");
    machine.add_key("Enum\\Root\\MEDIA\\0020");
    machine.add_key("Enum\\Root\\MEDIA\\0021");
    for (const char* entry : kResourceKeys) machine.add_key(std::string(kMediaResources) + entry);
    machine.set_string(kRunKey, "Talvexhst", "C:\\WINDOWS\\SYSTEM\\MSGLOOP.EXE");
    machine.add_key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Power\\shellex"
                    "\\PropertySheetHandlers\\Crystal Semiconductor Power Control Panel Extension");
    machine.add_key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MS-DOSOptions\\Crystal");
    machine.add_key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex");
}

} // namespace talvex
