#pragma once

#include "storage.h"

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui {
class DlgEditWhiteList;
}

// The storage devices the devices in maintenance mode reported (the block-device lists in a
// folder), merged into one row per distinct line with the number of times it occurred. The
// administrator lets each device choose by itself (the check box, on at start, which
// disables the table) or selects the rows to dedicate. OK asks for confirmation, then writes
// the selected lines to whitelist.txt in the folder; autoSelect() tells the caller what to
// send.
class DlgEditWhiteList : public QDialog
{
    Q_OBJECT

public:
    enum Column
    {
        SizeColumn,
        ModelColumn,
        VendorColumn,
        TypeColumn,
        NameColumn,
        OccurrencesColumn
    };

    DlgEditWhiteList(QWidget* parent, const QString& folder);
    ~DlgEditWhiteList() override;

    bool autoSelect() const { return m_autoSelect; }
    const upgrade::BlockDeviceCounts& entries() const { return m_entries; }
    // The device-list line a row shows (rows move when the table is sorted).
    QString rowLine(int row) const;

public slots:
    void onAutoSelectToggled(bool checked);
    void accept() override;

private:
    Ui::DlgEditWhiteList* ui;
    QString m_folder;
    upgrade::BlockDeviceCounts m_entries;
    bool m_autoSelect = false;
};
