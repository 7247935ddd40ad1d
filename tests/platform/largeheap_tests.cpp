#include "platform/largeheap.h"

#include <QFile>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace kd;

namespace {

struct HugePageRange {
    std::uintptr_t from = 0, to = 0;
    qint64 hugeKiB = 0; // of it backed by huge pages
};

// The mappings of this process marked for huge pages ("hg" in VmFlags).
std::vector<HugePageRange> hugePageRanges() {
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    std::vector<HugePageRange> ranges;
    if (!smaps.open(QIODevice::ReadOnly))
        return ranges;
    HugePageRange range;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        // A mapping's first line starts "from-to perms ..."; its fields "Name: ...".
        if (dash > 0 && space > dash && !line.left(space).contains(':')) {
            range = {line.left(dash).toULongLong(nullptr, 16),
                     line.mid(dash + 1, space - dash - 1).toULongLong(nullptr, 16), 0};
        } else if (line.startsWith("AnonHugePages:")) {
            range.hugeKiB = line.mid(14).trimmed().split(' ').constFirst().toLongLong();
        } else if (line.startsWith("VmFlags:") && QByteArray(line + ' ').contains(" hg ")) {
            ranges.push_back(range);
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
    QFile policy(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    if (!policy.open(QIODevice::ReadOnly) || policy.readAll().contains("[never]"))
        GTEST_SKIP() << "this system gives ordinary memory no huge pages";
    std::vector<std::unique_ptr<char[]>> records;
    std::size_t inRoom = 0;
    {
        const LargeHeapGrowth room(std::size_t(64) << 20);
        for (int i = 0; i < 20000; ++i)
            records.push_back(std::make_unique<char[]>(1000));
        const auto ranges = hugePageRanges();
        for (const auto& record : records) {
            const auto at = std::uintptr_t(record.get());
            for (const HugePageRange& range : ranges)
                inRoom += at >= range.from && at < range.to;
        }
        // The room must be untouched when marked, or no huge page backs it.
        qint64 hugeKiB = 0;
        for (const HugePageRange& range : ranges)
            hugeKiB += range.hugeKiB;
        EXPECT_GE(hugeKiB, 4096);
    }
    // Some land in holes left by earlier frees or below the first whole huge
    // page of the room; most come from the room.
    EXPECT_GT(inRoom, records.size() * 3 / 4);
    records.push_back(std::make_unique<char[]>(std::size_t(40) << 20));
    EXPECT_NE(records.back(), nullptr);
}
