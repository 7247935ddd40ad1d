#pragma once

#include <cstddef>

namespace kd {

// While it lives, about `bytes` of room is made at the top of the heap at once
// and marked to be backed by huge pages as it is first touched: a load that
// fills that much memory then takes one page fault per 2 MiB instead of one per
// 4 KiB, which on a virtual machine is most of its time. Memory is only taken
// as it is touched; what is left unused is given back once more is freed after
// this ends. Does nothing for small sizes or with another allocator.
class LargeHeapGrowth {
public:
    explicit LargeHeapGrowth(std::size_t bytes);
    ~LargeHeapGrowth();
    LargeHeapGrowth(const LargeHeapGrowth&) = delete;
    LargeHeapGrowth& operator=(const LargeHeapGrowth&) = delete;

private:
    bool m_tuned = false;
};

} // namespace kd
