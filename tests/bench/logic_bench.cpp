// The cost of the logic itself, on the simulated machine.
#include <benchmark/benchmark.h>

#include <string>

#include "files/line_remover.h"
#include "fixture_loader.h"
#include "run/uninstall_run.h"

namespace {

void WholeSilentRun(benchmark::State& state) {
    const talvex::fixture::Fixture full = talvex::fixture::load("full");
    for (auto _ : state) {
        state.PauseTiming();
        talvex::SimulatedMachine machine;
        machine.command_line_text = "talvexun.exe /s";
        talvex::fixture::seed(machine, full);
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
