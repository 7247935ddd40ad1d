// Atomic writes keep what the user made of the file they replace.
#include "platform/atomicfile.h"
#include "support/testbundle.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kd::test {
namespace {

struct stat statOf(const QString& path, bool follow = true) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st);
    return st;
}

// Names of the longest a folder takes, in one- and two-byte characters; a new
// file's mode follows the umask; no temporary file stays behind.
TEST(AtomicFile, NewFilesOfAnyNameFollowTheUmask) {
    QTemporaryDir dir;
    for (const QString& name :
         QStringList{QString(251, u'n') + ".xml", QString(127, u'\u00e9') + 'x'}) {
        ASSERT_EQ(QFile::encodeName(name).size(), 255);
        for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{077, 0600}, {002, 0664}}) {
            const QString path = dir.filePath(name);
            QFile::remove(path);
            const mode_t previous = ::umask(mask);
            QString error;
            const bool written = writeFileAtomically(path, "new", &error);
            ::umask(previous);
            ASSERT_TRUE(written) << error.toStdString();
            EXPECT_EQ(readFile(path), "new");
            EXPECT_EQ(statOf(path).st_mode & 07777, mode) << std::oct << mask;
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// A list linked into a folder of dotfiles (through two links, one relative)
// stays linked, and the file it names keeps its mode, owner, group and
// extended attributes. What is not a regular file is never replaced.
TEST(AtomicFile, ReplacedFilesKeepTheirLinksModeOwnerAndAttributes) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("dotfiles"));
    const QString real = dir.filePath("dotfiles/recently-used.xbel");
    const QByteArray file = QFile::encodeName(real);
    ASSERT_TRUE(writeFile(real, "old"));
    ASSERT_EQ(::chmod(file.constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.constData(), 4242, 4343), 0);
    }
    const bool attributes = ::setxattr(file.constData(), "user.kd", "kept", 4, 0) == 0;
    const QString hop = dir.filePath("hop"), list = dir.filePath("list.xbel");
    ASSERT_TRUE(QFile::link("dotfiles/recently-used.xbel", hop));
    ASSERT_TRUE(QFile::link(hop, list));

    QString error;
    ASSERT_TRUE(writeFileAtomically(list, "new", &error)) << error.toStdString();
    EXPECT_TRUE(S_ISLNK(statOf(list, false).st_mode) && S_ISLNK(statOf(hop, false).st_mode));
    EXPECT_EQ(readFile(real), "new");
    const struct stat st = statOf(real);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(!root || (st.st_uid == 4242 && st.st_gid == 4343));
    char value[8] = {};
    EXPECT_TRUE(!attributes || ::getxattr(file.constData(), "user.kd", value, sizeof value) == 4);
    EXPECT_STREQ(attributes ? value : "kept", "kept");

    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(writeFileAtomically(fifo, "new", &error));
    EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    EXPECT_TRUE(S_ISFIFO(statOf(fifo).st_mode));
}

} // namespace
} // namespace kd::test
