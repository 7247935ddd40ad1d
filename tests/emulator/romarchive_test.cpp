#include "emulator/romarchive.h"
#include "support/runhelpers.h"
#include "support/testbundle.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kd::test {
namespace {

// Each check opens the path to look at it; a long session checks thousands.
TEST(RomArchive, CheckingLeavesNoDescriptorOpen) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("astrovex.zip"), "PK") &&
                QDir().mkpath(dir.filePath("folder.zip")));
    const int before = openDescriptorCount();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(checkRomArchive(dir.filePath("astrovex.zip")), RomArchiveCheck::Ok);
        EXPECT_EQ(checkRomArchive(dir.filePath("folder.zip")), RomArchiveCheck::NotRegularFile);
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

} // namespace
} // namespace kd::test
