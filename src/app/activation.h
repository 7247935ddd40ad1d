#pragma once

#include "platform/desktop.h"

#include <optional>

namespace kd {

// The first running application whose name is exactly `name` (case and every
// character count); an entry without a name never matches.
std::optional<RunningApplication> findRunningApplication(const QList<RunningApplication>& apps,
                                                         const QString& name);

} // namespace kd
