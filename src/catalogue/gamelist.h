#pragma once

#include "catalogue/gamelistcache.h"
#include "catalogue/plistvalue.h"

#include <QString>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace kd {

// The ROM set name of a game record: only when the record is a dictionary and
// its `name` is a string that can name an entry of a folder (not empty, not
// only '/', no NUL character). Callers refuse the action otherwise instead of
// forming a path from whatever the record holds.
std::optional<QString> gameName(const plist::Value& record);
// The same name as the UTF-8 bytes the record holds (file names on this system
// are UTF-8), or null.
const std::string* gameNameBytes(const plist::Value& record);

// Whether `<folder>/<name>` stays below the folder: no part of the name between
// separators is "." or "..". Other separators only lead further down. A record
// whose name fails this is shown, but no file is looked for or started by it.
bool nameStaysInFolder(std::string_view utf8);
bool nameStaysInFolder(QStringView name);

struct GameListLoad {
    enum class Status { NoFile, Loaded, NotAList };
    Status status = Status::NoFile;
    std::vector<plist::Value> records; // the root array's elements, in file order
    QString reason;                    // for NotAList: why the file is not a list
    std::uint64_t fileSize = 0;        // for Loaded
    ListDigest digest;                 // for Loaded with a cache file
    bool fromCache = false;            // the records came from the cache file
};

// Reads the game list at `path`. Elements that are not dictionaries are kept
// as they are. With a `cacheFile`, the records come from it when it is the
// cache of exactly the bytes `path` holds (see GameListController::keepCache);
// otherwise from the list file, as without one.
GameListLoad loadGameList(const QString& path, const QString& cacheFile = {});
// How many games the list at `path` holds; nothing when it does not read as a list.
std::optional<qint64> countGameList(const QString& path);

struct GameListSave {
    enum class Status {
        Unchanged,       // the file already holds the arranged list; not touched
        Written,         // `content` was written
        NotAList,        // the file exists but does not read as a list; left alone
        SerialiseFailed, // a record has no property-list form; nothing written
        WriteFailed,     // the old file is kept
    };
    Status status = Status::Unchanged;
    QString reason; // for the last three
};

struct GameListSaveOptions {
    // The file the list was read from, when `path` does not exist yet and the
    // list comes from elsewhere: compared with instead of `path`.
    QString readFrom;
    // Called with `path` just before an existing file there is replaced.
    std::function<void(const QString& replaced)> beforeReplacing;
};

// Writes `content` (stored order) to `path` unless the file already reads as
// a list equal to `arranged` (the order the table shows). A file that exists
// but does not read as a list is never replaced. A missing file is created.
GameListSave saveGameListIfChanged(const QString& path, const std::vector<plist::Value>& content,
                                   const std::vector<const plist::Value*>& arranged,
                                   const GameListSaveOptions& options = {});

} // namespace kd
