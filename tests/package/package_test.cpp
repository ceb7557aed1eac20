// The install into a DESTDIR with prefix /usr and the Debian packages that CPack makes: every file
// where the desktop, man, bash and systemd look for it, in the package that should hold it, and
// each passing its own checker.
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "quolk_version.h"
#include "scratch_dir.h"

namespace {

const std::string Usr = QUOLK_STAGED_DIR "/usr/";

// Every installed file below /usr and the package that holds it.
const std::map<std::string, std::string> Installed = {
    {"bin/quolk", "quolk-cli"}, {"lib/quolk/libquolk-heap.so", "quolk-cli"}, {"lib/quolk/quolk-serve", "quolk-cli"},
    {"lib/systemd/system/quolk-serve.service", "quolk-cli"}, {"share/man/man1/quolk.1", "quolk-cli"},
    {"share/bash-completion/completions/quolk", "quolk-cli"}, {"share/quolk/prometheus/quolk.rules.yml", "quolk-cli"},
    {"lib/quolk/quolk", "quolk"}, {"share/applications/quolk.desktop", "quolk"},
    {"share/icons/hicolor/scalable/apps/quolk.svg", "quolk"}, {"share/icons/hicolor/16x16/apps/quolk.png", "quolk"},
    {"share/icons/hicolor/32x32/apps/quolk.png", "quolk"}, {"share/icons/hicolor/48x48/apps/quolk.png", "quolk"},
    {"share/icons/hicolor/64x64/apps/quolk.png", "quolk"}, {"share/icons/hicolor/128x128/apps/quolk.png", "quolk"},
    {"share/icons/hicolor/256x256/apps/quolk.png", "quolk"}, {"lib/quolk/quolk-plot", "quolk-plot"},
};

// A shell command's exit status and what it wrote to standard output and error.
std::pair<int, std::string> RunTool(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, output};
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        if (end > at) lines.push_back(text.substr(at, end - at));
    return lines;
}

// The regular files below `root`, as sorted paths relative to it.
std::vector<std::string> FilesBelow(const std::string& root) {
    std::vector<std::string> files;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file()) files.push_back(std::filesystem::relative(it->path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

// Every distinct long option ("--name") that a text mentions.
std::set<std::string> LongOptions(const std::string& text) {
    const std::regex option("--[a-z]+(-[a-z]+)*");
    return {std::sregex_token_iterator(text.begin(), text.end(), option), std::sregex_token_iterator()};
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Deb(const std::string& package) {
    const std::string arch = Lines(RunTool("dpkg --print-architecture").second).at(0);
    return QUOLK_DEB_DIR "/" + package + "_" + QuolkVersion + "_" + arch + ".deb";
}

std::string Field(const std::string& package, const std::string& name) {
    std::string value = RunTool("dpkg-deb -f '" + Deb(package) + "' " + name).second;
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
    return value;
}

// The package names of a Depends field, without versions.
std::set<std::string> PackageNames(const std::string& depends) {
    const std::regex name(R"((?:^|[,|])\s*([^\s,|(]+))");
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(depends.begin(), depends.end(), name); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

// Every distinct long option of the usage text.
std::set<std::string> HelpOptions() { return LongOptions(RunTool("'" + Usr + "bin/quolk' --help").second); }

TEST(Package, EveryFileIsInPlaceAndInItsPackageStripped) {
    std::vector<std::string> all;
    for (const auto& [file, package] : Installed) all.push_back(file);
    EXPECT_EQ(FilesBelow(Usr), all);
    for (const char* package : {"quolk-cli", "quolk", "quolk-plot"}) {
        std::vector<std::string> expected, packed;
        for (const auto& [file, holder] : Installed)
            if (holder == package) expected.push_back("usr/" + file);
        for (const std::string& path : Lines(RunTool("dpkg-deb --fsys-tarfile '" + Deb(package) + "' | tar -t").second))
            if (!path.ends_with("/")) packed.push_back(path.substr(path.find("usr/")));
        std::sort(packed.begin(), packed.end());
        EXPECT_EQ(packed, expected) << package;
        for (const std::string& file : packed)
            if (file.starts_with("usr/bin/") || file.starts_with("usr/lib/quolk/")) {
                EXPECT_EQ(RunTool("dpkg-deb --fsys-tarfile '" + Deb(package) + "' | tar -xO ./" + file +
                                  " | objdump -h /dev/stdin | grep -c debug_info").second, "0\n") << file;
            }
    }
    // The installed binary runs from its new place and finds the sampler where it was installed.
    EXPECT_EQ(RunTool("'" + Usr + "bin/quolk' --version"), std::make_pair(0, std::string(QuolkNameAndVersion) + "\n"));
    const auto [status, json] = RunTool("'" + Usr + "bin/quolk' --record --stacks --duration 0.3 --interval 100 --json -- sleep 2");
    EXPECT_EQ(status, 0) << json;
    EXPECT_TRUE(Has(json, "\"status\": \"ready\"") || Has(json, "\"status\": \"no_malloc_seen\"")) << json;
}

// The launcher entry, the manual page and the service unit pass their checkers (the alerting rules
// are the metrics server's test's).
TEST(Package, EachFilePassesItsChecker) {
    ScratchDir dir;
    // systemd looks quolk up in its own search path; the checker is shown the staged one.
    std::string unit = ReadBytes(Usr + "lib/systemd/system/quolk-serve.service");
    ASSERT_TRUE(Has(unit, "\nExecStart=quolk --serve "));
    unit.replace(unit.find("ExecStart=quolk"), 15, "ExecStart=" + Usr + "bin/quolk");
    const std::string staged = dir.Write("quolk-serve.service", unit);
    for (const std::string& check : {"desktop-file-validate '" + Usr + "share/applications/quolk.desktop'",
                                     "groff -ww -z -man '" + Usr + "share/man/man1/quolk.1'",
                                     "systemd-analyze verify --man=no '" + staged + "'"}) {
        const auto [status, output] = RunTool(check);  // none may warn
        EXPECT_EQ(status, 0) << check << "\n" << output;
        EXPECT_TRUE(!Has(output, "warning:") && !Has(output, "error:")) << output;
    }
    // The manual page names every option of the usage text, the files and the environment.
    const auto [status, page] = RunTool("MANWIDTH=80 man -l '" + Usr + "share/man/man1/quolk.1' | col -b");
    ASSERT_EQ(status, 0) << page;
    const std::set<std::string> options = HelpOptions();
    ASSERT_GT(options.size(), 5u);
    for (const std::string& part : options) EXPECT_TRUE(Has(page, part)) << part;
    for (const char* part : {"EXIT STATUS", "ENVIRONMENT", "LC_MESSAGES", "WAYLAND_DISPLAY", "_monitor.csv", QuolkNameAndVersion})
        EXPECT_TRUE(Has(page, part)) << part;
}

// The candidates that the completion offers for the words, the last being completed, in `dir`.
std::set<std::string> Complete(const ScratchDir& dir, const std::vector<std::string>& words) {
    std::string array;
    for (const std::string& word : words) array += " '" + word + "'";
    const std::string script = dir.Write(".complete.sh", "source '" + Usr + "share/bash-completion/completions/quolk'\n"
                               "COMP_WORDS=(" + array + ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
                               "\n_quolk\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n");
    const auto [status, output] = RunTool("cd '" + dir.path + "' && bash '" + script + "' </dev/null");
    EXPECT_EQ(status, 0) << output;
    const std::vector<std::string> lines = Lines(output);
    return {lines.begin(), lines.end()};
}

TEST(Package, BashCompletionOffersOptionsProcessesCommandsAndFiles) {
    ScratchDir dir;
    dir.Write("run log.csv", "");
    const std::string self = std::to_string(getpid());
    const struct { std::vector<std::string> words, offered, notOffered; } cases[] = {
        {{"quolk", ""}, {"--analyze", "--record", "--help"}, {"--interval"}},
        {{"quolk", "--record", ""}, {self, "1"}, {"bash", "run log.csv"}},
        {{"quolk", "--record", "--", "bash", "run"}, {"run log.csv"}, {"bash"}},
        {{"quolk", "--record", self, "--profile", ""}, {"default", "menu-bar", "file-converter"}, {}},
        // The options of each mode: together, every option of the usage text.
        {{"quolk", "--"}, {}, {}}, {{"quolk", "--record", "1", "--"}, {}, {}},
        {{"quolk", "--analyze", "x.csv", "--"}, {}, {}}, {{"quolk", "--serve", "--"}, {}, {}},
        {{"quolk", "--compare", "a", "b", "--"}, {}, {}},
    };
    std::set<std::string> known;
    for (const auto& c : cases) {
        std::set<std::string> candidates = Complete(dir, c.words);
        const std::string line = c.words.back() + " after " + c.words[c.words.size() - 2];
        for (const std::string& word : c.offered) EXPECT_TRUE(candidates.count(word)) << line << ": " << word;
        for (const std::string& word : c.notOffered) EXPECT_FALSE(candidates.count(word)) << line << ": " << word;
        known.merge(candidates);
    }
    for (const std::string& option : HelpOptions()) EXPECT_TRUE(known.count(option)) << option;
}

// Control data: the command line's package names no Qt or X library; the window's and the plots'
// bring the command line of their own version and the Qt their programs link.
TEST(Package, ControlDataAndDependencies) {
    const struct { const char* name; std::string recommends; std::vector<std::string> depends; } packages[] = {
        {"quolk-cli", "", {"libc6", "libdw1"}},
        {"quolk", "fonts-noto-color-emoji", {"quolk-cli", "libqt6widgets6", "qt6-translations-l10n"}},
        {"quolk-plot", "", {"quolk-cli", "libqt6gui6", "qt6-qpa-plugins", "fonts-dejavu-core"}},
    };
    for (const auto& p : packages) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(Field(p.name, "Package") + " " + Field(p.name, "Version"), p.name + std::string(" ") + QuolkVersion);
        EXPECT_EQ(Field(p.name, "Recommends"), p.recommends);
        for (const std::string& line : Lines(Field(p.name, "Description") + "\n")) EXPECT_LT(line.size(), 80u) << line;
        const std::string depends = Field(p.name, "Depends");
        const std::set<std::string> names = PackageNames(depends);
        for (const std::string& package : p.depends) EXPECT_TRUE(names.count(package)) << package;
        for (const std::string& package : names) {
            EXPECT_FALSE(package.ends_with("-dev")) << package;
            for (const char* prefix : {"libqt", "qt6", "libx", "libgl", "libegl", "libwayland", "libdbus"})
                EXPECT_FALSE(p.name == std::string("quolk-cli") && package.starts_with(prefix)) << package;
        }
        EXPECT_TRUE(!names.count("quolk-cli") || Has(depends, "quolk-cli (= " + std::string(QuolkVersion) + ")"));
        EXPECT_FALSE(p.name == std::string("quolk-plot") && names.count("libqt6widgets6"));
    }
}

// The project's Makefile, run without sudo: the tests install into their own folders only.
const std::string Make = "make -s SUDO= -C '" QUOLK_SOURCE_DIR "' ";

TEST(MakeUninstall, RemovesEveryListedFileThenItsListAndOnlyThem) {
    {  // a list without a final line feed, a name with a blank
        ScratchDir dir;
        const std::string installed[] = {dir.Write("quolk", "x"), dir.Write("quolk icon.png", "x")};
        const std::string manifest = dir.Write("installed_files.txt", installed[0] + "\n" + installed[1]);
        dir.Write("kept", "x");
        const auto [status, output] = RunTool(Make + "uninstall INSTALLED='" + manifest + "'");
        EXPECT_EQ(status, 0) << output;
        EXPECT_EQ(FilesBelow(dir.path), std::vector<std::string>{"kept"}) << output;
    }
    // A staged install, of both components or of the command line alone, lists its staged paths.
    for (const std::string component : {"", "cli"}) {
        ScratchDir stage;
        const std::string list = stage.File("installed_files.txt");
        const auto [status, output] = RunTool(Make + "install-files BUILD_DIR='" QUOLK_BINARY_DIR "' PREFIX=/usr DESTDIR='" +
                                              stage.path + "/root' INSTALLED='" + list + "' COMPONENT=" + component);
        ASSERT_EQ(status, 0) << output;
        EXPECT_EQ(FilesBelow(stage.path + "/root"), FilesBelow(component.empty() ? QUOLK_STAGED_DIR : QUOLK_STAGED_DIR "-cli"));
        EXPECT_TRUE(stage.Read("installed_files.txt").starts_with(stage.path + "/root/usr/bin/quolk\n"));
        EXPECT_EQ(RunTool(Make + "uninstall INSTALLED='" + list + "'").first, 0);
        EXPECT_EQ(FilesBelow(stage.path), std::vector<std::string>());
    }
    const auto [status, output] = RunTool(Make + "uninstall INSTALLED=/nonexistent/list");
    EXPECT_NE(status, 0);
    EXPECT_TRUE(Has(output, "nothing was installed")) << output;
}

}  // namespace
