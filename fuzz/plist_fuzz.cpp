// Feeds arbitrary bytes through what the launcher does with a game list: both
// readers (whole and streamed), loading from a file, the list controller and
// its sorted view, the game name and the paths formed from it, the exit check
// and the writer. Whatever reads must write and read back equal; nothing may
// change on the way.

#include "catalogue/artwork.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/plistreader.h"
#include "catalogue/plistwriter.h"
#include "catalogue/romfolder.h"
#include "check.h"
#include "settings/pathops.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace kd::fuzz {

using namespace kd::plist;

namespace {

// One file per fuzzing process, rewritten for every input and removed at exit.
const QString& listPath() {
    struct TempFile {
        QString path = QDir::tempPath() + QStringLiteral("/kd-plist-fuzz-%1.plist").arg(::getpid());
        ~TempFile() { QFile::remove(path); }
    };
    static const TempFile file;
    return file.path;
}

void writeInput(std::string_view bytes) {
    const QByteArray name = QFile::encodeName(listPath());
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    require(fd >= 0, "cannot create the list file");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        require(n > 0, "cannot write the list file");
        done += std::size_t(n);
    }
    ::close(fd);
}

// The file name part of `path` below `folder` must be exactly `name` (less the
// separators it may start with) plus the extension: no name may reach outside
// the folder's own entries or lose characters on the way.
void checkPath(const QString& path, const QString& folder, const QString& name,
               const QString& extension) {
    QString tail = name;
    while (tail.startsWith(u'/'))
        tail.remove(0, 1);
    require(path == folder + u'/' + tail + u'.' + extension, "a path does not name the record");
    require(!path.contains(QChar(0)), "a path holds a NUL character");
}

// Folders made for the input, two levels down in a tree of their own, so that
// a name climbing out of them lands in the tree.
struct Tree {
    QString root = QDir::tempPath() + QStringLiteral("/kd-plist-fuzz-tree-%1").arg(::getpid());
    QString roms = root + QStringLiteral("/a/b/roms");
    QString snaps = root + QStringLiteral("/a/b/snaps");
    QString placeholder = root + QStringLiteral("/placeholder.jpg"); // never made
    QByteArray picture;
    Tree() {
        require(QDir().mkpath(roms) && QDir().mkpath(snaps), "cannot make the folders");
        QImage image(1, 1, QImage::Format_RGB32);
        image.fill(Qt::black);
        QBuffer buffer(&picture);
        require(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"),
                "cannot make a picture");
    }
    ~Tree() { QDir(root).removeRecursively(); }
};

const Tree& tree() {
    static const Tree made;
    return made;
}

// A name with a "." or ".." part is refused, and only such a name: one that
// leads out of its folder never finds a picture or an archive, not even where a
// valid one is put for it; a name the rule passes stays inside as written.
void checkStaysInFolder(const Value& record, const std::string& raw, const QString& name) {
    const Tree& t = tree();
    const bool stays = nameStaysInFolder(name);
    require(stays == nameStaysInFolder(std::string_view(raw)),
            "the rule reads bytes and text apart");
    bool dotPart = false;
    for (const QString& part : name.split(u'/'))
        dotPart = dotPart || part == u"." || part == u"..";
    require(stays != dotPart, "the rule judges a name wrongly");
    QString tail = name;
    while (tail.startsWith(u'/'))
        tail.remove(0, 1);
    const QString snapshot = QDir::cleanPath(t.snaps + u'/' + tail + QStringLiteral(".png"));
    const QString rom = QDir::cleanPath(t.roms + u'/' + tail + QStringLiteral(".zip"));
    if (stays) {
        require(snapshot.startsWith(t.snaps + u'/') && rom.startsWith(t.roms + u'/'),
                "a name the rule passes leads out of its folder");
        return;
    }
    QStringList planted;
    const auto plant = [&](const QString& where, const QByteArray& bytes) {
        if (!where.startsWith(t.root + u'/') || QFileInfo::exists(where) ||
            !QFileInfo(path::deleteLastComponent(where)).isDir())
            return;
        QFile file(where);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            planted << where;
    };
    plant(snapshot, t.picture);
    plant(rom, QByteArrayLiteral("zip"));
    const bool found =
        chooseArtwork(t.snaps, name, {QStringLiteral("png")}, t.placeholder).path != t.placeholder;
    const bool available = availabilityOf({record}, t.roms, {}).front();
    for (const QString& file : planted)
        QFile::remove(file);
    require(!found, "a name that leaves its folder found a picture");
    require(!available, "a name that leaves its folder found an archive");
}

// What the launcher does with one record: a name, its ROM and artwork paths.
void useRecord(const Value& record) {
    const std::optional<QString> name = gameName(record);
    if (!name)
        return;
    const std::string* raw = record.dictionary()->find("name")->string();
    require(name->toUtf8() == QByteArray(raw->data(), qsizetype(raw->size())),
            "the name changed on its way to text");
    static const QString roms = QStringLiteral("/fuzz/roms");
    static const QString snaps = QStringLiteral("/fuzz/snaps");
    checkPath(path::appendComponent(roms, path::appendExtension(*name, QStringLiteral("zip"))),
              roms, *name, QStringLiteral("zip"));
    for (const char* ext : {"png", "jpg", "ico"}) {
        const QString extension = QString::fromLatin1(ext);
        checkPath(path::appendExtension(path::appendComponent(snaps, *name), extension), snaps,
                  *name, extension);
    }
    checkStaysInFolder(record, *raw, *name);
}

void useList(std::string_view bytes, const std::vector<Value>& records) {
    GameListController controller;
    controller.addObjects(records);
    require(controller.content() == records, "the controller changed the records");

    // At exit an untouched list must leave the file alone.
    const GameListSave save =
        saveGameListIfChanged(listPath(), controller.content(), controller.arrangedObjects());
    require(save.status == GameListSave::Status::Unchanged, "an unchanged list is not unchanged");

    // The table shows every text exactly as the file holds it.
    constexpr int kShown = 64;
    GameListModel* model = controller.model();
    for (int row = 0; row < std::min(kShown, model->rowCount()); ++row) {
        const Dictionary* record = records[std::size_t(row)].dictionary();
        for (int column = 0; column < GameListModel::ColumnCount; ++column) {
            const QVariant shown = model->data(model->index(row, column), Qt::DisplayRole);
            (void)model->data(model->index(row, column), GameListModel::SortRole);
            const Value* v = record ? record->find(GameListModel::key(column)) : nullptr;
            if (const std::string* raw = v ? v->string() : nullptr)
                require(shown.toString().toUtf8() ==
                            QByteArray(raw->data(), qsizetype(raw->size())),
                        "the table shows a text changed");
        }
    }
    for (std::size_t i = 0; i < records.size() && i < std::size_t(kShown); ++i)
        useRecord(records[i]);

    // Sort by a column the input picks, then run the exit check's streaming
    // comparison against the arranged order, as saveGameListIfChanged does.
    const int column = int(bytes.size() % GameListModel::ColumnCount);
    controller.proxyModel()->sort(column, (bytes.size() / GameListModel::ColumnCount) % 2
                                              ? Qt::DescendingOrder
                                              : Qt::AscendingOrder);
    const std::vector<const Value*> arranged = controller.arrangedObjects();
    require(arranged.size() == records.size(), "the arranged list lost records");
    std::vector<const Value*> sorted = arranged;
    std::sort(sorted.begin(), sorted.end());
    require(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end(),
            "the arranged list repeats a record");
    bool expected = true;
    for (std::size_t i = 0; i < records.size(); ++i)
        expected = expected && *arranged[i] == records[i];
    std::size_t i = 0;
    bool equal = true;
    const ArrayReadResult r = readArray(bytes, [&](Value&& v) {
        equal = equal && i < arranged.size() && v == *arranged[i];
        ++i;
    });
    require(r.status == ArrayStatus::Ok, "a list read once does not read again");
    require((equal && i == arranged.size()) == expected, "the exit check compares wrongly");

    std::string out;
    if (writeXmlArray(controller.content(), out)) {
        std::vector<Value> back;
        require(readArray(out, [&](Value&& v) { back.push_back(std::move(v)); }).status ==
                    ArrayStatus::Ok,
                "a written list does not read as a list");
        require(back == records, "a written list reads back different");
    }
}

} // namespace

void checkGameList(std::string_view bytes) {
    std::vector<Value> elements;
    // How far the reader says it got: forward only, within the document, once
    // per element of an XML list (a caller lets go of what lies before).
    std::vector<std::size_t> reached;
    const ArrayReadResult streamed = readArray(
        bytes, [&](Value&& v) { elements.push_back(std::move(v)); },
        [&](std::size_t offset) {
            require(offset <= bytes.size() && (reached.empty() || offset > reached.back()),
                    "the reader reports reading backwards or beyond the document");
            reached.push_back(offset);
        });
    const bool binary = bytes.substr(0, 8) == "bplist00";
    require(reached.size() == (binary ? 0 : elements.size()),
            "the reader reports its progress other than once per element");
    const ReadResult r = read(bytes);
    require(r.value.has_value() == (streamed.status != ArrayStatus::Error),
            "the whole and streamed readers disagree on an error");
    if (streamed.status == ArrayStatus::Ok)
        require(r.value->array() && *r.value->array() == elements,
                "the whole and streamed readers disagree on the elements");
    if (streamed.status == ArrayStatus::NotAnArray)
        require(!r.value->array(), "an array root was not streamed");

    writeInput(bytes);
    GameListLoad load = loadGameList(listPath());
    if (streamed.status == ArrayStatus::Ok) {
        require(load.status == GameListLoad::Status::Loaded, "a list did not load");
        require(load.records == elements, "the loaded records differ from the read ones");
    } else {
        require(load.status == GameListLoad::Status::NotAList && load.records.empty(),
                "what is not a list loaded");
    }

    if (!r.value)
        return;
    const Value& v = *r.value;
    const Value copy = v;
    require(copy == v, "a copy differs");
    std::string out;
    if (writeXml(v, out)) {
        const ReadResult back = read(out);
        require(back.value && *back.value == v, "a written value reads back different");
    }
    if (load.status == GameListLoad::Status::Loaded)
        useList(bytes, load.records);
}

} // namespace kd::fuzz
