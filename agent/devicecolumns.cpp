#include "devicecolumns.h"

#include <QSettings>

#include <algorithm>

namespace {

const std::array<DeviceColumnInfo, DeviceColumnCount> kColumns = {{
    {DeviceColumn::FwType, "colFwType", "Firmware Type", 0, "Firmware Type", 105, true},
    {DeviceColumn::Hostname, "colHostname", "Hostname", 1, "Hostname", 160, true},
    {DeviceColumn::IpAddress, "colIpAddress", "IP Address", 2, "IP Address", 110, false},
    {DeviceColumn::ProtocolType, "colProtocolType", "Mode", 3, "Mode", 90, false},
    {DeviceColumn::FirmwareVersion, "colFirmwareVersion", "Firmware Ver", 4, "Firmware Ver", 90, false},
    {DeviceColumn::ClientVersion, "colClientVersion", "Client Ver", 5, "Client Ver", 90, false},
    {DeviceColumn::Status, "colStatus", "Status", 6, "Status", 412, true},
    {DeviceColumn::MacAddress, "colMacAddress", "MAC Address", -1, "", -1, false},
    {DeviceColumn::SerialNumber, "colSerialNumber", "Serial Number", -1, "", -1, false},
    {DeviceColumn::KernelVersion, "colKernelVersion", "Kernel Ver", -1, "", -1, false},
    {DeviceColumn::TfmVersion, "colTfmVersion", "TFM Ver", -1, "", -1, false},
    {DeviceColumn::BootMode, "colBootMode", "Boot Mode", -1, "", -1, false},
    {DeviceColumn::ResetsTo, "colResetsTo", "Resets to", -1, "", -1, false},
    {DeviceColumn::BasedOn, "colBasedOn", "Based on", -1, "", -1, false},
    {DeviceColumn::LastSeen, "colLastSeen", "Last Seen", -1, "", -1, false},
    {DeviceColumn::Description, "colDescription", "Comment", -1, "", -1, false},
    {DeviceColumn::HwName, "colHwName", "Hardware", -1, "", -1, false},
    // Added after the others: a stored layout that does not name it shows it hidden, like
    // every optional column, and keeps all its positions and header texts.
    {DeviceColumn::Profile, "colProfile", "Profile", -1, "", -1, false},
}};

} // namespace

const DeviceColumnInfo* deviceColumns()
{
    return kColumns.data();
}

const DeviceColumnInfo& deviceColumnInfo(DeviceColumn column)
{
    return kColumns[static_cast<size_t>(column)];
}

namespace rvx::columns {

const std::array<Column, Count>& table()
{
    return kColumns;
}

QString textKey(int position)
{
    return QStringLiteral("colText") + QString::number(position);
}

QString sizeKey(int position)
{
    return QStringLiteral("colSize") + QString::number(position);
}

int position(const QSettings& settings, const QString& key)
{
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return -1;
    bool ok = false;
    const int pos = value.toString().trimmed().toInt(&ok, 10);
    return ok && pos >= 0 ? pos : -1;
}

bool writeDefaultsIfMissing(QSettings& settings)
{
    if (settings.contains(QStringLiteral("colFwType")))
        return false;
    for (const Column& column : table())
        settings.setValue(QLatin1String(column.key), column.defaultPosition);
    // The shown columns of the first-run layout are the first ones of the table, in order.
    for (int n = 0; n < Count; ++n) {
        const Column& column = table().at(static_cast<size_t>(n));
        const bool shown = column.defaultPosition >= 0;
        settings.setValue(textKey(n), shown ? QString::fromLatin1(column.chooserTitle) : QString());
        settings.setValue(sizeKey(n), shown ? column.defaultWidth : -1);
    }
    return true;
}

QList<ChooserEntry> chooserEntries(const QSettings& settings)
{
    struct Placed
    {
        int position;
        int index;
        ChooserEntry entry;
    };
    QList<Placed> placed;
    QList<ChooserEntry> hidden;
    for (int i = 0; i < Count; ++i) {
        const Column& column = table().at(static_cast<size_t>(i));
        ChooserEntry entry;
        entry.key = QLatin1String(column.key);
        entry.title = QLatin1String(column.chooserTitle);
        entry.alwaysShown = column.alwaysShown;
        const int pos = position(settings, entry.key);
        if (pos >= 0) {
            entry.checked = true;
            placed.append({pos, i, entry});
        } else {
            hidden.append(entry);
        }
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.position < b.position; });
    QList<ChooserEntry> result;
    for (const Placed& p : placed)
        result.append(p.entry);
    result.append(hidden);
    return result;
}

void writeWidths(QSettings& settings, const QList<int>& widths)
{
    const int sections = qMin(widths.size(), Count);
    for (int i = 0; i < sections; ++i)
        settings.setValue(sizeKey(i), widths.at(i));
    for (int i = sections; i < Count; ++i)
        settings.setValue(sizeKey(i), -1);
}

void writeChooser(QSettings& settings, const QList<ChooserEntry>& entriesInListOrder)
{
    int next = 0;
    int unchecked = 0;
    for (const ChooserEntry& entry : entriesInListOrder) {
        if (entry.checked) {
            settings.setValue(entry.key, next);
            settings.setValue(textKey(next), entry.title);
            ++next;
        } else {
            settings.setValue(entry.key, -1);
            ++unchecked;
        }
    }
    for (int n = next; n < next + unchecked; ++n)
        settings.setValue(textKey(n), QString());
}

} // namespace rvx::columns

DeviceListLayout::DeviceListLayout()
{
    cellOf.fill(-1);
}

DeviceListLayout DeviceListLayout::fromSettings(const QSettings& settings)
{
    DeviceListLayout layout;

    struct Placed
    {
        int position;
        int column;
    };
    QVector<Placed> placed;
    const DeviceColumnInfo* columns = deviceColumns();
    for (int i = 0; i < DeviceColumnCount; ++i) {
        const int position = rvx::columns::position(settings, QLatin1String(columns[i].key));
        if (position >= 0)
            placed.append({position, i});
    }
    // Two keys claiming one position keep the order of the column table.
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.position < b.position; });
    for (const Placed& p : qAsConst(placed)) {
        layout.cellOf[static_cast<size_t>(p.column)] = layout.shown.size();
        layout.shown.append(static_cast<DeviceColumn>(p.column));
    }

    for (int n = 0; n < DeviceColumnCount; ++n) {
        const QString text = settings.value(rvx::columns::textKey(n)).toString();
        if (!text.isEmpty())
            layout.headers.append(text);
    }

    layout.hasWidths = settings.contains(rvx::columns::sizeKey(0));
    if (layout.hasWidths) {
        // The last section stretches and is never given a width.
        for (int n = 0; n < layout.headers.size() - 1; ++n) {
            bool ok = false;
            const int width = settings.value(rvx::columns::sizeKey(n)).toString().toInt(&ok, 10);
            if (!ok || width < 0)
                break;
            layout.widths.append(width);
        }
    }
    return layout;
}
