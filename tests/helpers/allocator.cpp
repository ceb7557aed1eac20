// A process whose memory the recorder tests watch: it allocates and touches memory in known
// steps, then waits to be ended.
//   grow STEP_MB EVERY_MS      STEP_MB more every EVERY_MS, for ever
//   hold MB                    MB once, then nothing
//   retain STEP_MB EVERY_MS    a block STEP_MB larger every EVERY_MS, its new pages touched, freed
//                              at once: the allocator keeps the heap resident (no trimming, no
//                              mmap), so the footprint grows while nothing stays allocated
//   sawtooth MB HOLD_MS REST_MS  MB allocated and touched, held HOLD_MS, freed, REST_MS of rest,
//                              for ever: the memory goes back to the system at every free
//   family MB1 MB2             two children holding MB1 and MB2; prints their PIDs, one a line,
//                              once both hold their memory
//   stubborn                   ignores SIGTERM and holds 1 MB
//   leaderless STEP_MB EVERY_MS EXIT_MS STEPS
//                              a second thread takes STEPS steps as grow does, then ends the
//                              process; the main thread ends after EXIT_MS, leaving the process to
//                              live on with its leader a zombie
//   brood STEP_MB EVERY_MS END_MS START_MS
//                              a parent holding 2 MB and three children: one holding 1 MB that
//                              grows STEP_MB every EVERY_MS, one holding 3 MB that ends after
//                              END_MS, and one started after START_MS holding 1 MB; prints each
//                              child's PID as it starts, one a line, in that order. The children
//                              die with the parent
// Every mode first writes its own PID and a line feed to standard output.
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Allocates and writes every page, so the memory counts in the footprint.
__attribute__((noinline)) void Hold(long megabytes) {
    size_t bytes = size_t(megabytes) << 20;
    char* block = static_cast<char*>(std::malloc(bytes));  // site: hold
    if (!block) std::exit(3);
    std::memset(block, 0x5A, bytes);
    // Kept where the compiler cannot see it unused, so neither the block nor its writes go away.
    static std::vector<char*> held;
    held.push_back(block);
    asm volatile("" : : "r"(block) : "memory");
}

[[noreturn]] void WaitForEnd() {
    for (;;) pause();
}

// A child of the calling process that holds `megabytes`, then runs `then`; killed with its parent.
template <typename Then>
pid_t Child(long megabytes, Then then) {
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) {
        std::printf("%d\n", int(pid));
        std::fflush(stdout);
        return pid;
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(0);
    Hold(megabytes);
    then();
    _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 64;
    std::printf("%d\n", int(getpid()));
    std::fflush(stdout);
    const char* mode = argv[1];
    if (std::strcmp(mode, "grow") == 0 && argc == 4) {
        long step = std::atol(argv[2]), every = std::atol(argv[3]);
        for (;;) {
            Hold(step);
            usleep(useconds_t(every * 1000));
        }
    }
    if (std::strcmp(mode, "retain") == 0 && argc == 4) {
        const size_t step = size_t(std::atol(argv[2])) << 20;
        const long every = std::atol(argv[3]);
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, INT_MAX);
        for (size_t total = step;; total += step) {
            char* block = static_cast<char*>(std::malloc(total));
            if (!block) return 3;
            std::memset(block + total - step, 0x5A, step);
            asm volatile("" : : "r"(block) : "memory");
            std::free(block);
            usleep(useconds_t(every * 1000));
        }
    }
    if (std::strcmp(mode, "leaderless") == 0 && argc == 6) {
        static long step = std::atol(argv[2]), every = std::atol(argv[3]), steps = std::atol(argv[5]);
        pthread_t grower;
        auto grow = [](void*) -> void* {
            for (long i = 0; i < steps; ++i) {
                Hold(step);
                usleep(useconds_t(every * 1000));
            }
            std::exit(0);
        };
        if (pthread_create(&grower, nullptr, grow, nullptr) != 0) return 3;
        usleep(useconds_t(std::atol(argv[4]) * 1000));
        pthread_exit(nullptr);
    }
    if (std::strcmp(mode, "sawtooth") == 0 && argc == 5) {
        const size_t bytes = size_t(std::atol(argv[2])) << 20;
        const long hold = std::atol(argv[3]), rest = std::atol(argv[4]);
        for (;;) {
            char* block = static_cast<char*>(std::malloc(bytes));  // large: its own mapping
            if (!block) return 3;
            std::memset(block, 0x5A, bytes);
            asm volatile("" : : "r"(block) : "memory");
            usleep(useconds_t(hold * 1000));
            std::free(block);
            usleep(useconds_t(rest * 1000));
        }
    }
    if (std::strcmp(mode, "hold") == 0 && argc == 3) {
        Hold(std::atol(argv[2]));
        WaitForEnd();
    }
    if (std::strcmp(mode, "stubborn") == 0) {
        signal(SIGTERM, SIG_IGN);
        Hold(1);
        WaitForEnd();
    }
    if (std::strcmp(mode, "brood") == 0 && argc == 6) {
        static long step = std::atol(argv[2]), every = std::atol(argv[3]);
        const long end = std::atol(argv[4]);
        signal(SIGCHLD, SIG_IGN);  // the child that ends is reaped at once
        Hold(2);
        Child(1, [] {
            for (;;) usleep(useconds_t(every * 1000)), Hold(step);
        });
        Child(3, [end] { usleep(useconds_t(end * 1000)); });
        usleep(useconds_t(std::atol(argv[5]) * 1000));
        Child(1, WaitForEnd);
        WaitForEnd();
    }
    if (std::strcmp(mode, "family") == 0 && argc == 4) {
        static pid_t children[2];
        int ready[2];
        if (pipe(ready) != 0) return 3;
        for (int i = 0; i < 2; ++i) {
            children[i] = fork();
            if (children[i] == 0) {
                Hold(std::atol(argv[i + 2]));
                if (write(ready[1], "r", 1) != 1) _exit(3);
                WaitForEnd();
            }
        }
        char byte;
        for (int i = 0; i < 2; ++i)
            if (read(ready[0], &byte, 1) != 1) return 3;
        // Ending the parent ends its children.
        signal(SIGTERM, [](int) {
            for (pid_t child : children) kill(child, SIGKILL);
            _exit(0);
        });
        std::printf("%d\n%d\n", int(children[0]), int(children[1]));
        std::fflush(stdout);
        WaitForEnd();
    }
    return 64;
}
