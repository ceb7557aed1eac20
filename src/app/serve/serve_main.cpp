// lib/quolk/quolk-serve: `quolk --serve`, which `quolk` executes in its place once the command
// line is read (app/cli/private_program.h). It watches the processes at the interval and serves
// their metrics until SIGTERM or SIGINT.
#include <netinet/in.h>
#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <prometheus/exposer.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "app/cli/cli_options.h"
#include "app/cli/cli_text.h"
#include "app/cli/command_line.h"
#include "app/serve/serve_metrics.h"
#include "strings/stringtable.h"

namespace {

// Whether the address can be listened on, tried with a socket of our own: the web server only
// says that it could not, and the user needs the reason (the port is taken, a low port without
// the privilege, an address the machine does not have).
bool CanListen(const ListenAddress& address, std::string& reason) {
    sockaddr_storage storage{};
    socklen_t length;
    if (address.ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(uint16_t(address.port));
        inet_pton(AF_INET6, address.host.c_str(), &in6->sin6_addr);
        length = sizeof *in6;
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(uint16_t(address.port));
        if (!address.host.empty()) inet_pton(AF_INET, address.host.c_str(), &in->sin_addr);
        length = sizeof *in;
    }
    const int fd = socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    const bool ok = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                    bind(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0 && listen(fd, 1) == 0;
    if (!ok) reason = std::strerror(errno);
    if (fd >= 0) close(fd);
    return ok;
}

double Seconds(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// Ticks the watch at the interval until SIGTERM or SIGINT (blocked, and so waited for here).
void WatchUntilStopped(ProcessWatch& watch, ServeMetrics& metrics, const sigset_t& stop) {
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::milliseconds(watch.Settings().intervalMs);
    auto next = Clock::now();
    for (;;) {
        const auto start = Clock::now();
        const WatchChanges changes = watch.Tick(Seconds(start));
        const auto end = Clock::now();
        metrics.Update(watch, changes, std::chrono::duration<double>(end - start).count());
        // The next tick on the interval's beat; ticks that a stop of the machine overran are dropped.
        next += interval;
        if (next <= end) next = end + interval - (end - next) % interval;
        for (;;) {
            const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(next - Clock::now());
            if (wait.count() <= 0) break;
            const timespec timeout{time_t(wait.count() / 1000000000), long(wait.count() % 1000000000)};
            const int signal = sigtimedwait(&stop, nullptr, &timeout);
            if (signal > 0) return;
            if (errno == EAGAIN) break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    LoadStringTable(DetectLanguage());
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(argc, argv, options, error) || options.mode != CliMode::Serve) {
        Say(stderr, FilledText(TextId::SeeHelp, {error}));
        return ExitUsageError;
    }
    // Blocked before the web server starts its threads, which inherit the mask: the signals
    // then wait for the loop, which ends cleanly.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    const std::string address = ListenAddressText(options.listen);
    std::string reason;
    if (!CanListen(options.listen, reason)) {
        Say(stderr, FilledText(TextId::CannotListen, {address, reason}));
        return ExitLoadError;
    }
    ServeMetrics metrics;
    std::unique_ptr<prometheus::Exposer> exposer;
    try {
        exposer = std::make_unique<prometheus::Exposer>(address, 2);
    } catch (const std::exception& e) {
        Say(stderr, FilledText(TextId::CannotListen, {address, e.what()}));
        return ExitLoadError;
    }
    exposer->RegisterCollectable(metrics.Collectable());
    ListenAddress bound = options.listen;
    if (const std::vector<int> ports = exposer->GetListeningPorts(); !ports.empty()) bound.port = ports.front();
    Say(stderr, FilledText(TextId::Serving, {ListenAddressText(bound)}));

    WatchSettings settings;
    settings.names = options.matchNames;
    settings.pids = options.watchPids;
    settings.intervalMs = EffectiveIntervalMs(options);
    settings.windowMinutes = options.windowMinutes;
    settings.streakThreshold = options.streakThreshold;
    settings.growthLimitMB = options.growthLimitMB;
    ProcessWatch watch(settings);
    WatchUntilStopped(watch, metrics, stop);
    return 0;
}
