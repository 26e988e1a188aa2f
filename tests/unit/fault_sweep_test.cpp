// Every call of a silent run on a full installation fails in turn, once or
// from then on, as a disk, a registry or a whole machine may fail. Whatever
// fails, the run ends with exit code 0 and reaches nothing outside the card.
#include <gtest/gtest.h>

#include "fixture_loader.h"
#include "run/uninstall_run.h"

namespace talvex {
namespace {

struct SweepCase {
    bool nt;
    bool from_then_on;
};

void PrintTo(const SweepCase& c, std::ostream* out) {
    *out << (c.nt ? "NT family" : "Windows 95") << (c.from_then_on ? ", from then on" : ", once");
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, NothingOutsideTheCardIsLostAndEveryFileIsWhole) {
    const fixture::Fixture f = fixture::load("full");
    auto run = [&](unsigned nth) {
        auto machine = std::make_unique<SimulatedMachine>();
        machine->nt_key_deletion = GetParam().nt;
        machine->command_line_text = "talvexun.exe /s";
        machine->fault = {nth, GetParam().from_then_on};
        fixture::seed(*machine, f);
        uninstall_run(*machine);
        return machine;
    };
    const unsigned calls = run(0)->calls();
    ASSERT_GT(calls, 0u);
    for (unsigned nth = 1; nth <= calls; ++nth) {
        const auto machine = run(nth);
        SCOPED_TRACE("call " + std::to_string(nth) + " fails");
        EXPECT_EQ(machine->exit_code, 0u);
        for (const std::string& key : f.keys) {
            EXPECT_TRUE(machine->has_key(key) || !fixture::expected_present(f, key)) << key;
        }
        for (const auto& v : f.values) {
            if (!fixture::expected_present(f, v.key) ||
                f.gone_values.count(fold_name(v.key + "|" + v.name)) != 0) {
                continue;
            }
            EXPECT_TRUE(machine->has_value(v.key, v.name)) << v.key << "|" << v.name;
        }
        for (const auto& file : f.files) {
            const std::string path = fixture::place(file.where);
            if (f.gone_files.count(fold_name(file.where)) != 0) continue;
            ASSERT_TRUE(machine->has_file(path)) << path;
            // A machine that stops answering in the middle of a rewrite leaves
            // what a power failure would: nothing can put the old bytes back.
            if (GetParam().from_then_on) continue;
            const std::string bytes = machine->file_bytes(path);
            auto becomes = f.becomes.find(fold_name(file.where));
            EXPECT_TRUE(bytes == file.data ||
                        (becomes != f.becomes.end() && bytes == becomes->second))
                << path << " holds " << ::testing::PrintToString(bytes);
        }
        if (HasFailure()) break; // the first failing call says enough
    }
}

INSTANTIATE_TEST_SUITE_P(Families, FaultSweep,
                         ::testing::Values(SweepCase{false, false}, SweepCase{false, true},
                                           SweepCase{true, false}, SweepCase{true, true}),
                         [](const auto& info) {
                             return std::string(info.param.nt ? "Nt" : "Windows95") +
                                    (info.param.from_then_on ? "FromThenOn" : "Once");
                         });

} // namespace
} // namespace talvex
