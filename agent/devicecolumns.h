#pragma once

// The configurable columns of the device lists and their layout in the settings store: one
// table (keys, titles, defaults), the keys of the stored layout, and its reading and writing
// for the Options dialog's column chooser and for the lists. No widgets.
//
// Each of the 18 column keys holds the column's visual position (0 = leftmost) or -1 when
// the column is hidden; "colText" + n holds the header text of the column at position n
// (empty when no column is there) and "colSize" + n its width in pixels (-1 = not set).

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>

class QSettings;

// The eighteen configurable columns of the device list, in the order of the settings keys.
enum class DeviceColumn
{
    FwType,
    Hostname,
    IpAddress,
    ProtocolType,
    FirmwareVersion,
    ClientVersion,
    Status,
    MacAddress,
    SerialNumber,
    KernelVersion,
    TfmVersion,
    BootMode,
    ResetsTo,
    BasedOn,
    LastSeen,
    Description,
    HwName,
    Profile, // drift from the department's linked profile
};
constexpr int DeviceColumnCount = 18;

struct DeviceColumnInfo
{
    DeviceColumn column;
    const char* key;           // settings key holding the position (-1 hidden)
    const char* chooserTitle;  // title in the Options dialog's column chooser
    int defaultPosition;       // -1 when hidden by default
    const char* defaultHeader; // header text at the default position
    int defaultWidth;          // -1 when not set
    bool alwaysShown;          // Firmware Type, Hostname, Status
};

// The eighteen columns in settings-key order.
const DeviceColumnInfo* deviceColumns();
const DeviceColumnInfo& deviceColumnInfo(DeviceColumn column);

namespace rvx::columns {

constexpr int Count = DeviceColumnCount;
using Column = DeviceColumnInfo;

// The columns in their fixed order.
const std::array<Column, Count>& table();

QString textKey(int position); // "colText" + position
QString sizeKey(int position); // "colSize" + position

// The stored position of a column key; -1 when hidden, absent or not a number.
int position(const QSettings& settings, const QString& key);

// Writes the first-run layout when the store has no column layout yet (no "colFwType").
// Returns whether anything was written.
bool writeDefaultsIfMissing(QSettings& settings);

// The widths of the shown sections, in position order: "colSize" + n, and -1 for every
// position after the last one given.
void writeWidths(QSettings& settings, const QList<int>& widths);

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

// The column layout of the device lists, read from the settings store once when the lists
// are built (layout changes made in Options take effect at the next start).
//
// A device row consists of the cells of the shown columns in position order, so a store
// with gaps between positions (edited by hand) still gives rows without holes, and every
// shown column has its fixed cell in the row.
struct DeviceListLayout
{
    // The cell of each column in a device row; -1 when the column is hidden.
    std::array<int, DeviceColumnCount> cellOf;
    // The shown columns in row order.
    QVector<DeviceColumn> shown;
    // The header texts: every non-empty "colText" + n, in order of n.
    QStringList headers;
    // Section widths for the sections before the last (which stretches): "colSize" + n up to
    // the first negative value. Empty when the store has no "colSize0".
    QList<int> widths;
    bool hasWidths = false;

    DeviceListLayout();

    int cell(DeviceColumn column) const { return cellOf[static_cast<size_t>(column)]; }
    bool isShown(DeviceColumn column) const { return cell(column) >= 0; }
    int cellCount() const { return shown.size(); }

    // Reads the layout. A position that is not a number counts as hidden.
    static DeviceListLayout fromSettings(const QSettings& settings);
};
