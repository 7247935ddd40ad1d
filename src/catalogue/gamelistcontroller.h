#pragma once

#include "catalogue/gamelistmodel.h"
#include "catalogue/gamesearch.h"
#include "catalogue/listcachewriter.h"
#include "catalogue/romfolder.h"
#include "catalogue/shownrowsproxy.h"

#include <QItemSelectionModel>
#include <QObject>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <limits>
#include <string>
#include <vector>

namespace kd {

// Holds the game records in stored order and presents them as the tables show
// them: the arranged list (a sort proxy over the stored list) and, above it,
// the rows the view filters let through (search words, only available games,
// only favourites).
// The filters hide rows only: the arranged list, the selection indexes and
// everything saved always see every record. Every table shares one selection.
class GameListController : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 NotFound = std::numeric_limits<qint64>::max();

    explicit GameListController(QObject* parent = nullptr);

    const std::vector<plist::Value>& content() const { return m_model.records(); }
    // The records in the order the tables arrange them, hidden ones included;
    // valid until the list changes.
    std::vector<const plist::Value*> arrangedObjects() const;
    void addObjects(std::vector<plist::Value> records);
    // Removes the record at that index of the stored list.
    void removeObject(std::size_t storedIndex);
    void removeAllObjects();
    // Writes the cache of the list as it is now, read from a file of
    // `fileSize` bytes with `digest`, on a thread of its own; a change to the
    // list meanwhile waits until the thread has read the records.
    // cacheWritten() follows.
    void keepCache(const QString& cacheFile, ListDigest digest, std::uint64_t fileSize);

    GameListModel* model() { return &m_model; }
    // The arranged list.
    QSortFilterProxyModel* proxyModel() { return &m_proxy; }
    // What the tables show, and the one selection they share.
    ShownRowsProxy* shownModel() { return &m_shown; }
    QItemSelectionModel* selectionModel() { return &m_selection; }

    // The stored index of the record a table shows at `shownIndex`, or NotFound.
    qint64 storedIndexOf(const QModelIndex& shownIndex) const;
    // Index in the arranged list of the selected record, or NotFound.
    qint64 selectionIndex() const;
    // The selected record, or null; valid until the list changes.
    const plist::Value* selection() const;
    // The stored index of the selected record, or NotFound.
    qint64 selectedStoredIndex() const;
    // Where the record at that stored index is in the arranged list.
    qint64 arrangedIndexOf(std::size_t storedIndex) const;
    // Selects that row of the arranged list; an index out of range, or a row
    // the filters hide, clears the selection.
    void setSelectionIndex(qint64 index);

    // View filters. A selected record that gets hidden is no longer selected;
    // when exactly one record is left it is selected.
    void setSearchText(const QString& text);
    void setShowOnlyAvailable(bool on);
    void setShowOnlyFavourites(bool on);
    // What the play history holds, by `name`; the filters follow it.
    void setGameStats(GameStatsByName stats);
    void setGameStats(const std::string& name, const GameStats& stats);
    // Whether each record's ROM archive was found, in stored order.
    void setAvailability(std::vector<bool> available);
    // The archives found in `folder`: the Available column follows them, and
    // follows records added or removed later. Records are matched in slices,
    // so a long list never holds the window.
    void setRomArchives(const QString& folder, std::shared_ptr<const RomArchiveNames> archives);
    // Rows shown by the filters.
    int shownCount() const { return m_shown.rowCount(); }
    // Index in the arranged list of the first row shown, or NotFound.
    qint64 firstShownIndex() const;
    const QString& searchText() const { return m_searchText; }
    bool showsOnlyAvailable() const { return m_onlyAvailable; }
    bool showsOnlyFavourites() const { return m_onlyFavourites; }
    // Whether a filter may hide games (search text of blanks alone hides none).
    bool isFiltering() const { return !m_words.empty() || m_onlyAvailable || m_onlyFavourites; }

    // Folds a slice of the records not yet in the search index; false once
    // all are in. Searching completes the index first if it has to.
    bool buildSearchIndexSlice(std::size_t records = 4096) const;
    // Stored indexes of at most `limit` records matching `text`, ranked as
    // GameSearchIndex::bestMatches says; the view filters play no part.
    std::vector<std::size_t> bestMatches(const QString& text, std::size_t limit) const;

signals:
    void selectionChanged();
    // The Available column shows the last archives set.
    void availabilityChanged();
    // The cache keepCache() asked for is written (`error` empty) or given up.
    void cacheWritten(const QString& error);

private:
    void applyFilters();
    void startMatchingArchives();
    void matchArchivesSlice();
    bool accepts(int arrangedRow) const;

    GameListModel m_model;
    QSortFilterProxyModel m_proxy;
    ShownRowsProxy m_shown;
    QItemSelectionModel m_selection;
    mutable GameSearchIndex m_index; // grows on demand, in stored order
    QString m_searchText;
    std::vector<std::string> m_words;
    bool m_onlyAvailable = false;
    bool m_onlyFavourites = false;

    QString m_archivesFolder;
    std::shared_ptr<const RomArchiveNames> m_archives;
    std::vector<bool> m_matching;
    std::size_t m_matchNext = 0;
    QTimer m_matchTimer;
    // Last: it waits for its thread, which reads the records, before they go.
    ListCacheWriter m_cacheWriter;
};

} // namespace kd
