#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;

namespace Ui {
class DlgUsbRedirection;
}

// Which USB devices of a device are redirected into the remote session ("Yes"), kept from
// it ("No", only when the caller keeps a denied list) or left to the policy default.
//
// The USB list holds one line per attached device: a three-character prefix, the 9-character
// vendor:product id and, from position 13, a description. Devices named in the caller's
// lists but not attached now get rows too, so their settings are kept and can be changed.
// On OK the lists are rebuilt in row order; redirecting the device the system booted from
// (the configuration store's live_usb_device) needs confirmation.
class DlgUsbRedirection : public QDialog
{
    Q_OBJECT

public:
    enum Choice
    {
        PolicyDefault = 0,
        Yes = 1,
        No = 2
    };

    DlgUsbRedirection(QWidget* parent, const QStringList& usbList, QStringList& redirected,
                      QStringList* denied = nullptr);
    ~DlgUsbRedirection() override;

    // The ids of the rows, in row order.
    QStringList rowIds() const { return m_ids; }
    QComboBox* choiceBox(int row) const;

public slots:
    void accept() override;

private:
    void addRow(const QString& id, const QString& description);

    Ui::DlgUsbRedirection* ui;
    QStringList* m_redirected;
    QStringList* m_denied;
    QStringList m_ids;
};
