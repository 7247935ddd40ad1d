#include "app/windows/windowarrangement.h"

#include "settings/arrangement.h"

#include <QHeaderView>
#include <QScreen>
#include <QSplitter>

namespace kd::windowArrangement {

void sizeWithinScreen(QWidget& window, QSize wanted) {
    // Title bar and borders, which the window manager adds outside.
    constexpr QSize FrameRoom(16, 48);
    if (const QScreen* screen = window.screen())
        wanted = wanted.boundedTo(screen->availableSize() - FrameRoom);
    window.resize(wanted);
}

void saveGeometry(SettingsStore& store, const QWidget& window) {
    arrangement::saveState(store, window.objectName(), window.saveGeometry());
}

bool restoreGeometry(const SettingsStore& store, QWidget& window) {
    const QByteArray state = arrangement::savedState(store, window.objectName());
    // Qt moves a place that no screen shows onto the nearest available one.
    return !state.isEmpty() && window.restoreGeometry(state);
}

void saveSplitter(SettingsStore& store, const QSplitter& splitter) {
    arrangement::saveState(store, splitter.objectName(), splitter.saveState());
}

bool restoreSplitter(const SettingsStore& store, QSplitter& splitter) {
    const QByteArray state = arrangement::savedState(store, splitter.objectName());
    return !state.isEmpty() && splitter.restoreState(state);
}

void saveHeader(SettingsStore& store, const QString& name, const QHeaderView& header,
                const QString& columns) {
    arrangement::saveHeaderState(store, name, header.saveState(), columns);
}

bool restoreHeader(const SettingsStore& store, const QString& name, QHeaderView& header,
                   const QString& columns) {
    const QByteArray state = arrangement::savedHeaderState(store, name, columns);
    if (state.isEmpty() || !header.restoreState(state))
        return false;
    if (header.sortIndicatorSection() != -1)
        header.setSortIndicator(-1, Qt::AscendingOrder);
    return true;
}

} // namespace kd::windowArrangement
