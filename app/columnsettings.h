#pragma once

#include <QList>
#include <QString>

#include <array>

class QSettings;

// The column layout of the device lists as kept in the settings store.
//
// Each of the 17 column keys holds the column's visual position (0 = leftmost) or -1 when
// the column is hidden; "colText" + n holds the header text of the column at position n
// (empty when no column is there) and "colSize" + n its width in pixels (-1 = not set).
namespace rvx::columns {

constexpr int Count = 17; // DeviceColumnCount

struct Column
{
    const char* key;
    const char* title;   // title in the column chooser, also the header text
    int defaultPosition; // -1 = hidden on a first start
    int defaultWidth;    // -1 = not set
    bool alwaysShown;    // cannot be switched off in the chooser
};

// The columns in their fixed order.
const std::array<Column, Count>& table();

QString textKey(int position); // "colText" + position
QString sizeKey(int position); // "colSize" + position

// The stored position of a column key; -1 when hidden, absent or not a number.
int position(const QSettings& settings, const QString& key);

// Writes the first-run layout when the store has no column layout yet (no "colFwType").
// Returns whether anything was written.
bool writeDefaultsIfMissing(QSettings& settings);

// One entry of the column chooser.
struct ChooserEntry
{
    QString key;
    QString title;
    bool checked = false;
    bool alwaysShown = false;
};

// The chooser's list as the store describes it: the shown columns in position order, then
// the hidden ones in table order. Two keys claiming the same position (a hand-edited store)
// keep table order between them, so no column is ever dropped from the list.
QList<ChooserEntry> chooserEntries(const QSettings& settings);

// Writes the layout the chooser shows: the checked entries, in list order, get positions
// 0, 1, 2 ... and their titles as header texts; every unchecked entry gets -1 and clears one
// header text after the last shown position.
void writeChooser(QSettings& settings, const QList<ChooserEntry>& entriesInListOrder);

} // namespace rvx::columns
