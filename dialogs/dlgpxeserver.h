#pragma once

#include <QDialog>
#include <QString>

#include <optional>

namespace Ui {
class DlgPxeServer;
}

// The PXE boot server of one device: on or off, the network it serves, the range of
// addresses it hands out, whether it answers PXE boot requests only, and its purpose
// (provisioning or diskless clients). Starts from the selected device's configuration
// (the configuration store); after Accepted the caller reads the results.
class DlgPxeServer : public QDialog
{
    Q_OBJECT

public:
    DlgPxeServer(QWidget* parent, bool isRaspberryPi);
    ~DlgPxeServer() override;

    bool enabled() const { return m_enabled; }
    QString subnet() const { return m_subnet; }
    QString netmask() const { return m_netmask; }
    QString rangeStart() const { return m_rangeStart; }
    QString rangeEnd() const { return m_rangeEnd; }
    bool pxeOnly() const { return m_pxeOnly; }
    bool diskless() const { return m_diskless; }

    // A strict dotted quad: four decimal numbers 0 to 255, no leading zeros, nothing else.
    static std::optional<quint32> parseIPv4(const QString& text);

public slots:
    void onPxeEnableClicked(bool checked);
    void accept() override;

private:
    bool validate();

    Ui::DlgPxeServer* ui;
    bool m_isRaspberryPi;
    bool m_enabled = false;
    QString m_subnet;
    QString m_netmask;
    QString m_rangeStart;
    QString m_rangeEnd;
    bool m_pxeOnly = true;
    bool m_diskless = false;
};
