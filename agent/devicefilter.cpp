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
    m_words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : qAsConst(m_words))
        m_compactWords.append(compactMac(word));
}

bool Query::matches(const QVector<DeviceColumn>& columns, const QStringList& cells) const
{
    if (m_words.isEmpty())
        return true;
    const int n = qMin(columns.size(), cells.size());
    QString compact; // the MAC address cell without separators, made when first needed
    bool compactMade = false;
    for (int w = 0; w < m_words.size(); ++w) {
        const QString& word = m_words.at(w);
        bool found = false;
        for (int i = 0; i < n && !found; ++i) {
            const QString& cell = cells.at(i);
            if (cell.contains(word, Qt::CaseInsensitive)) {
                found = true;
            } else if (columns.at(i) == DeviceColumn::MacAddress && !m_compactWords.at(w).isEmpty()) {
                if (!compactMade) {
                    compact = compactMac(cell);
                    compactMade = true;
                }
                found = compact.contains(m_compactWords.at(w), Qt::CaseInsensitive);
            }
        }
        if (!found)
            return false;
    }
    return true;
}

} // namespace rvx::search
