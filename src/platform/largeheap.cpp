#include "platform/largeheap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kd {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Below glibc's highest mmap threshold (32 MiB), so each block comes from the heap.
constexpr std::size_t kBlock = std::size_t(16) << 20;
constexpr std::size_t kLargest = std::size_t(1) << 30;
// glibc's own starting thresholds.
constexpr int kDefaultThreshold = 128 * 1024;

} // namespace

LargeHeapGrowth::LargeHeapGrowth(std::size_t bytes) {
#if defined(__GLIBC__)
    if (bytes < 2 * kBlock)
        return;
    bytes = std::min(bytes, kLargest);
    // Blocks from the heap, and freeing them keeps the room instead of giving
    // it back to the system.
    if (mallopt(M_MMAP_THRESHOLD, int(kBlock + kHugePage)) != 1 ||
        mallopt(M_TRIM_THRESHOLD, int(bytes + kBlock)) != 1)
        return;
    m_tuned = true;
    std::vector<void*> blocks;
    blocks.reserve(bytes / kBlock + 1);
    std::uintptr_t low = UINTPTR_MAX, high = 0;
    for (std::size_t made = 0; made < bytes; made += kBlock) {
        void* block = std::malloc(kBlock);
        if (!block)
            break;
        blocks.push_back(block);
        low = std::min(low, std::uintptr_t(block));
        high = std::max(high, std::uintptr_t(block) + kBlock);
    }
    // Consecutive blocks are one range; otherwise each is advised alone.
    const bool consecutive = high - low < blocks.size() * (kBlock + 64);
    const auto advise = [](std::uintptr_t from, std::uintptr_t to) {
        from = (from + kHugePage - 1) & ~(kHugePage - 1);
        to &= ~(kHugePage - 1);
        // Failing only costs speed.
        if (to > from)
            ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    };
    if (consecutive && !blocks.empty())
        advise(low, high);
    else
        for (void* block : blocks)
            advise(std::uintptr_t(block), std::uintptr_t(block) + kBlock);
    for (void* block : blocks)
        std::free(block);
#else
    (void)bytes;
#endif
}

LargeHeapGrowth::~LargeHeapGrowth() {
#if defined(__GLIBC__)
    if (m_tuned) {
        mallopt(M_MMAP_THRESHOLD, kDefaultThreshold);
        mallopt(M_TRIM_THRESHOLD, kDefaultThreshold);
    }
#endif
}

} // namespace kd
