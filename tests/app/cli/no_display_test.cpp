// Without a display the window cannot open: one line says so and names the command line, which
// keeps working.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "scratch_dir.h"
#include "quolk_version.h"

namespace {

std::pair<int, std::string> RunWithoutDisplay(const ScratchDir& dir, const std::string& args) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " QUOLK_BINARY_DIR "/quolk" +
                                args + " >" + dir.File("out") + " 2>" + dir.File("err");
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.Read("err")};
}

TEST(NoDisplay, TheWindowSaysInOneLineThatItNeedsADesktopAndNamesTheCommandLine) {
    ScratchDir dir;
    auto [status, err] = RunWithoutDisplay(dir, "");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_EQ(err.rfind("quolk: ", 0), 0u) << err;
    EXPECT_NE(err.find("quolk --analyze FILE"), std::string::npos) << err;
    EXPECT_EQ(dir.Read("out"), "");
}

TEST(NoDisplay, TheCommandLineStillWorks) {
    ScratchDir dir;
    auto [status, err] = RunWithoutDisplay(dir, " --version");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(dir.Read("out"), std::string(QuolkNameAndVersion) + "\n");
}

// A `quolk` without the window's program beside it (the quolk-cli package alone) says so with a
// display too, in the user's language, and its commands go on working.
TEST(NoDisplay, WithoutTheWindowsProgramTheWindowNamesItsPackage) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.File("bin"));
    std::filesystem::copy_file(QUOLK_BINARY_DIR "/bin/quolk", dir.File("bin/quolk"));
    const std::string quolk = dir.File("bin/quolk");
    struct Case {
        std::string command, err;
        int status;
    };
    const Case cases[] = {
        {"DISPLAY=:99 LANGUAGE=en " + quolk, "quolk: the window cannot be loaded; it comes with the quolk package", 1},
        {"DISPLAY=:99 LANGUAGE=de " + quolk, "quolk: das Fenster kann nicht geladen werden", 1},
        {"DISPLAY=:99 " + quolk + " --version", "", 0},
    };
    for (const Case& c : cases) {
        const int status = std::system(("env " + c.command + " 2>" + dir.File("err") + " >/dev/null").c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status) << c.command;
        const std::string err = dir.Read("err");
        EXPECT_EQ(err.rfind(c.err, 0), 0u) << err;
        if (c.status != 0) {
            EXPECT_NE(err.find(dir.File("lib/quolk/quolk: ")), std::string::npos) << err;
        }
    }
}

}  // namespace
