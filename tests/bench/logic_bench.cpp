// The cost of the logic itself, on the simulated machine.
#include <benchmark/benchmark.h>

#include <string>

#include "files/line_remover.h"
#include "run/uninstall_run.h"
#include "system/simulated_machine.h"

namespace {

void install(talvex::SimulatedMachine& machine) {
    for (int slot = 0; slot < 6; ++slot) {
        const std::string driver = "MEDIA\\001" + std::to_string(slot);
        machine.set_string("Enum\\ISAPNP\\CSC9836_DEV000" + std::to_string(slot) + "\\FFFFFFFF",
                           "Driver", driver);
        machine.set_string("System\\CurrentControlSet\\Services\\Class\\" + driver, "InfPath",
                           "talvex" + std::to_string(slot) + ".inf");
        machine.add_file("C:\\WINDOWS\\inf\\talvex" + std::to_string(slot) + ".inf", "[Version]");
    }
    for (const char* name : {"cs32ba11.drv", "dream95.drv", "vwstream.vxd", "cwbfm.drv"}) {
        machine.add_file(std::string("C:\\WINDOWS\\SYSTEM\\") + name, "MZ");
    }
    machine.set_string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Talvexhst", "x");
    machine.add_file("c:\\config.sys", "DEVICE=HIMEM.SYS\r\nDEVICE=CS4232C.EXE\r\nFILES=40\r\n");
    machine.add_file("c:\\autoexec.bat", "@ECHO OFF\r\nCS32MIX.EXE /L\r\n");
    machine.add_file("C:\\WINDOWS\\dosstart.bat", "LH cs4232c.exe\r\n");
}

void WholeSilentRun(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        talvex::SimulatedMachine machine;
        machine.command_line_text = "talvexun.exe /s";
        install(machine);
        state.ResumeTiming();
        talvex::uninstall_run(machine);
        benchmark::DoNotOptimize(machine.trace.size());
    }
}
BENCHMARK(WholeSilentRun);

void RemoveLine(benchmark::State& state) {
    std::string text;
    while (text.size() < static_cast<size_t>(state.range(0))) text += "REM a start-up line\r\n";
    text.insert(text.size() / 2, "LH C:\\WINDOWS\\CS4232C.EXE\r\n");
    for (auto _ : state) {
        state.PauseTiming();
        talvex::SimulatedMachine machine;
        machine.add_file("c:\\config.sys", text);
        state.ResumeTiming();
        talvex::remove_line_containing(machine, "c:\\config.sys", "CS4232C");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RemoveLine)->Arg(1024)->Arg(4096)->Arg(65536 - 64);

} // namespace

BENCHMARK_MAIN();
