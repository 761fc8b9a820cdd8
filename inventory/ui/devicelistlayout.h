#pragma once

#include "devicetext.h"

#include <QList>
#include <QStringList>
#include <QVector>

#include <array>

class QSettings;

// The column layout of the device lists, read from the settings store once when the lists
// are built (layout changes made in Options take effect at the next start).
//
// Each column key holds a visual position or -1. A device row consists of the cells of the
// shown columns in position order, so a store with gaps between positions (edited by hand)
// still gives rows without holes, and every shown column has its fixed cell in the row.
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
