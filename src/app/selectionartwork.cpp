// The selected game's snapshot and icon, shown alike in both main windows,
// and what acts on the selected game only while there is one.
#include "app/appdelegate.h"
#include "app/menus/launcheractions.h"
#include "app/windows/mainwindow.h"
#include "catalogue/artwork.h"

#include <QAction>

namespace kd {

void AppDelegate::tableViewSelectionDidChange() {
    const bool none = selectionIndex() == NotFound;
    for (QAction* action : {m_actions->startGame, m_actions->favourite, m_actions->gameHistory,
                            m_actions->revealRom, m_actions->removeGame})
        action->setEnabled(!none);
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->showNoGameSelected(none);
    if (!none)
        showArtwork(selectedGameName());
}

void AppDelegate::showArtwork(const std::optional<QString>& name) {
    // A folder that is not set leaves the picture as it was.
    if (const QString folder = m_paths.snapshotFolder(); !folder.isEmpty()) {
        const Artwork snapshot =
            chooseArtwork(folder, name, {QStringLiteral("png"), QStringLiteral("jpg")},
                          m_paths.packaged(u"no_image.jpg"));
        for (MainWindow* main : {m_window.get(), m_window2.get()})
            main->setSnapshot(snapshot.image, snapshot.path);
    }
    if (const QString folder = m_paths.iconFolder(); !folder.isEmpty()) {
        const Artwork icon =
            chooseArtwork(folder, name, {QStringLiteral("ico")}, m_paths.packaged(u"no_icon.ico"));
        for (MainWindow* main : {m_window.get(), m_window2.get()})
            main->setIcon(icon.image, icon.path);
    }
}

} // namespace kd
