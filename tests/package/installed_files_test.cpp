// An install into a DESTDIR with prefix /usr: every file where the desktop, man and bash look for
// it, and each usable there.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "package/package_support.h"
#include "scratch_dir.h"
#include "quolk_version.h"

namespace {

using package_test::FilesBelow;
using package_test::LongOptions;
using package_test::RunTool;

const std::string Usr = QUOLK_STAGED_DIR "/usr/";
const int IconSizes[] = {16, 32, 48, 64, 128, 256};

std::string Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos ? "" : "missing \"" + part + "\"";
}

TEST(InstalledFiles, EveryFileIsWhereTheFreedesktopLayoutExpectsIt) {
    std::vector<std::string> expected = {
        "bin/quolk",
        "lib/quolk/libquolk-heap.so",
        "lib/quolk/quolk",
        "lib/quolk/quolk-serve",
        "lib/systemd/system/quolk-serve.service",
        "lib/quolk/quolk-plot",
        "share/applications/quolk.desktop",
        "share/bash-completion/completions/quolk",
        "share/icons/hicolor/scalable/apps/quolk.svg",
        "share/man/man1/quolk.1",
        "share/quolk/prometheus/quolk.rules.yml",
    };
    for (int size : IconSizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        expected.push_back("share/icons/hicolor/" + folder + "/apps/quolk.png");
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesBelow(Usr), expected);
    // The installed binary runs from its new place.
    EXPECT_EQ(RunTool("'" + Usr + "bin/quolk' --version"), std::make_pair(0, std::string(QuolkNameAndVersion) + "\n"));
    // And finds the sampler where it was installed: the command loads it.
    const auto [status, json] = RunTool("'" + Usr + "bin/quolk' --record --stacks --duration 0.3 --interval 100 --json -- sleep 2 2>&1");
    EXPECT_EQ(status, 0) << json;
    EXPECT_TRUE(json.find("\"status\": \"ready\"") != std::string::npos ||
                json.find("\"status\": \"no_malloc_seen\"") != std::string::npos) << json;
}

TEST(InstalledFiles, IconRendersHaveTheSizesTheyClaim) {
    for (int size : IconSizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        const std::string png = ReadBytes(Usr + "share/icons/hicolor/" + folder + "/apps/quolk.png");
        ASSERT_GE(png.size(), 26u) << folder;
        // The signature, then the IHDR chunk: width and height as big-endian 32-bit numbers.
        EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n") << folder;
        EXPECT_EQ(png.substr(12, 4), "IHDR") << folder;
        auto bigEndian = [&](size_t at) {
            uint32_t value = 0;
            for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(png[at + i]);
            return value;
        };
        EXPECT_EQ(bigEndian(16), static_cast<uint32_t>(size)) << folder;
        EXPECT_EQ(bigEndian(20), static_cast<uint32_t>(size)) << folder;
        EXPECT_EQ(png[25], 6) << folder << ": not RGBA, so the rounded corners would not be clear";
    }
}

TEST(InstalledFiles, LauncherEntryPassesTheValidatorInFiveLanguages) {
    const std::string entry = Usr + "share/applications/quolk.desktop";
    auto [status, output] = RunTool("desktop-file-validate '" + entry + "'");
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("error:"), std::string::npos) << output;
    EXPECT_EQ(output.find("warning:"), std::string::npos) << output;
    const std::string text = ReadBytes(entry);
    std::vector<std::string> lines = {"Type=Application\n", "Name=Quolk\n", "Exec=quolk\n", "Icon=quolk\n",
                                      "Terminal=false\n", "\nGenericName=", "\nComment=", "\nKeywords="};
    for (const char* language : {"de", "fr", "es", "it"})
        for (const char* key : {"GenericName", "Comment", "Keywords"})
            lines.push_back(std::string("\n") + key + "[" + language + "]=");
    for (const std::string& line : lines) EXPECT_EQ(Contains(text, line), "");
}

TEST(InstalledFiles, ManualPageRendersWithoutWarningsAndNamesEveryOption) {
    const std::string page = Usr + "share/man/man1/quolk.1";
    EXPECT_EQ(RunTool("groff -ww -z -man '" + page + "'"), std::make_pair(0, std::string()));
    auto [status, rendered] = RunTool("MANWIDTH=80 man -l '" + page + "' | col -b");
    ASSERT_EQ(status, 0) << rendered;
    std::vector<std::string> parts = {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS",
                                      "ENVIRONMENT", "FILES", "EXAMPLES", "LANGUAGE", "LC_ALL",
                                      "LC_MESSAGES", "LANG", "HOME", "DISPLAY", "WAYLAND_DISPLAY",
                                      "_monitor.csv", " 64", QuolkNameAndVersion};
    // What the program itself offers: every option of its usage text.
    const std::string usage = RunTool("'" + Usr + "bin/quolk' --help").second;
    for (const std::string& option : LongOptions(usage)) parts.push_back(option);
    ASSERT_GT(parts.size(), 18u) << usage;
    for (const std::string& part : parts) EXPECT_EQ(Contains(rendered, part), "");
}

// The unit of quolk --serve and its alerting rules pass their own checkers: systemd's, with the
// staged tree as the root (where its ExecStart is), and Prometheus's.
TEST(InstalledFiles, ServiceUnitAndAlertingRulesPassTheirCheckers) {
    std::ifstream file(Usr + "lib/systemd/system/quolk-serve.service");
    const std::string unit{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    for (const char* line : {"\nExecStart=quolk --serve ", "\nDynamicUser=yes\n", "\nProtectSystem=strict\n",
                             "\nAmbientCapabilities=CAP_SYS_PTRACE\n", "\nCapabilityBoundingSet=CAP_SYS_PTRACE\n"})
        EXPECT_EQ(Contains(unit, line), "");
    // systemd looks quolk up in its own search path; the checker is shown the staged one.
    ScratchDir dir;
    std::string staged = unit;
    staged.replace(staged.find("ExecStart=quolk"), 15, "ExecStart=" + Usr + "bin/quolk");
    const auto [verified, complaints] =
        RunTool("systemd-analyze verify --man=no '" + dir.Write("quolk-serve.service", staged) + "'");
    EXPECT_EQ(verified, 0) << complaints;
    const auto [checked, report] = RunTool("promtool check rules '" + Usr + "share/quolk/prometheus/quolk.rules.yml'");
    EXPECT_EQ(checked, 0) << report;
    EXPECT_EQ(Contains(report, "SUCCESS: 2 rules found"), "");
}

// The candidates that the completion offers for the words, the last being completed, in `dir`.
std::set<std::string> Complete(const ScratchDir& dir, const std::vector<std::string>& words) {
    std::string array;
    for (const std::string& word : words) array += " '" + word + "'";
    const std::string script = dir.Write(".complete.sh", "source '" + Usr + "share/bash-completion/completions/quolk'\n"
                               "COMP_WORDS=(" + array + ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
                               "\n_quolk\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n");
    auto [status, output] = RunTool("cd '" + dir.path + "' && bash '" + script + "' </dev/null");
    EXPECT_EQ(status, 0) << output;
    std::set<std::string> candidates;
    for (size_t at = 0, end; (end = output.find('\n', at)) != std::string::npos; at = end + 1)
        if (end > at) candidates.insert(output.substr(at, end - at));
    return candidates;
}

TEST(InstalledFiles, BashCompletionOffersOptionsProcessesCommandsAndFiles) {
    ScratchDir dir;
    dir.Write("run log.csv", "");
    const std::string self = std::to_string(getpid());
    struct Case {
        std::vector<std::string> words;
        std::vector<std::string> offered, notOffered;
    };
    const Case cases[] = {
        {{"quolk", ""}, {"--analyze", "--record", "--help", "--version"}, {"--interval"}},
        {{"quolk", "--rec"}, {"--record"}, {"--analyze"}},
        {{"quolk", "--record", ""}, {self, "1"}, {"bash", "run log.csv"}},
        {{"quolk", "--record", "--du"}, {"--duration"}, {}},
        {{"quolk", "--record", "--duration", "5", "--", "bas"}, {"bash"}, {self}},
        {{"quolk", "--record", "--", "bash", "run"}, {"run log.csv"}, {"bash"}},
        {{"quolk", "--analyze", ""}, {"run log.csv"}, {"--json"}},
        {{"quolk", "--analyze", "r"}, {"run log.csv"}, {}},
        {{"quolk", "--analyze", "x.csv", "--"}, {"--json", "--fail-on-leak"}, {"--record"}},
        {{"quolk", "--record", self, "--csv", ""}, {"run log.csv"}, {"--json"}},
        {{"quolk", "--record", self, "--profile", ""}, {"default", "menu-bar", "file-converter"}, {}},
        {{"quolk", "--record", self, "--interval", ""}, {}, {"run log.csv", "--json"}},
        // Options come in any order.
        {{"quolk", "--json", ""}, {"--analyze", "--record"}, {"--help"}},
        {{"quolk", "--interval", "500", "--record", ""}, {self}, {}},
        {{"quolk", "--json", "--analyze", "x.csv", "--f"}, {"--fail-on-leak"}, {"--interval"}},
        {{"quolk", "--compare", "r"}, {"run log.csv"}, {}},
        {{"quolk", "--compare", "a.csv", "r"}, {"run log.csv"}, {}},
        {{"quolk", "--compare", "a.csv", "b.csv", "--"}, {"--fail-on-regression", "--plot"}, {"--fail-on-leak"}},
    };
    for (const Case& c : cases) {
        const std::set<std::string> candidates = Complete(dir, c.words);
        const std::string line = c.words.back() + " after " + c.words[c.words.size() - 2];
        for (const std::string& word : c.offered) EXPECT_TRUE(candidates.count(word)) << line << ": " << word;
        for (const std::string& word : c.notOffered) EXPECT_FALSE(candidates.count(word)) << line << ": " << word;
    }
}

TEST(InstalledFiles, BashCompletionKnowsEveryOptionOfTheUsageText) {
    ScratchDir dir;
    std::set<std::string> known;
    for (const auto& words : {std::vector<std::string>{"quolk", "--"}, {"quolk", "--record", "1", "--"},
                              {"quolk", "--analyze", "x.csv", "--"}, {"quolk", "--serve", "--"},
                              {"quolk", "--compare", "a", "b", "--"}})
        known.merge(Complete(dir, words));
    const std::vector<std::string> options = LongOptions(RunTool("'" + Usr + "bin/quolk' --help").second);
    ASSERT_GE(options.size(), 3u);
    for (const std::string& option : options) EXPECT_TRUE(known.count(option)) << option;
}

// The project's Makefile, run without sudo: the tests install into their own folders only.
const std::string Make = "make -s SUDO= -C '" QUOLK_SOURCE_DIR "' ";

TEST(MakeUninstall, RemovesEveryListedFileAndThenItsListAndOnlyTheStagedCopies) {
    struct Case {
        const char* name;
        std::string manifestEnd;  // what follows the last path
    };
    for (const Case& c : {Case{"list ending with a line feed", "\n"}, Case{"list without a final line feed", ""}}) {
        ScratchDir dir;
        const std::vector<std::string> installed = {dir.Write("quolk", "x"), dir.Write("quolk icon.png", "x")};
        const std::string kept = dir.Write("kept", "x");
        const std::string manifest = dir.Write("installed_files.txt", installed[0] + "\n" + installed[1] + c.manifestEnd);
        auto [status, output] = RunTool(Make + "uninstall INSTALLED='" + manifest + "'");
        EXPECT_EQ(status, 0) << c.name << output;
        for (const std::string& path : installed) EXPECT_FALSE(std::filesystem::exists(path)) << c.name << path;
        EXPECT_TRUE(std::filesystem::exists(kept)) << c.name;
        EXPECT_FALSE(std::filesystem::exists(manifest)) << c.name;
    }
    // A staged install, of both components or of the command line alone, lists its staged paths,
    // and uninstalling removes those and nothing else.
    for (const std::string component : {"", "cli"}) {
        ScratchDir stage;
        const std::string list = stage.File("installed_files.txt");
        auto [installStatus, installOutput] =
            RunTool(Make + "install-files BUILD_DIR='" QUOLK_BINARY_DIR "' PREFIX=/usr DESTDIR='" + stage.path +
                    "/root' INSTALLED='" + list + "' COMPONENT=" + component);
        ASSERT_EQ(installStatus, 0) << installOutput;
        const std::string listed = stage.Read("installed_files.txt");
        EXPECT_EQ(listed.rfind(stage.path + "/root/usr/bin/quolk\n", 0), 0u) << listed;
        const std::string same = component.empty() ? QUOLK_STAGED_DIR : QUOLK_STAGED_DIR "-" + component;
        EXPECT_EQ(FilesBelow(stage.path + "/root"), FilesBelow(same)) << component;
        EXPECT_EQ(RunTool(Make + "uninstall INSTALLED='" + list + "'").first, 0);
        EXPECT_EQ(FilesBelow(stage.path), std::vector<std::string>());
    }

    // Without a list nothing is removed, and the user is told.
    auto [status, output] = RunTool(Make + "uninstall INSTALLED=/nonexistent/list");
    EXPECT_NE(status, 0);
    EXPECT_NE(output.find("nothing was installed"), std::string::npos) << output;
}

}  // namespace
