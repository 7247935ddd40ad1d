#include "app/activation.h"
#include "app/stringtable.h"

#include <gtest/gtest.h>

namespace kd {
namespace {

TEST(Activation, FirstExactCaseSensitiveMatchWins) {
    const QList<RunningApplication> apps{{"Kaleidrome Launcher", 10, 0},
                                         {"kaleidrome", 11, 101},
                                         {"Kaleidrome", 12, 102},
                                         {"Kaleidrome", 13, 103},
                                         {QString(), 14, 104}};
    ASSERT_TRUE(findRunningApplication(apps, "Kaleidrome").has_value());
    EXPECT_EQ(findRunningApplication(apps, "Kaleidrome")->pid, 12);
    EXPECT_EQ(findRunningApplication(apps, "Kaleidrome Launcher")->pid, 10);
    EXPECT_FALSE(findRunningApplication(apps, "KALEIDROME").has_value());
    EXPECT_FALSE(findRunningApplication(apps, "Kaleidrome ").has_value());
    EXPECT_FALSE(findRunningApplication(apps, QString()).has_value());
    EXPECT_FALSE(findRunningApplication({}, "Kaleidrome").has_value());
}

TEST(StringTable, FormatsAndMissingKeys) {
    StringTable table;
    table.insert("Alert_3", "Ended with status %d (100%% sure)");
    EXPECT_EQ(formatText(table.text("Alert_3"), 15), "Ended with status 15 (100% sure)");
    EXPECT_EQ(table.text("Unknown_9"), "Unknown_9");
    EXPECT_EQ(formatText("%ld and %@ and %x", -1, "t"), "-1 and t and %x");
    EXPECT_EQ(formatText("trailing %"), "trailing %");
}

} // namespace
} // namespace kd
