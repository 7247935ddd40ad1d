// The selected game's snapshot and icon, shown alike in both main windows.
#include "catalogue/artwork.h"

#include "app/appdelegate.h"
#include "app/imageview.h"

#include <QCheckBox>
#include <QLineEdit>

namespace kd {

void AppDelegate::tableViewSelectionDidChange() {
    if (selectionIndex() == NotFound)
        return;
    const std::optional<QString> name = selectedGameName();
    auto folderOf = [this](const QCheckBox* toggle, const QLineEdit* field, const char* packaged) {
        return toggle->checkState() != Qt::Unchecked ? packagedPath(packaged) : field->text();
    };
    auto show = [](ImageView* first, ImageView* second, const Artwork& artwork) {
        first->setImage(artwork.image, artwork.path);
        second->setImage(artwork.image, artwork.path);
    };

    const QString snapFolder = folderOf(button_snapfolder, textfild_snaps, "kdromepak/Snaps");
    if (!snapFolder.isEmpty())
        show(imageView, imageView2,
             chooseArtwork(snapFolder, name, {QStringLiteral("png"), QStringLiteral("jpg")},
                           packagedPath("no_image.jpg")));

    const QString iconFolder = folderOf(button_Iconfolder, textfild_icons, "kdromepak/Icons");
    if (!iconFolder.isEmpty())
        show(iconView, iconView2,
             chooseArtwork(iconFolder, name, {QStringLiteral("ico")}, packagedPath("no_icon.ico")));
}

} // namespace kd
