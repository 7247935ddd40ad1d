#include "catalogue/artwork.h"

#include "catalogue/gamelist.h"
#include "settings/pathops.h"

#include <QFile>
#include <QImageReader>
#include <sys/stat.h>

namespace kd {

namespace {
// A decompression bomb stops here instead of taking the machine's memory.
constexpr int ImageAllocationLimitMiB = 128;
} // namespace

std::optional<Artwork> loadArtwork(const QString& path) {
    // Only regular files: opening a FIFO waits for a writer, and a device may
    // never end, either of which would freeze the window.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    QImageReader::setAllocationLimit(ImageAllocationLimitMiB);
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return Artwork{std::move(image), path};
}

Artwork chooseArtwork(const QString& folder, const std::optional<QString>& name,
                      const QStringList& extensions, const QString& placeholder) {
    // A name that climbs out of the folder would show whatever picture lies there.
    if (name && nameStaysInFolder(*name)) {
        const QString base = path::appendComponent(folder, *name);
        for (const QString& extension : extensions)
            if (std::optional<Artwork> found = loadArtwork(base + u'.' + extension))
                return *found;
    }
    return loadArtwork(placeholder).value_or(Artwork{QImage(), placeholder});
}

} // namespace kd
