// The library heap_sites dlopens in plugin mode: its leak site is in here, and the library is
// unloaded before the stacks are named.
#include <cstdlib>
#include <cstring>

namespace {
char* held[1 << 16];
int count;
}  // namespace

extern "C" __attribute__((noinline)) void PluginLeak(size_t size) {
    char* block = static_cast<char*>(std::malloc(size));  // site: plugin
    std::memset(block, 0x5a, size);
    held[__atomic_fetch_add(&count, 1, __ATOMIC_RELAXED) & 0xffff] = block;
}
