#pragma once

#include <QString>

namespace kd {

// Whether a file the user handed over (command line, drop, another start) can
// be started as a game: a readable regular file named `*.zip`, as the open
// panel offers. Whether it really is a ROM archive is the emulator's to say.
enum class RomArchiveCheck { Ok, NotZip, Missing, NotRegularFile, Unreadable };

RomArchiveCheck checkRomArchive(const QString& path);

} // namespace kd
