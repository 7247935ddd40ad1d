#include "catalogue/gamesearch.h"

#include "catalogue/gamelistmodel.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace kd {

namespace {

// Between fields, so that a word cannot match across two of them.
constexpr char kFieldEnd = '\x1f';

bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

void appendFolded(std::string& out, QStringView text) {
    if (isAscii(text)) {
        for (QChar c : text) {
            const char ascii = char(c.unicode());
            out.push_back(ascii >= 'A' && ascii <= 'Z' ? char(ascii - 'A' + 'a') : ascii);
        }
        return;
    }
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString kept;
    kept.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            kept.append(c);
    }
    const QByteArray utf8 = kept.toCaseFolded().toUtf8();
    out.append(utf8.constData(), std::size_t(utf8.size()));
}

} // namespace

std::string foldForSearch(QStringView text) {
    std::string folded;
    appendFolded(folded, text);
    return folded;
}

std::vector<std::string> searchWords(const QString& text) {
    std::vector<std::string> words;
    for (const QString& word :
         text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        std::string folded = foldForSearch(word);
        if (!folded.empty())
            words.push_back(std::move(folded));
    }
    return words;
}

void GameSearchIndex::append(const plist::Value& record) {
    std::string text;
    for (int column = 0; column < GameListModel::RecordColumnCount; ++column) {
        appendFolded(text, GameListModel::displayText(record, column));
        text.push_back(kFieldEnd);
    }
    text.shrink_to_fit();
    m_texts.push_back(std::move(text));
}

void GameSearchIndex::remove(std::size_t row) {
    if (row < m_texts.size())
        m_texts.erase(m_texts.begin() + std::ptrdiff_t(row));
}

bool GameSearchIndex::matches(std::size_t row, const std::vector<std::string>& words) const {
    if (row >= m_texts.size())
        return words.empty();
    const std::string& text = m_texts[row];
    return std::all_of(words.begin(), words.end(), [&text](const std::string& word) {
        return text.find(word) != std::string::npos;
    });
}

std::vector<std::size_t> GameSearchIndex::bestMatches(const std::vector<std::string>& words,
                                                      std::size_t limit) const {
    std::vector<std::size_t> groups[3];
    if (words.empty() || limit == 0)
        return {};
    for (std::size_t row = 0; row < m_texts.size() && groups[0].size() < limit; ++row) {
        if (!matches(row, words))
            continue;
        const std::string& text = m_texts[row];
        // The title is the second field.
        const std::size_t start = text.find(kFieldEnd) + 1;
        const std::string_view title(text.data() + start, text.find(kFieldEnd, start) - start);
        std::size_t group = 2;
        if (title.starts_with(words.front()))
            group = 0;
        else if (std::all_of(words.begin(), words.end(), [title](const std::string& word) {
                     return title.find(word) != std::string_view::npos;
                 }))
            group = 1;
        if (groups[group].size() < limit)
            groups[group].push_back(row);
    }
    std::vector<std::size_t> best;
    for (const std::vector<std::size_t>& group : groups)
        best.insert(best.end(), group.begin(), group.end());
    best.resize(std::min(best.size(), limit));
    return best;
}

} // namespace kd
