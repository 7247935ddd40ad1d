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

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Below glibc's lowest mmap threshold (128 KiB), so every block comes from the
// heap without changing the allocator's settings (which would stop its
// threshold from adapting for the rest of the run).
constexpr std::size_t kBlock = std::size_t(120) << 10;
constexpr std::size_t kSmallest = std::size_t(32) << 20;
constexpr std::size_t kLargest = std::size_t(1) << 30;

void adviseHugePages(std::uintptr_t from, std::uintptr_t to) {
    from = (from + kHugePage - 1) & ~(kHugePage - 1);
    to &= ~(kHugePage - 1);
    // Failing only costs speed.
    if (to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

} // namespace
#endif

LargeHeapGrowth::LargeHeapGrowth(std::size_t bytes) {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    if (bytes < kSmallest)
        return;
    bytes = std::min(bytes, kLargest);
    std::vector<std::uintptr_t> blocks;
    blocks.reserve(bytes / kBlock + 1);
    for (std::size_t made = 0; made < bytes; made += kBlock) {
        void* block = std::malloc(kBlock);
        if (!block)
            break;
        blocks.push_back(std::uintptr_t(block));
    }
    if (blocks.empty())
        return;
    std::sort(blocks.begin(), blocks.end());
    // The highest block is kept until the load is done: below it the others,
    // freed, make one range the load is carved from, which the allocator would
    // otherwise give back to the system at once as the top of its heap.
    m_guard = reinterpret_cast<void*>(blocks.back());
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
        std::free(reinterpret_cast<void*>(blocks[i]));
    // Making the blocks wrote their headers, a page every block: a range with
    // any page in place gets no huge page. The allocator drops the pages of
    // free memory (all of it, only a header is kept) before the range is marked.
    malloc_trim(0);
    // Blocks next to each other (a chunk header apart) are marked as one range.
    std::uintptr_t runStart = blocks.front();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::uintptr_t end = blocks[i] + kBlock;
        if (i + 1 == blocks.size() || blocks[i + 1] - end > 64) {
            adviseHugePages(runStart, end);
            if (i + 1 < blocks.size())
                runStart = blocks[i + 1];
        }
    }
#else
    (void)bytes;
#endif
}

LargeHeapGrowth::~LargeHeapGrowth() {
    std::free(m_guard);
}

} // namespace kd
