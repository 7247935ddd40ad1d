// The folders of src/ are layers, each a library that may use only the layers
// below it. An include that reaches up would tie a subsystem to the application.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QStringList kLayers{"platform", "settings", "log", "catalogue", "emulator", "app"};

// Every `#include "layer/…"` that names a layer above the including file's own.
QStringList upwardIncludes(const QString& root) {
    static const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s+"([^"/]+)/)"),
                                            QRegularExpression::MultilineOption);
    QStringList found;
    QDirIterator files(root, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = path.mid(root.size() + 1);
        const qsizetype own = kLayers.indexOf(relative.section(u'/', 0, 0));
        QFile file(path);
        if (own < 0 || !file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto it = include.globalMatch(text); it.hasNext();) {
            const QString target = it.next().captured(1);
            if (kLayers.indexOf(target) > own)
                found << relative + QStringLiteral(" includes ") + target + u'/';
        }
    }
    found.sort();
    return found;
}

TEST(Layers, NoLayerIncludesALayerAboveIt) {
    const QString root = QStringLiteral(KD_SOURCE_DIR "/src");
    EXPECT_EQ(upwardIncludes(root).join(u'\n').toStdString(), "");
    // Every folder of src/ is a known layer, so none escapes the check.
    QStringList folders = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& layer : kLayers)
        folders.removeAll(layer);
    EXPECT_EQ(folders.join(u' ').toStdString(), "");
}

TEST(Layers, TheCheckSeesAnUpwardInclude) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("log"));
    QFile file(dir.filePath("log/view.cpp"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#include \"log/view.h\"\n#include \"settings/store.h\"\n  #include "
               "\"app/appdelegate.h\"\n");
    file.close();
    EXPECT_EQ(upwardIncludes(dir.path()), QStringList{"log/view.cpp includes app/"});
}

} // namespace
