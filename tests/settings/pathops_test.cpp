#include "settings/pathops.h"

#include <gtest/gtest.h>

namespace kd {
namespace {

TEST(PathOps, AppendComponentUsesExactlyOneSeparator) {
    EXPECT_EQ(path::appendComponent("/roms", "a.zip"), "/roms/a.zip");
    EXPECT_EQ(path::appendComponent("/roms/", "a.zip"), "/roms/a.zip");
    EXPECT_EQ(path::appendComponent("/roms//", "a.zip"), "/roms/a.zip");
    EXPECT_EQ(path::appendComponent("/", "a.zip"), "/a.zip");
    EXPECT_EQ(path::appendComponent("/roms", "//a.zip"), "/roms/a.zip");
    EXPECT_EQ(path::appendComponent("", "a.zip"), "a.zip");
    EXPECT_EQ(path::appendComponent("my roms", "a b.zip"), "my roms/a b.zip");
    EXPECT_EQ(path::appendExtension(path::appendComponent("/s", "a.b"), "png"), "/s/a.b.png");
}

TEST(PathOps, DeleteAndTakeLastComponent) {
    EXPECT_EQ(path::deleteLastComponent("/opt/emu/Kaleidrome"), "/opt/emu");
    EXPECT_EQ(path::deleteLastComponent("/opt/emu/"), "/opt");
    EXPECT_EQ(path::deleteLastComponent("/Kaleidrome"), "/");
    EXPECT_EQ(path::deleteLastComponent("Kaleidrome"), "");
    EXPECT_EQ(path::deleteLastComponent(""), "");
    EXPECT_EQ(path::deleteLastComponent("/"), "/");
    EXPECT_EQ(path::lastComponent("/opt/emu/Kaleidrome"), "Kaleidrome");
    EXPECT_EQ(path::lastComponent("/opt/emu/"), "emu");
    EXPECT_EQ(path::lastComponent("Kaleidrome"), "Kaleidrome");
    EXPECT_EQ(path::lastComponent(""), "");
}

} // namespace
} // namespace kd
