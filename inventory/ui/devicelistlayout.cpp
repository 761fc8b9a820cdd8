#include "devicelistlayout.h"

#include <QSettings>

#include <algorithm>

namespace {

int storedPosition(const QSettings& settings, const QString& key)
{
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return -1;
    bool ok = false;
    const int position = value.toString().trimmed().toInt(&ok, 10);
    return ok && position >= 0 ? position : -1;
}

} // namespace

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
        const int position = storedPosition(settings, QLatin1String(columns[i].key));
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
        const QString text = settings.value(QStringLiteral("colText") + QString::number(n)).toString();
        if (!text.isEmpty())
            layout.headers.append(text);
    }

    layout.hasWidths = settings.contains(QStringLiteral("colSize0"));
    if (layout.hasWidths) {
        // The last section stretches and is never given a width.
        for (int n = 0; n < layout.headers.size() - 1; ++n) {
            bool ok = false;
            const int width =
                settings.value(QStringLiteral("colSize") + QString::number(n)).toString().toInt(&ok, 10);
            if (!ok || width < 0)
                break;
            layout.widths.append(width);
        }
    }
    return layout;
}
