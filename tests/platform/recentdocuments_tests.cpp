#include "platform/desktop/qtdesktop.h"
#include "platform/desktop/recentdocuments.h"
#include "support/blockingfifo.h"
#include "support/testbundle.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QUrl>
#include <cstdio>
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
        g_auto(GStrv) list = g_bookmark_file_get_uris(file, nullptr);
        QStringList result;
        for (gchar** uri = list; *uri; ++uri)
            result.append(QString::fromUtf8(*uri));
        return result;
    }
    QString mimeType(const QString& uri) const {
        g_autofree gchar* type =
            g_bookmark_file_get_mime_type(file, uri.toUtf8().constData(), nullptr);
        return QString::fromUtf8(type);
    }
    // The launch command GLib would run for the uri, and how often we noted it.
    std::pair<QString, uint> launcher(const QString& uri) const {
        g_autofree gchar* exec = nullptr;
        guint count = 0;
        g_bookmark_file_get_application_info(file, uri.toUtf8().constData(), "Kaleidrome Launcher",
                                             &exec, &count, nullptr, nullptr);
        return {QString::fromUtf8(exec), count};
    }
};

QString uriOf(const QString& path) {
    return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
}

class RecentDocuments : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString dataHome = dir.filePath("data");
    ScopedEnv env{"XDG_DATA_HOME", QFile::encodeName(dataHome)};
    QString listFile = dataHome + "/recently-used.xbel";
    QtDesktop desktop{dir.path()};
};

TEST_F(RecentDocuments, ListFileFollowsTheEnvironmentAtEachCall) {
    EXPECT_EQ(recentlyUsedFile(), listFile);
    for (const QByteArray unusable : {"relative/data", ""}) {
        ScopedEnv data("XDG_DATA_HOME", unusable);
        ScopedEnv home("HOME", QFile::encodeName(dir.path()));
        EXPECT_EQ(recentlyUsedFile(), dir.path() + "/.local/share/recently-used.xbel");
    }
}

TEST_F(RecentDocuments, NotesUriMimeTypeAndLaunchCommandOncePerDocument) {
    // The data folder does not exist yet: a first note creates it.
    const QString first = dir.filePath("roms/astro vex.zip");
    // A name that starts with U+FEFF is noted under its own address.
    const QString second = dir.filePath("roms/\uFEFF./b.zip");
    const QString secondUri =
        QString::fromLatin1(QUrl::fromLocalFile(dir.path()).toEncoded() + "/roms/%EF%BB%BF./b.zip");
    desktop.noteRecentDocument(first);
    desktop.noteRecentDocument(second);
    desktop.noteRecentDocument(first);

    Bookmarks list(listFile);
    ASSERT_TRUE(list.loaded);
    QStringList uris = list.uris();
    uris.sort();
    EXPECT_EQ(uris, (QStringList{secondUri, uriOf(first)}));
    EXPECT_EQ(list.mimeType(uriOf(first)), "application/zip");
    const auto [command, count] = list.launcher(uriOf(first));
    // Quoted once by GLib, so it reads back as a plain command line.
    EXPECT_TRUE(command.startsWith("kaleidrome-launcher ")) << command.toStdString();
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(list.launcher(secondUri).second, 1u);
}

// A list that cannot be read (GLib does not read one that starts with a
// byte-order mark) is left as it is rather than rewritten without the user's
// entries; an empty path is refused.
TEST_F(RecentDocuments, AListThatCannotBeReadIsLeftAsItIs) {
    QDir().mkpath(dataHome);
    const QByteArray xbel = "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><bookmark href=";
    for (const QByteArray& unreadable :
         {xbel, QByteArray("\xEF\xBB\xBF" + xbel +
                           "\"file:///r/a.zip\" added=\"2024-12-07T12:16:55Z\"/></xbel>")}) {
        ASSERT_TRUE(test::writeFile(listFile, unreadable));
        QString error;
        EXPECT_FALSE(addRecentDocument(listFile, dir.filePath("a.zip"), &error));
        EXPECT_FALSE(error.isEmpty());
        desktop.noteRecentDocument(dir.filePath("b.zip"));
        EXPECT_EQ(test::readFile(listFile), unreadable);
    }
    QFile::remove(listFile);
    EXPECT_FALSE(addRecentDocument(listFile, QString()));
    EXPECT_FALSE(QFile::exists(listFile));
}

// A FIFO in the place of the list, which GLib's own open would wait on at
// every game start, is left alone and said once however often games start.
TEST_F(RecentDocuments, AFifoInThePlaceOfTheListIsLeftAloneAndSaidOnce) {
    ASSERT_TRUE(QDir().mkpath(dataHome));
    test::BlockingFifo fifo(listFile);
    QTemporaryFile said;
    ASSERT_TRUE(said.open());
    std::fflush(stderr);
    const int standardError = ::dup(2);
    ::dup2(said.handle(), 2);
    desktop.noteRecentDocument(dir.filePath("a.zip"));
    desktop.noteRecentDocument(dir.filePath("b.zip"));
    ::dup2(standardError, 2);
    ::close(standardError);
    EXPECT_FALSE(fifo.readerWasHeld());
    EXPECT_EQ(test::readFile(said.fileName()).count("Recent documents not updated"), 1);
    EXPECT_TRUE(QFileInfo::exists(listFile) && !QFileInfo(listFile).isFile());
}

} // namespace
} // namespace kd
