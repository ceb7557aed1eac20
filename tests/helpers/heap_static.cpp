// A statically linked program that allocates: no library can be preloaded into it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main() {
    for (int i = 0; i < 64; ++i) std::memset(std::malloc(1 << 16), 1, 1 << 16);
    std::puts("ready");
    std::fflush(stdout);
    char line[16];
    return std::fgets(line, sizeof line, stdin) ? 0 : 1;
}
