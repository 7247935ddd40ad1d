#pragma once

#include <QString>

namespace kd {

// How much of one outside value (a list value, a path, a history row, a socket
// message, a settings value) a cell, label, tooltip or alert shows. Measuring or
// eliding a text costs time by its length: a title of megabytes would freeze
// every paint. The value itself keeps every character.
inline constexpr qsizetype ShownValueLimit = 1000;
// The same for a whole text of ours around capped values (an alert's message,
// the status line): a last guard for a value that reached it uncapped.
inline constexpr qsizetype ShownMessageLimit = 2 * ShownValueLimit;

// The first `limit` characters of `text` and an ellipsis, or `text` when it is
// no longer; a surrogate pair is never cut in two.
QString shownText(const QString& text, qsizetype limit = ShownValueLimit);

// Outside text as a tooltip shows it literally: Qt reads a tooltip that looks
// like markup as rich text (loading its images, one of them a FIFO that never
// ends), so it is capped, escaped and marked as rich text on purpose. Empty
// stays empty: no tooltip.
QString plainToolTip(const QString& text);

} // namespace kd
