#include "files/startup_file_purge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "system/simulated_machine.h"
#include "trace_helpers.h"

namespace talvex {
namespace {

// Every case variant of a token: fewer capitals first, then by the positions
// made capital, counted among the letters from the left.
std::vector<std::string> case_variants(const std::string& token) {
    std::vector<std::string> variants = {token};
    for (size_t i = 0; i < token.size(); ++i) {
        if (!std::isalpha(static_cast<unsigned char>(token[i]))) continue;
        for (size_t v = 0, n = variants.size(); v < n; ++v) {
            variants.push_back(variants[v]);
            variants.back()[i] = static_cast<char>(std::toupper(token[i]));
        }
    }
    const auto capitals = [](const std::string& variant) {
        std::vector<size_t> at;
        for (size_t i = 0; i < variant.size(); ++i) {
            if (std::isupper(static_cast<unsigned char>(variant[i]))) at.push_back(i);
        }
        return std::make_pair(at.size(), at);
    };
    std::sort(variants.begin(), variants.end(),
              [&](const auto& a, const auto& b) { return capitals(a) < capitals(b); });
    return variants;
}

// The files in the order they are purged, each with its token.
const std::pair<std::string, std::string> kTargets[] = {{"c:\\config.sys", "cs4232c"},
                                                        {"c:\\autoexec.bat", "cs32mix"},
                                                        {"C:\\WINDOWS\\dosstart.bat", "cs4232c"}};

// Each file holds a line for every variant of its token, in reverse order of
// the search and each of a length of its own, so the size each rewrite takes
// off tells which variant that call removed.
TEST(StartupFilePurge, EachFileIsSearchedForEveryVariantInOrder) {
    SimulatedMachine machine;
    std::map<std::string, std::map<size_t, std::string>> variant_of_removed_size;
    std::map<std::string, size_t> size;
    std::vector<std::string> expected;
    for (const auto& [path, token] : kTargets) {
        const std::vector<std::string> variants = case_variants(token);
        std::string text = "REM\r\n";
        for (size_t i = variants.size(); i-- > 0;) {
            const std::string line = "LH " + variants[i] + std::string(i, '.');
            variant_of_removed_size[path][line.size() + 2] = variants[i];
            text += line + "\r\n";
        }
        machine.add_file(path, text);
        size[path] = text.size();
        for (const std::string& variant : variants) expected.push_back(path + " " + variant);
    }
    purge_startup_files(machine);
    std::vector<std::string> removed;
    std::string path;
    for (const std::string& call :
         without_outcome(lines_starting_with(machine.trace, {"OpenEdit ", "Write "}))) {
        if (call.rfind("OpenEdit ", 0) == 0) {
            path = call.substr(call.find(' ') + 1);
            continue;
        }
        const size_t written = std::stoul(call.substr(call.find(' ') + 1));
        removed.push_back(path + " " + variant_of_removed_size[path][size[path] - written]);
        size[path] = written;
    }
    EXPECT_EQ(removed, expected);
    for (const auto& target : kTargets) EXPECT_EQ(machine.file_bytes(target.first), "REM\r\n");
    // One directory query, between the last autoexec.bat and the first dosstart.bat call.
    const auto around = lines_starting_with(machine.trace, {"Get", "OpenEdit c:\\autoexec"});
    EXPECT_EQ(around.back(), "GetWindowsDirectoryA 20");
    EXPECT_EQ(lines_starting_with(around, {"Get"}).size(), 1u);
}

// dosstart.bat's path begins with the directory just delivered, or is not
// composed at all.
TEST(StartupFilePurge, DosstartPathFollowsTheWindowsDirectory) {
    const struct {
        std::string directory;
        bool fails;
        std::string path;
        std::vector<std::string> queries;
    } cases[] = {
        {"C:\\", false, "C:\\\\dosstart.bat", {"GetWindowsDirectoryA 20"}},
        {"C:\\Windows\\TalvexUser0123",
         false,
         "C:\\Windows\\TalvexUser0123\\dosstart.bat",
         {"GetWindowsDirectoryA 20", "GetWindowsDirectoryA 260"}},
        {"C:\\WINDOWS",
         true,
         "c:\\autoexec.bat",
         {"GetWindowsDirectoryA 20", "GetWindowsDirectoryA 260"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory);
        SimulatedMachine machine;
        machine.windows_directory = c.directory;
        machine.directory_fails = c.fails;
        purge_startup_files(machine);
        EXPECT_EQ(call_arguments(machine.trace, "OpenEdit").back(), c.path);
        EXPECT_EQ(lines_starting_with(machine.trace, {"GetWindowsDirectoryA"}), c.queries);
    }
}

} // namespace
} // namespace talvex
