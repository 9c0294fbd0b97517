// Freed memory filled at once, as the system's debug heap does, and held back a while
// before it is given out again: a use after free then reads an address that faults,
// instead of stale or reused values that would let it pass unseen.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t HELD_BACK = 8192;
// Nothing to tear down as the process ends, while threads may still free memory.
std::atomic_flag busy = ATOMIC_FLAG_INIT;
void* held[HELD_BACK];
std::size_t next_held = 0;

} // namespace

void operator delete(void* block) noexcept {
    if (!block) return;
    std::memset(block, 0xfe, _msize(block));
    void* oldest = nullptr;
    while (busy.test_and_set(std::memory_order_acquire)) {
    }
    oldest = held[next_held];
    held[next_held] = block;
    next_held = (next_held + 1) % HELD_BACK;
    busy.clear(std::memory_order_release);
    std::free(oldest);
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}
