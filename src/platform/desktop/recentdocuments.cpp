#include "platform/desktop/recentdocuments.h"

#include "platform/atomicfile.h"
#include "platform/regularfile.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>
#include <glib.h>
#include <memory>

namespace kd {

namespace {

struct BookmarkFileDeleter {
    void operator()(GBookmarkFile* file) const { g_bookmark_file_free(file); }
};
struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
struct CharDeleter {
    void operator()(gchar* text) const { g_free(text); }
};

bool fail(QString* error, const QString& what) {
    if (error)
        *error = what;
    return false;
}

bool fail(QString* error, const QString& what, GError* gerror) {
    const std::unique_ptr<GError, ErrorDeleter> owned(gerror);
    return fail(error, what + QStringLiteral(": ") +
                           QString::fromUtf8(gerror ? gerror->message : "unknown error"));
}

QString mimeTypeOf(const QString& path) {
    if (path.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        return QStringLiteral("application/zip");
    return QMimeDatabase().mimeTypeForFile(path).name();
}

} // namespace

QString recentlyUsedFile() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored, as desktops do.
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/recently-used.xbel");
}

bool addRecentDocument(const QString& listFile, const QString& path, QString* error) {
    if (path.isEmpty())
        return fail(error, QStringLiteral("no document to note"));
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QByteArray uri = QUrl::fromLocalFile(absolute).toEncoded();

    const std::unique_ptr<GBookmarkFile, BookmarkFileDeleter> list(g_bookmark_file_new());
    // Read here rather than by GLib, whose open would block on a FIFO.
    QByteArray old;
    QString readError;
    switch (readRegularFile(listFile, &old, &readError)) {
    case RegularFile::Refused:
        return fail(error, readError);
    case RegularFile::Read: {
        GError* gerror = nullptr;
        if (!g_bookmark_file_load_from_data(list.get(), old.constData(), gsize(old.size()),
                                            &gerror))
            return fail(error, QStringLiteral("cannot read ") + listFile, gerror);
        break;
    }
    case RegularFile::Absent:
        break;
    }

    g_bookmark_file_set_mime_type(list.get(), uri.constData(),
                                  mimeTypeOf(absolute).toUtf8().constData());
    // GLib quotes the command line itself; quoting it here would double it.
    g_bookmark_file_add_application(list.get(), uri.constData(), "Kaleidrome Launcher",
                                    "kaleidrome-launcher %u");

    gsize length = 0;
    GError* gerror = nullptr;
    const std::unique_ptr<gchar, CharDeleter> data(
        g_bookmark_file_to_data(list.get(), &length, &gerror));
    if (!data)
        return fail(error, QStringLiteral("cannot compose the recently-used list"), gerror);

    QDir().mkpath(QFileInfo(listFile).absolutePath());
    QString writeError;
    if (!writeFileAtomically(listFile, QByteArrayView(data.get(), qsizetype(length)), &writeError))
        return fail(error, writeError);
    return true;
}

} // namespace kd
