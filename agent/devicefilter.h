#pragma once

// The search of the device lists: whether a device row matches what the administrator typed
// into the search box, judged on the texts of the row's shown cells only (a hidden column is
// never searched). No widgets.
//
// The query is split at white space into words; a row matches when every word is found in
// at least one of its cells (words narrow the search: "sales 8.4" finds the rows that hold
// both), ignoring case. An empty query, or one of white space only, matches every row. In
// the MAC address cell a word is also found when it leaves out the separators the cell
// shows ("0011223344" finds "00:11:22:33:44:55"), and the other way round.

#include "devicecolumns.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace rvx::search {

class Query
{
public:
    Query() = default;
    explicit Query(const QString& text);

    bool isEmpty() const { return m_words.isEmpty(); }
    const QStringList& words() const { return m_words; }

    // Whether a row matches: cells[i] is the text of the shown column columns[i].
    bool matches(const QVector<DeviceColumn>& columns, const QStringList& cells) const;

    // A row prepared once for many queries (the search keeps one per device while its texts
    // stay the same): its cells lower-cased and joined by line breaks, and the MAC address
    // cell lower-cased without separators.
    struct Row
    {
        QString text;
        QString compactMac;
    };
    static Row prepare(const QVector<DeviceColumn>& columns, const QStringList& cells);
    bool matches(const Row& row) const;

private:
    QStringList m_words;        // lower case
    QStringList m_compactWords; // the words without MAC address separators
};

// A MAC address text without its separators (":", "-", ".").
QString compactMac(const QString& text);

} // namespace rvx::search
