#include "platform/largeheap.h"

#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace kd;

namespace {

// The mappings of this process marked for huge pages ("hg" in VmFlags).
std::vector<std::pair<std::uintptr_t, std::uintptr_t>> hugePageRanges() {
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> ranges;
    if (!smaps.open(QIODevice::ReadOnly))
        return ranges;
    std::uintptr_t from = 0, to = 0;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        // A mapping's first line starts "from-to perms ..."; its fields "Name: ...".
        if (dash > 0 && space > dash && !line.left(space).contains(':')) {
            from = line.left(dash).toULongLong(nullptr, 16);
            to = line.mid(dash + 1, space - dash - 1).toULongLong(nullptr, 16);
        } else if (line.startsWith("VmFlags:") && QByteArray(line + ' ').contains(" hg ")) {
            ranges.emplace_back(from, to);
        }
    }
    return ranges;
}

} // namespace

// What a large load allocates while the room lives is backed by huge pages;
// once it ends, ordinary allocation goes on.
TEST(LargeHeapGrowth, WhatALoadAllocatesLiesInRoomMarkedForHugePages) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers bring their own allocator";
#endif
    if (!QFileInfo::exists(QStringLiteral("/sys/kernel/mm/transparent_hugepage")))
        GTEST_SKIP() << "this kernel has no huge pages for ordinary memory";
    std::vector<std::unique_ptr<char[]>> records;
    std::size_t inRoom = 0;
    {
        const LargeHeapGrowth room(std::size_t(64) << 20);
        for (int i = 0; i < 20000; ++i)
            records.push_back(std::make_unique<char[]>(1000));
        const auto ranges = hugePageRanges();
        for (const auto& record : records) {
            const auto at = std::uintptr_t(record.get());
            for (const auto& [from, to] : ranges)
                inRoom += at >= from && at < to;
        }
    }
    // Some land in holes left by earlier frees or below the first whole huge
    // page of the room; most come from the room.
    EXPECT_GT(inRoom, records.size() * 3 / 4);
    records.push_back(std::make_unique<char[]>(std::size_t(40) << 20));
    EXPECT_NE(records.back(), nullptr);
}
