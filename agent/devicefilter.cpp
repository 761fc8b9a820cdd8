#include "devicefilter.h"

namespace rvx::search {

QString compactMac(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char(':') && c != QLatin1Char('-') && c != QLatin1Char('.'))
            out.append(c);
    }
    return out;
}

Query::Query(const QString& text)
{
    m_words = text.simplified().toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : qAsConst(m_words))
        m_compactWords.append(compactMac(word));
}

Query::Row Query::prepare(const QVector<DeviceColumn>& columns, const QStringList& cells)
{
    Row row;
    const int n = qMin(columns.size(), cells.size());
    for (int i = 0; i < n; ++i) {
        // A line break never occurs in a word, so no word is found across two cells.
        if (i > 0)
            row.text.append(QLatin1Char('\n'));
        row.text.append(cells.at(i).toLower());
        if (columns.at(i) == DeviceColumn::MacAddress)
            row.compactMac = compactMac(cells.at(i).toLower());
    }
    return row;
}

bool Query::matches(const Row& row) const
{
    for (int w = 0; w < m_words.size(); ++w) {
        if (row.text.contains(m_words.at(w)))
            continue;
        const QString& compact = m_compactWords.at(w);
        if (compact.isEmpty() || row.compactMac.isEmpty() || !row.compactMac.contains(compact))
            return false;
    }
    return true;
}

bool Query::matches(const QVector<DeviceColumn>& columns, const QStringList& cells) const
{
    return m_words.isEmpty() || matches(prepare(columns, cells));
}

} // namespace rvx::search
