#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>

namespace kd {

struct Artwork {
    QImage image;
    QString path; // where it came from
};

// Decodes an image file; nothing when it is missing, unreadable, not an image,
// or would need more memory than a picture in a list view deserves.
std::optional<Artwork> loadArtwork(const QString& path);

// The first candidate `<folder>/<name>.<extension>` that decodes, in the order of
// `extensions`; otherwise the placeholder (not tested: a missing one gives an
// empty picture). Without a name, or with one that leads out of the folder
// (`nameStaysInFolder`), only the placeholder is considered.
Artwork chooseArtwork(const QString& folder, const std::optional<QString>& name,
                      const QStringList& extensions, const QString& placeholder);

} // namespace kd
