#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class DlgRvxServerInfo;
}

// How devices find the server: the discovery method (0 UDP broadcast, 1 Auto, 2 Static,
// 3 DHCP, the order of the device's rvx_discovery_mode names), the server's host name and
// port, and the agent's retry interval. The four values are the caller's; they are written
// only when the dialog is accepted. Broadcast and DHCP need no host name or port, so those
// come back empty.
class DlgRvxServerInfo : public QDialog
{
    Q_OBJECT

public:
    DlgRvxServerInfo(QWidget* parent, int& mode, QString& hostname, QString& port, QString& retryInterval);
    ~DlgRvxServerInfo() override;

public slots:
    void onAutoSelected();
    void onDHCPSelected();
    void onStaticIPSelected();
    void onUdpSelected();
    void accept() override;

private:
    // Host name and port apply to Auto and Static only.
    void updateFields();
    bool serverFieldsApply() const;

    Ui::DlgRvxServerInfo* ui;
    int* m_mode;
    QString* m_hostname;
    QString* m_port;
    QString* m_retryInterval;
};
