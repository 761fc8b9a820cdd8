#pragma once

#include "agentlists.h"
#include "commands.h"
#include "networkconfig.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;

namespace Ui {
class DlgNetwork;
}

// "Configure Network": firewall, DNS and search path, the wired interface (addressing,
// Wake-on-LAN, 802.1X) and the wireless interface (addressing, network name, security) of
// one device, with the network status the device reports. Starts from the device's values in
// the configuration store; a stored value a combo box lacks is kept as an extra entry. OK
// validates the input (warning boxes "Input validation"), refuses text without Latin-1
// bytes, and leaves the result in settings().
//
// The caller connects the signals to the requests, calls requestDeviceData(), routes the
// device's answers to setSsidList() and setNetworkInfo() while the dialog is open, and
// answers onInstallCertificate(&name) by installing a certificate bundle on the device and
// putting its file name into `name` (left empty when nothing was installed).
class DlgNetwork : public QDialog
{
    Q_OBJECT

public:
    DlgNetwork(QWidget* parent, const commands::DeviceFacts& device);
    ~DlgNetwork() override;

    // Emits the requests the dialog needs answered: the wireless networks when the device's
    // wireless interface is on, and the network status when its agent reports one.
    void requestDeviceData();

    // The result after Accepted.
    netconfig::NetworkSettings settings() const { return m_result; }

signals:
    void onInstallCertificate(QString* filename);
    void getSSIDList();
    // `code`: the form of the request the agent understands.
    void getNetworkInfo(quint8 code);

public slots:
    // The wireless networks the device sees (its "ssids" list).
    void setSsidList(const QStringList& entries);
    void setNetworkInfo(const NetworkStatus& status);
    void updateNetworkInfo(const QString& dns1, const QString& dns2, const QString& dsPath,
                           const QString& wiredMAC, const QString& wiredIP, const QString& wiredNetmask,
                           const QString& wiredGateway, const QString& wirelessMAC, const QString& wirelessIP,
                           const QString& wirelessNetmask, const QString& wirelessGateway);
    void accept() override;

private:
    void updateFieldStates();
    void uploadCertificate(QLineEdit* field);
    QString ssid() const;
    netconfig::NetworkSettings fromWidgets() const;

    Ui::DlgNetwork* ui;
    commands::DeviceFacts m_device;
    bool m_ssidListRequested = false;
    netconfig::NetworkSettings m_result;
};
