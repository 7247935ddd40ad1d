#include "platform/qtdesktop.h"
#include "platform/recentdocuments.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <glib.h>
#include <gtest/gtest.h>

namespace kd {
namespace {

using test::ScopedEnv;

// The list as another desktop program would read it back.
struct Bookmarks {
    GBookmarkFile* file = g_bookmark_file_new();
    bool loaded = false;
    explicit Bookmarks(const QString& path) {
        loaded = g_bookmark_file_load_from_file(file, QFile::encodeName(path).constData(), nullptr);
    }
    ~Bookmarks() { g_bookmark_file_free(file); }
    QStringList uris() const {
        gsize length = 0;
        gchar** list = g_bookmark_file_get_uris(file, &length);
        QStringList result;
        for (gsize i = 0; i < length; ++i)
            result.append(QString::fromUtf8(list[i]));
        g_strfreev(list);
        return result;
    }
    QString mimeType(const QString& uri) const {
        gchar* type = g_bookmark_file_get_mime_type(file, uri.toUtf8().constData(), nullptr);
        const QString result = QString::fromUtf8(type);
        g_free(type);
        return result;
    }
    // The launch command GLib would run for the uri, and how often we noted it.
    std::pair<QString, uint> launcher(const QString& uri) const {
        gchar* exec = nullptr;
        guint count = 0;
        g_bookmark_file_get_application_info(file, uri.toUtf8().constData(), "Kaleidrome Launcher",
                                             &exec, &count, nullptr, nullptr);
        const QString command = QString::fromUtf8(exec);
        g_free(exec);
        return {command, count};
    }
};

QString uriOf(const QString& path) {
    return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RecentDocuments : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString dataHome = dir.filePath(QStringLiteral("data"));
    ScopedEnv env{"XDG_DATA_HOME", QFile::encodeName(dataHome)};
    QString listFile = dataHome + QStringLiteral("/recently-used.xbel");
    QtDesktop desktop{dir.path()};
};

TEST_F(RecentDocuments, ListFileFollowsTheEnvironmentAtEachCall) {
    EXPECT_EQ(recentlyUsedFile(), listFile);
    {
        ScopedEnv relative("XDG_DATA_HOME", "relative/data");
        ScopedEnv home("HOME", QFile::encodeName(dir.path()));
        EXPECT_EQ(recentlyUsedFile(),
                  dir.path() + QStringLiteral("/.local/share/recently-used.xbel"));
    }
    {
        ScopedEnv empty("XDG_DATA_HOME", "");
        ScopedEnv home("HOME", QFile::encodeName(dir.path()));
        EXPECT_EQ(recentlyUsedFile(),
                  dir.path() + QStringLiteral("/.local/share/recently-used.xbel"));
    }
}

TEST_F(RecentDocuments, NoteRecordsUriMimeTypeAndLaunchCommand) {
    // The data folder does not exist yet: a first note creates it.
    const QString rom = dir.filePath(QStringLiteral("roms/astro vex.zip"));
    desktop.noteRecentDocument(rom);

    Bookmarks list(listFile);
    ASSERT_TRUE(list.loaded);
    EXPECT_EQ(list.uris(), QStringList{uriOf(rom)});
    EXPECT_EQ(list.mimeType(uriOf(rom)), QStringLiteral("application/zip"));
    const auto [command, count] = list.launcher(uriOf(rom));
    // Quoted once by GLib, so it reads back as a plain command line.
    EXPECT_TRUE(command.startsWith(QStringLiteral("kaleidrome-launcher ")))
        << command.toStdString();
    EXPECT_EQ(count, 1u);
}

TEST_F(RecentDocuments, NotingAgainKeepsOneEntryAndOtherEntriesStay) {
    const QString first = dir.filePath(QStringLiteral("roms/boltrunner.zip"));
    const QString second = dir.filePath(QStringLiteral("roms/cometkai.zip"));
    desktop.noteRecentDocument(first);
    desktop.noteRecentDocument(second);
    desktop.noteRecentDocument(first);

    Bookmarks list(listFile);
    ASSERT_TRUE(list.loaded);
    QStringList uris = list.uris();
    uris.sort();
    EXPECT_EQ(uris, (QStringList{uriOf(first), uriOf(second)}));
    EXPECT_EQ(list.launcher(uriOf(first)).second, 2u);
    EXPECT_EQ(list.launcher(uriOf(second)).second, 1u);
}

TEST_F(RecentDocuments, BrokenListIsLeftAsItIs) {
    QDir().mkpath(dataHome);
    const QByteArray broken = "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><bookmark href=";
    {
        QFile file(listFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(broken);
    }
    QString error;
    EXPECT_FALSE(addRecentDocument(listFile, dir.filePath(QStringLiteral("a.zip")), &error));
    EXPECT_FALSE(error.isEmpty());
    desktop.noteRecentDocument(dir.filePath(QStringLiteral("b.zip")));
    EXPECT_EQ(readAll(listFile), broken);
}

// A ROM whose name starts with U+FEFF is noted under its own address, and a
// list file that starts with a byte-order mark (GLib does not read one) is
// left as it is rather than rewritten without the user's entries.
TEST_F(RecentDocuments, ByteOrderMarksChangeNoEntry) {
    const QString rom = dir.filePath(QStringLiteral("roms/\uFEFF./b.zip"));
    desktop.noteRecentDocument(rom);
    Bookmarks list(listFile);
    ASSERT_TRUE(list.loaded);
    const QString expected =
        QString::fromLatin1(QUrl::fromLocalFile(dir.path()).toEncoded() + "/roms/%EF%BB%BF./b.zip");
    EXPECT_EQ(list.uris(), QStringList{expected});

    const QByteArray marked = "\xEF\xBB\xBF" + readAll(listFile);
    {
        QFile file(listFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(marked);
    }
    EXPECT_FALSE(addRecentDocument(listFile, dir.filePath(QStringLiteral("c.zip"))));
    EXPECT_EQ(readAll(listFile), marked);
}

TEST_F(RecentDocuments, EmptyPathIsRefused) {
    EXPECT_FALSE(addRecentDocument(listFile, QString()));
    EXPECT_FALSE(QFile::exists(listFile));
}

} // namespace
} // namespace kd
