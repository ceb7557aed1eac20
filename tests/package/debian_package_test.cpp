// The Debian packages that CPack makes, quolk-cli and quolk: their control data and their files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "package/package_support.h"
#include "quolk_version.h"

namespace {

using package_test::FilesBelow;
using package_test::RunTool;

std::string Trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string Architecture() { return Trimmed(RunTool("dpkg --print-architecture").second); }

// The two packages: what each must say and hold.
struct Package {
    std::string name;
    std::string staged;      // the install of its component alone
    std::string recommends;
    std::string summary;     // the description's first line
};
const Package Packages[] = {
    {"quolk-cli", QUOLK_STAGED_DIR "-cli", "", "memory monitor that tells whether a process leaks (command line)"},
    {"quolk", QUOLK_STAGED_DIR "-desktop", "fonts-noto-color-emoji", "memory monitor that tells whether a process leaks"},
    {"quolk-plot", QUOLK_STAGED_DIR "-plot", "", "memory monitor that tells whether a process leaks (plots)"},
};

std::string DebPath(const Package& p) {
    return QUOLK_DEB_DIR "/" + p.name + "_" + QuolkVersion + "_" + Architecture() + ".deb";
}

std::string Field(const Package& p, const std::string& name) {
    return Trimmed(RunTool("dpkg-deb -f '" + DebPath(p) + "' " + name).second);
}

// The package names of a Depends field, without versions and alternatives' bars.
std::set<std::string> PackageNames(const std::string& depends) {
    std::set<std::string> names;
    std::string name;
    bool inVersion = false;
    for (char c : depends + ",") {
        if (c == '(') inVersion = true;
        if (c == ')') inVersion = false;
        if (inVersion || c == ')') continue;
        if (c == ',' || c == '|') {
            if (!name.empty()) names.insert(name);
            name.clear();
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            name += c;
        }
    }
    return names;
}

// The Debian packages of the Qt 6 libraries that the binary links: libQt6Widgets.so.6 is in
// libqt6widgets6.
std::set<std::string> LinkedQtPackages(const std::string& binary) {
    std::set<std::string> packages;
    const std::string dynamic = RunTool("objdump -p '" + binary + "'").second;
    for (size_t at = dynamic.find("libQt6"); at != std::string::npos; at = dynamic.find("libQt6", at + 1)) {
        const size_t end = dynamic.find(".so.6", at);
        std::string package = dynamic.substr(at, end - at) + "6";
        std::transform(package.begin(), package.end(), package.begin(), [](unsigned char c) { return std::tolower(c); });
        packages.insert(package);
    }
    return packages;
}

bool BuildOnly(const std::string& package) {
    return package.ends_with("-dev") || package.find("gtest") != std::string::npos ||
           package.find("benchmark") != std::string::npos || package == "cmake";
}
// A package of Qt or of the X or Wayland stack, by its Debian name.
bool QtOrX(const std::string& package) {
    for (const char* prefix : {"libqt", "qt6", "libx", "libgl", "libegl", "libwayland", "libfontconfig", "libdbus"})
        if (package.starts_with(prefix)) return true;
    return false;
}

TEST(DebianPackage, ControlDataOfEachPackage) {
    for (const Package& p : Packages) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(Field(p, "Package"), p.name);
        EXPECT_EQ(Field(p, "Version"), QuolkVersion);
        EXPECT_EQ(Field(p, "Architecture"), Architecture());
        EXPECT_NE(Field(p, "Maintainer"), "");
        // A fresh Debian has no font with the window's buttons' symbols.
        EXPECT_EQ(Field(p, "Recommends"), p.recommends);
        const std::string description = Field(p, "Description");
        EXPECT_EQ(description.substr(0, description.find('\n')), p.summary);
        EXPECT_NE(description.find("Quolk watches the memory of another running process"), std::string::npos);
        for (size_t at = 0, end; at < description.size(); at = end + 1) {
            end = std::min(description.find('\n', at), description.size());
            EXPECT_LT(end - at, 80u) << description.substr(at, end - at);
        }
        const std::set<std::string> depends = PackageNames(Field(p, "Depends"));
        EXPECT_TRUE(depends.count("libc6"));
        for (const std::string& package : depends) EXPECT_FALSE(BuildOnly(package)) << package;
    }
}

// The command line's package names no Qt and no X library; the window's names the Qt runtime its
// program links and the command line of its own version.
TEST(DebianPackage, OnlyTheWindowDependsOnQtAndItBringsTheCommandLine) {
    const std::set<std::string> cli = PackageNames(Field(Packages[0], "Depends"));
    for (const std::string& package : cli) EXPECT_FALSE(QtOrX(package)) << package;
    const std::string desktopDepends = Field(Packages[1], "Depends");
    EXPECT_NE(desktopDepends.find("quolk-cli (= " + std::string(QuolkVersion) + ")"), std::string::npos)
        << desktopDepends;
    const std::set<std::string> desktop = PackageNames(desktopDepends);
    const std::set<std::string> qt = LinkedQtPackages(QUOLK_STAGED_DIR "/usr/lib/quolk/quolk");
    ASSERT_TRUE(qt.count("libqt6core6")) << "the window links no Qt";
    for (const std::string& package : qt) EXPECT_TRUE(desktop.count(package)) << package;
    EXPECT_TRUE(desktop.count("libstdc++6"));
    EXPECT_TRUE(desktop.count("qt6-translations-l10n"));
    // The plots' package: Qt's GUI and SVG libraries, the offscreen plugin and a font, no widgets.
    const std::string plotDepends = Field(Packages[2], "Depends");
    EXPECT_NE(plotDepends.find("quolk-cli (= " + std::string(QuolkVersion) + ")"), std::string::npos) << plotDepends;
    const std::set<std::string> plot = PackageNames(plotDepends);
    for (const char* package : {"libqt6gui6", "libqt6svg6", "qt6-qpa-plugins", "fonts-dejavu-core"})
        EXPECT_TRUE(plot.count(package)) << package;
    EXPECT_FALSE(plot.count("libqt6widgets6"));
}

TEST(DebianPackage, EachHoldsWhatItsComponentInstallsStripped) {
    for (const Package& p : Packages) {
        SCOPED_TRACE(p.name);
        auto [status, listing] = RunTool("dpkg-deb --fsys-tarfile '" + DebPath(p) + "' | tar -t");
        ASSERT_EQ(status, 0) << listing;
        std::vector<std::string> files;
        for (size_t at = 0, end; (end = listing.find('\n', at)) != std::string::npos; at = end + 1) {
            const std::string path = listing.substr(at, end - at);
            if (!path.ends_with("/")) files.push_back(path.substr(path.find("usr/")));
        }
        std::sort(files.begin(), files.end());
        std::vector<std::string> installed = FilesBelow(p.staged);
        ASSERT_FALSE(installed.empty());
        EXPECT_EQ(files, installed);
        // The programs are stripped of their debugging data; the install's are not.
        for (const std::string& file : files) {
            if (!file.starts_with("usr/bin/") && !file.starts_with("usr/lib/")) continue;
            EXPECT_EQ(RunTool("dpkg-deb --fsys-tarfile '" + DebPath(p) + "' | tar -xO ./" + file +
                              " | objdump -h /dev/stdin | grep -c debug_info").second, "0\n") << file;
        }
    }
}

}  // namespace
