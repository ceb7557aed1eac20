#include "app/cli/plot_output.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "analysis/leak_test.h"
#include "analysis/phase_analysis.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_text.h"
#include "app/cli/json_summary.h"
#include "app/cli/private_program.h"
#include "presentation/analysis_plot.h"
#include "presentation/plot_svg.h"

extern char** environ;

namespace {

bool EndsWith(std::string name, const char* suffix) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const size_t n = std::strlen(suffix);
    return name.size() > n && name.compare(name.size() - n, n, suffix) == 0;
}

bool WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buffer, size_t(n));
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Runs the drawing program with the plan on its standard input, the PNG's file on its standard
// output and a pipe on its standard error; "" when it drew, else its reason.
std::string Draw(const std::string& program, int picture, const std::string& plan) {
    int in[2], errPipe[2];
    if (pipe2(in, O_CLOEXEC) != 0) return std::strerror(errno);
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        const int e = errno;
        close(in[0]), close(in[1]);
        return std::strerror(e);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, picture, 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    // A recording blocks its signals to read them from a signalfd; the drawing program must not
    // inherit that.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    char* args[] = {const_cast<char*>(program.c_str()), const_cast<char*>("png"), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(in[0]), close(errPipe[1]);
    if (spawned != 0) {
        close(in[1]), close(errPipe[0]);
        return std::strerror(spawned);
    }
    // A drawing program that ends early does not end quolk with SIGPIPE (the command line ignores
    // it from the start): its own reason counts.
    WriteAll(in[1], plan);
    close(in[1]);
    std::string reason = ReadAll(errPipe[0]);
    close(errPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::string();
    if (reason.empty()) reason = WIFSIGNALED(status) ? strsignal(WTERMSIG(status)) : "quolk-plot failed";
    return reason;
}

}  // namespace

bool PlotFormatOf(const std::string& path, bool& svg) {
    svg = EndsWith(path, ".svg");
    return svg || EndsWith(path, ".png");
}

// The picture written by quolk itself: "" when it is whole on its storage, else the reason.
std::string WriteSvg(int picture, const PlotPlan& plan) {
    errno = 0;  // a write of nothing leaves it as it was
    if (!WriteAll(picture, PlotSvg(plan))) return std::strerror(errno != 0 ? errno : EIO);
    if (fsync(picture) != 0 && errno != EINVAL && errno != EROFS) return std::strerror(errno);
    return std::string();
}

bool WritePlot(const std::string& path, const PlotPlan& plan, std::FILE* err) {
    bool svg = false;
    PlotFormatOf(path, svg);
    // A vector picture is text of our own; only a PNG needs the drawing program's painter.
    const std::string program = svg ? std::string() : PrivateProgramPath("quolk-plot");
    if (!svg && (program.empty() || access(program.c_str(), X_OK) != 0)) {
        Say(err, FilledText(TextId::PlotModuleMissing, {program + ": " + std::strerror(errno)}));
        return false;
    }
    const int picture = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (picture < 0) {
        Say(err, FilledText(TextId::PlotCannotWrite, {path, std::strerror(errno)}));
        return false;
    }
    const std::string reason = svg ? WriteSvg(picture, plan) : Draw(program, picture, WritePlotPlan(plan));
    close(picture);
    if (reason.empty()) return true;
    Say(err, FilledText(TextId::PlotCannotWrite, {path, reason}));
    return false;
}

bool PlotRunIfAsked(const CliOptions& options, const SampleHistory& history, const PhaseAnalysis& analysis,
                    const LeakTestResult& leak, const PlotFacts& facts, std::FILE* err) {
    if (options.plotPath.empty()) return true;
    return WritePlot(options.plotPath, PlanPlot(AnalysisPlot(history, analysis, leak, facts)), err);
}

std::string FileDate(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::string();
    return IsoUtc(info.st_mtim.tv_sec).substr(0, 10);
}
