// Without a display the window cannot open: one line says so and names the command line, which
// keeps working.
#include <sys/wait.h>

#include <cstdlib>
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

}  // namespace
