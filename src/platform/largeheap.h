#pragma once

#include <cstddef>

namespace kd {

// While it lives, about `bytes` of room is made in the heap at once and marked
// to be backed by huge pages as it is first touched: a load that fills that
// much memory then takes one page fault per 2 MiB instead of one per 4 KiB,
// which on a virtual machine is most of its time. Memory is only taken as it
// is touched. The allocator's settings are left alone. Does nothing for small
// sizes or with another allocator than glibc's.
class LargeHeapGrowth {
public:
    explicit LargeHeapGrowth(std::size_t bytes);
    ~LargeHeapGrowth();
    LargeHeapGrowth(const LargeHeapGrowth&) = delete;
    LargeHeapGrowth& operator=(const LargeHeapGrowth&) = delete;

private:
    void* m_guard = nullptr;
};

} // namespace kd
