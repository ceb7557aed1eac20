// The Debian package that CPack makes: its control data and its files.
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

std::string DebPath() {
    return QUOLK_DEB_DIR "/quolk_" + std::string(QuolkVersion) + "_" +
           Trimmed(RunTool("dpkg --print-architecture").second) + ".deb";
}

std::string Field(const std::string& name) { return Trimmed(RunTool("dpkg-deb -f '" + DebPath() + "' " + name).second); }

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

TEST(DebianPackage, ControlDataNamesTheQtRuntimeItLinksAndNoBuildPackage) {
    EXPECT_EQ(Field("Package"), "quolk");
    EXPECT_EQ(Field("Version"), QuolkVersion);
    EXPECT_EQ(Field("Architecture"), Trimmed(RunTool("dpkg --print-architecture").second));
    EXPECT_NE(Field("Maintainer"), "");
    // A fresh Debian has no font with the buttons' symbols.
    EXPECT_EQ(Field("Recommends"), "fonts-noto-color-emoji");
    const std::string description = Field("Description");
    EXPECT_NE(description.find("Quolk watches the memory of another running process"), std::string::npos);
    for (size_t at = 0, end; at < description.size(); at = end + 1) {
        end = std::min(description.find('\n', at), description.size());
        EXPECT_LT(end - at, 80u) << description.substr(at, end - at);
    }

    const std::set<std::string> depends = PackageNames(Field("Depends"));
    const std::set<std::string> qt = LinkedQtPackages(QUOLK_STAGED_DIR "/usr/lib/quolk/quolk");
    ASSERT_TRUE(qt.count("libqt6core6")) << "the window links no Qt";
    for (const std::string& package : qt) EXPECT_TRUE(depends.count(package)) << package;
    for (const char* runtime : {"libc6", "libstdc++6"}) EXPECT_TRUE(depends.count(runtime)) << runtime;
    for (const std::string& package : depends) {
        const bool buildOnly = package.ends_with("-dev") || package.find("gtest") != std::string::npos ||
                               package.find("benchmark") != std::string::npos || package == "cmake";
        EXPECT_FALSE(buildOnly) << package;
    }
}

TEST(DebianPackage, HoldsWhatAnInstallLaysOut) {
    auto [status, listing] = RunTool("dpkg-deb --fsys-tarfile '" + DebPath() + "' | tar -t");
    ASSERT_EQ(status, 0) << listing;
    std::vector<std::string> files;
    for (size_t at = 0, end; (end = listing.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string path = listing.substr(at, end - at);
        if (!path.ends_with("/")) files.push_back(path.substr(path.find("usr/")));
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> installed = FilesBelow(QUOLK_STAGED_DIR);
    ASSERT_FALSE(installed.empty());
    EXPECT_EQ(files, installed);
    // The package's binary is stripped of its debugging data; the install's is not.
    EXPECT_EQ(RunTool("dpkg-deb --fsys-tarfile '" + DebPath() + "' | tar -xO ./usr/bin/quolk | "
                  "objdump -h /dev/stdin | grep -c debug_info").second, "0\n");
}

}  // namespace
