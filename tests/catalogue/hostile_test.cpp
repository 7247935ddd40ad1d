// Game-list files made to hurt: whatever they hold, the launcher gives an
// error or the exact value, never a crash, a hang or a changed record.

#include "catalogue/gamelist.h"
#include "catalogue/plistwriter.h"
#include "plisttestutil.h"
#include "settings/pathops.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace kd;
using namespace kd::plist;
using namespace std::string_literals;
using kd::plist::test::dict;
using kd::plist::test::document;

namespace {

std::string be(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += char((v >> (8 * i)) & 0xFF);
    return s;
}

// A binary property list from encoded objects (index = reference), with the
// trailer's fields open to tampering.
struct Bplist {
    std::vector<std::string> objects;
    int refSize = 1;
    int offsetSize = 4;
    std::uint64_t top = 0;
    std::optional<std::uint64_t> count, table;
    std::vector<std::pair<std::size_t, std::uint64_t>> offsetOverrides;

    std::string ref(std::uint64_t r) const { return be(r, refSize); }
    std::string build() const {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const std::string& o : objects) {
            offsets.push_back(out.size());
            out += o;
        }
        for (const auto& [index, offset] : offsetOverrides)
            offsets[index] = offset;
        const std::uint64_t tableAt = out.size();
        for (const std::uint64_t o : offsets)
            out += be(o, offsetSize);
        out += std::string(6, '\0') + char(offsetSize) + char(refSize);
        out += be(count.value_or(objects.size()), 8) + be(top, 8) + be(table.value_or(tableAt), 8);
        return out;
    }
};

// A marker with its count, in the long form when it does not fit the nibble.
std::string counted(unsigned marker, std::uint64_t n) {
    if (n < 15)
        return std::string(1, char(marker | n));
    return std::string(1, char(marker | 0x0F)) + "\x13"s + be(n, 8);
}

std::string ascii(std::string_view s) {
    return counted(0x50, s.size()) + std::string(s);
}

std::string loadedName(const Value& record) {
    return *record.dictionary()->find("name")->string();
}

class HostileFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("Kaleidrome.xml"));
    }
    void put(const std::string& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes.data(), qsizetype(bytes.size())), qint64(bytes.size()));
    }

    QTemporaryDir dir;
    QString path;
};

} // namespace

// Found by the fuzzer: an empty name, or one of separators only, made the
// artwork path `<folder>.png` beside the folder, and a NUL (binary files can
// hold one) cut the ROM path short where the system reads it. Such records
// still load unchanged; they only have no name to form a path from.
TEST_F(HostileFile, NamesThatCannotNameAFileFormNoPath) {
    const std::string names[] = {""s, "/"s, "///"s, "ab\0cd"s, "\0"s, "/lead"s, "a b.c"s, ".."s};
    Bplist b;
    b.objects.push_back(""); // the list, filled in below
    b.objects.push_back(ascii("name"));
    std::string list = counted(0xA0, std::size(names));
    for (const std::string& name : names) {
        list += b.ref(b.objects.size());
        b.objects.push_back("\xD1\x01"s + b.ref(b.objects.size() + 1));
        b.objects.push_back(ascii(name));
    }
    b.objects[0] = list;
    put(b.build());

    const GameListLoad load = loadGameList(path);
    ASSERT_EQ(load.status, GameListLoad::Status::Loaded) << load.reason.toStdString();
    ASSERT_EQ(load.records.size(), std::size(names));
    const QString folder = QStringLiteral("/games/snaps");
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const Value& record = load.records[i];
        EXPECT_EQ(loadedName(record), names[i]);
        const std::optional<QString> name = gameName(record);
        const bool usable = i >= 5;
        ASSERT_EQ(name.has_value(), usable) << "record " << i;
        if (!usable)
            continue;
        const QString artwork =
            path::appendExtension(path::appendComponent(folder, *name), QStringLiteral("png"));
        EXPECT_TRUE(artwork.startsWith(folder + u'/')) << artwork.toStdString();
        EXPECT_TRUE(artwork.endsWith(
            QString::fromStdString(names[i]).mid(names[i].starts_with('/') ? 1 : 0) + u".png"))
            << artwork.toStdString();
    }
}
