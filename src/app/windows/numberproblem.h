#pragma once

#include <QString>

namespace kd {

// What is wrong with `text` in a number field that takes whole numbers from
// `min` to `max`, in words; empty when the emulator accepts it.
QString numberProblem(const QString& text, int min, int max);

} // namespace kd
