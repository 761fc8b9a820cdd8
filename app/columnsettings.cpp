#include "columnsettings.h"

#include "devicetext.h"

#include <QSettings>

#include <algorithm>

namespace rvx::columns {

const std::array<Column, Count>& table()
{
    // The device list's own column table is the one source of keys, titles and defaults.
    static const std::array<Column, Count> columns = [] {
        std::array<Column, Count> built{};
        const DeviceColumnInfo* info = deviceColumns();
        for (int i = 0; i < Count; ++i)
            built[i] = {info[i].key, info[i].chooserTitle, info[i].defaultPosition, info[i].defaultWidth,
                        info[i].alwaysShown};
        return built;
    }();
    return columns;
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
        settings.setValue(textKey(n), shown ? QString::fromLatin1(column.title) : QString());
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
        entry.title = QLatin1String(column.title);
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
