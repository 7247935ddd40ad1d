#include "catalogue/gamelistcontroller.h"

namespace kd {

GameListController::GameListController(QObject* parent) : QObject(parent), m_selection(&m_shown) {
    m_proxy.setSourceModel(&m_model);
    m_proxy.setSortRole(GameListModel::SortRole);
    m_proxy.setSortCaseSensitivity(Qt::CaseInsensitive);
    m_shown.setSourceModel(&m_proxy);
    connect(&m_selection, &QItemSelectionModel::selectionChanged, this,
            &GameListController::selectionChanged);
    m_matchTimer.setInterval(0);
    connect(&m_matchTimer, &QTimer::timeout, this, &GameListController::matchArchivesSlice);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_model, signal, this, &GameListController::startMatchingArchives);
}

std::vector<const plist::Value*> GameListController::arrangedObjects() const {
    const auto& records = m_model.records();
    std::vector<const plist::Value*> arranged;
    const int rows = m_proxy.rowCount();
    arranged.reserve(std::size_t(rows));
    for (int r = 0; r < rows; ++r)
        arranged.push_back(&records[std::size_t(m_proxy.mapToSource(m_proxy.index(r, 0)).row())]);
    return arranged;
}

void GameListController::addObjects(std::vector<plist::Value> records) {
    m_cacheWriter.waitUntilRead();
    m_model.append(std::move(records));
}

void GameListController::removeObject(std::size_t storedIndex) {
    m_cacheWriter.waitUntilRead();
    if (storedIndex >= m_model.records().size())
        return;
    if (storedIndex < m_index.size())
        m_index.remove(storedIndex);
    m_model.remove(int(storedIndex));
}

void GameListController::keepCache(const QString& cacheFile, ListDigest digest,
                                   std::uint64_t fileSize) {
    m_cacheWriter.start(
        m_model.records(), digest, fileSize, cacheFile, [this](const QString& error) {
            QMetaObject::invokeMethod(
                this, [this, error] { emit cacheWritten(error); }, Qt::QueuedConnection);
        });
}

void GameListController::removeAllObjects() {
    m_cacheWriter.waitUntilRead();
    m_index.clear();
    m_model.clear();
}

qint64 GameListController::selectionIndex() const {
    qint64 first = NotFound;
    for (const QModelIndex& index : m_selection.selectedIndexes()) {
        const QModelIndex arranged = m_shown.mapToSource(index);
        if (arranged.isValid())
            first = std::min<qint64>(first, arranged.row());
    }
    return first;
}

qint64 GameListController::storedIndexOf(const QModelIndex& shownIndex) const {
    const QModelIndex source = m_proxy.mapToSource(m_shown.mapToSource(shownIndex));
    return source.isValid() ? source.row() : NotFound;
}

qint64 GameListController::selectedStoredIndex() const {
    const qint64 row = selectionIndex();
    if (row == NotFound)
        return NotFound;
    const QModelIndex source = m_proxy.mapToSource(m_proxy.index(int(row), 0));
    return source.isValid() ? source.row() : NotFound;
}

const plist::Value* GameListController::selection() const {
    const qint64 stored = selectedStoredIndex();
    return stored == NotFound ? nullptr : &m_model.records()[std::size_t(stored)];
}

qint64 GameListController::arrangedIndexOf(std::size_t storedIndex) const {
    if (storedIndex >= m_model.records().size())
        return NotFound;
    return m_proxy.mapFromSource(m_model.index(int(storedIndex), 0)).row();
}

qint64 GameListController::firstShownIndex() const {
    return m_shown.rowCount() == 0 ? NotFound : m_shown.mapToSource(m_shown.index(0, 0)).row();
}

void GameListController::setSelectionIndex(qint64 index) {
    const QModelIndex target = index < 0 || index >= m_proxy.rowCount()
                                   ? QModelIndex()
                                   : m_shown.mapFromSource(m_proxy.index(int(index), 0));
    if (!target.isValid()) {
        m_selection.clearSelection();
        return;
    }
    m_selection.select(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selection.setCurrentIndex(target, QItemSelectionModel::NoUpdate);
}

void GameListController::setSearchText(const QString& text) {
    if (text == m_searchText)
        return;
    m_searchText = text;
    m_words = searchWords(text);
    applyFilters();
}

void GameListController::setShowOnlyAvailable(bool on) {
    if (on == m_onlyAvailable)
        return;
    m_onlyAvailable = on;
    applyFilters();
}

void GameListController::setShowOnlyFavourites(bool on) {
    if (on == m_onlyFavourites)
        return;
    m_onlyFavourites = on;
    applyFilters();
}

void GameListController::setGameStats(GameStatsByName stats) {
    m_model.setGameStats(std::move(stats));
    if (m_onlyFavourites)
        applyFilters();
}

void GameListController::setGameStats(const std::string& name, const GameStats& stats) {
    m_model.setGameStats(name, stats);
    if (m_onlyFavourites)
        applyFilters();
}

void GameListController::setAvailability(std::vector<bool> available) {
    m_model.setAvailability(std::move(available));
    if (m_onlyAvailable)
        applyFilters();
}

void GameListController::setRomArchives(const QString& folder,
                                        std::shared_ptr<const RomArchiveNames> archives) {
    m_archivesFolder = folder;
    m_archives = std::move(archives);
    startMatchingArchives();
}

void GameListController::startMatchingArchives() {
    if (!m_archives)
        return;
    m_matching.assign(m_model.records().size(), false);
    m_matchNext = 0;
    m_matchTimer.start();
}

void GameListController::matchArchivesSlice() {
    using Clock = std::chrono::steady_clock;
    constexpr std::size_t kStep = 1024;
    constexpr auto kSliceTime = std::chrono::milliseconds(12);
    const auto& records = m_model.records();
    const auto start = Clock::now();
    while (m_matchNext < records.size() && Clock::now() - start < kSliceTime) {
        const std::size_t last = std::min(records.size(), m_matchNext + kStep);
        markAvailable(records, m_matchNext, last, m_archivesFolder, *m_archives, m_matching);
        m_matchNext = last;
    }
    if (m_matchNext < records.size())
        return;
    m_matchTimer.stop();
    setAvailability(std::move(m_matching));
    m_matching = {};
    emit availabilityChanged();
}

std::vector<std::size_t> GameListController::bestMatches(const QString& text,
                                                         std::size_t limit) const {
    while (buildSearchIndexSlice(std::numeric_limits<std::size_t>::max())) {
    }
    return m_index.bestMatches(searchWords(text), limit);
}

bool GameListController::buildSearchIndexSlice(std::size_t records) const {
    const auto& all = m_model.records();
    for (std::size_t i = 0; i < records && m_index.size() < all.size(); ++i)
        m_index.append(all[m_index.size()]);
    return m_index.size() < all.size();
}

bool GameListController::accepts(int arrangedRow) const {
    const int stored = m_proxy.mapToSource(m_proxy.index(arrangedRow, 0)).row();
    if (m_onlyAvailable && !m_model.isAvailable(stored))
        return false;
    if (m_onlyFavourites && !m_model.gameStats(stored).favourite)
        return false;
    if (m_words.empty())
        return true;
    if (std::size_t(stored) >= m_index.size())
        buildSearchIndexSlice(std::size_t(stored) + 1 - m_index.size());
    return m_index.matches(std::size_t(stored), m_words);
}

void GameListController::applyFilters() {
    const qint64 selected = selectionIndex();
    if (m_words.empty() && !m_onlyAvailable && !m_onlyFavourites)
        m_shown.setFilter({});
    else
        m_shown.setFilter([this](int row) { return accepts(row); });
    // A lone game left is the one meant. A selection the filters hid is gone
    // with the layout change, which the selection model does not announce.
    if (m_shown.rowCount() == 1)
        setSelectionIndex(m_shown.mapToSource(m_shown.index(0, 0)).row());
    else if (selected != NotFound && selectionIndex() == NotFound)
        emit selectionChanged();
}

} // namespace kd
