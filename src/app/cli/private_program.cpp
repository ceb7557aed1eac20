#include "app/cli/private_program.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/cli/cli_text.h"
#include "app/cli/command_line.h"
#include "strings/stringtable.h"

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

std::string RunningFolder() {
    std::string self(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
    if (length <= 0 || size_t(length) >= self.size()) return std::string();
    self.resize(size_t(length));
    return std::filesystem::path(self).parent_path().string();
}

std::string PrivateProgramPath(const char* name) {
    const std::string running = RunningFolder();
    if (running.empty()) return std::string();
    return (std::filesystem::path(running) / QUOLK_PRIVATE_DIR / name).lexically_normal().string();
}

void ExecPrivateProgram(const char* name, char** argv, std::string& error) {
    const std::string path = PrivateProgramPath(name);
    if (path.empty()) {
        error = std::string("/proc/self/exe: ") + std::strerror(errno);
        return;
    }
    execv(path.c_str(), argv);
    error = path + ": " + std::strerror(errno);
}

bool DisplayAvailable() { return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM"); }

int RunWindow(char** argv, std::FILE* err) {
    // Without a display Qt would abort; the command line still works.
    if (!DisplayAvailable()) return SayNoDisplay(err);
    std::string error;
    ExecPrivateProgram("quolk", argv, error);
    LoadStringTable(DetectLanguage());
    Say(err, FilledText(TextId::WindowMissing, {error}));
    return 1;
}

int RunServeProgram(char** argv, std::FILE* err) {
    std::string error;
    ExecPrivateProgram("quolk-serve", argv, error);
    Say(err, FilledText(TextId::ServeMissing, {error}));
    return ExitLoadError;
}
