#pragma once

#include "catalogue/plistvalue.h"

#include <QString>
#include <string>
#include <vector>

namespace kd {

// Text made for matching regardless of case and accents: compatibility
// decomposition, combining marks dropped, case folded ("Café" -> "cafe"),
// as UTF-8.
std::string foldForSearch(QStringView text);

// The words of a search field, folded; several words must all match.
std::vector<std::string> searchWords(const QString& text);

// What every record shows in the game table, folded once, so that a keystroke
// costs one scan of a few megabytes instead of a trip through the model.
class GameSearchIndex {
public:
    std::size_t size() const { return m_texts.size(); }
    void clear() { m_texts.clear(); }
    // Folds the shown fields of `record` and keeps them as the next row.
    void append(const plist::Value& record);
    void remove(std::size_t row);
    // True when every word occurs in one of the row's fields (a word never
    // spans two fields). No words match every row.
    bool matches(std::size_t row, const std::vector<std::string>& words) const;
    // At most `limit` matching rows, best first: the title starting with the
    // first word, then every word in the title, then the other matches; each
    // group in stored order. No words match nothing here: a desktop search
    // without words has no answer.
    std::vector<std::size_t> bestMatches(const std::vector<std::string>& words,
                                         std::size_t limit) const;

private:
    // The fields of a record, folded, each followed by a unit separator.
    std::vector<std::string> m_texts;
};

} // namespace kd
