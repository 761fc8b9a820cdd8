#include "dlgpxeserver.h"

#include "ask.h"
#include "configlib.h"
#include "ui_dlgpxeserver.h"

#include <QHostAddress>
#include <QStringList>

namespace {

QString storeText(const char* key)
{
    return QString::fromLatin1(config_store_get(QByteArray(key)));
}

// A netmask is a run of one bits followed by zero bits.
bool isContiguousMask(quint32 mask)
{
    const quint32 inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;
}

} // namespace

DlgPxeServer::DlgPxeServer(QWidget* parent, bool isRaspberryPi)
    : QDialog(parent)
    , ui(new Ui::DlgPxeServer)
    , m_isRaspberryPi(isRaspberryPi)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgPxeServer::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgPxeServer::reject);
    connect(ui->grbxEnableServerCap, &QGroupBox::clicked, this, &DlgPxeServer::onPxeEnableClicked);

    if (config_store_get("pxe_server_enabled") != "yes") {
        ui->grbxEnableServerCap->setChecked(false);
        ui->rdbtnPxeOnly->setChecked(true);
        if (isRaspberryPi)
            ui->rdbtnDiskless->setChecked(true);
        else
            ui->rdbtnProvision->setChecked(true);
        return;
    }

    ui->grbxEnableServerCap->setChecked(true);
    ui->tbxSubnet->setFocus();
    ui->tbxSubnet->setText(storeText("pxe_server_subnet"));
    ui->tbxNetmask->setText(storeText("pxe_server_netmask"));
    ui->tbxDhcpStart->setText(storeText("pxe_server_range_low"));
    ui->tbxDhcpEnd->setText(storeText("pxe_server_range_high"));
    if (config_store_get("pxe_server_pxe_only") == "yes")
        ui->rdbtnPxeOnly->setChecked(true);
    else
        ui->rdbtnAllDhcpReq->setChecked(true);
    if (config_store_get("pxe_server_mode") == "diskless")
        ui->rdbtnDiskless->setChecked(true);
    else
        ui->rdbtnProvision->setChecked(true);
}

DlgPxeServer::~DlgPxeServer()
{
    delete ui;
}

std::optional<quint32> DlgPxeServer::parseIPv4(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3 || (part.size() > 1 && part.at(0) == QLatin1Char('0')))
            return std::nullopt;
        quint32 number = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
            number = number * 10 + static_cast<quint32>(c.unicode() - '0');
        }
        if (number > 255)
            return std::nullopt;
        value = (value << 8) | number;
    }
    return value;
}

void DlgPxeServer::onPxeEnableClicked(bool checked)
{
    if (checked)
        ui->tbxSubnet->setFocus();
}

bool DlgPxeServer::validate()
{
    const QString title = tr("Invalid IP address");
    const QString subnet = ui->tbxSubnet->text().trimmed();
    const QString netmask = ui->tbxNetmask->text().trimmed();
    const QString start = ui->tbxDhcpStart->text().trimmed();
    const QString end = ui->tbxDhcpEnd->text().trimmed();

    if (netmask.isEmpty()) {
        rvx::Ask::critical(this, title, tr("\nYou must enter a value for Netmask."));
        return false;
    }
    if (subnet.isEmpty()) {
        rvx::Ask::critical(this, title, tr("\nYou must enter a value for Subnet."));
        return false;
    }
    if (end.isEmpty()) {
        rvx::Ask::critical(this, title, tr("\nYou must enter a value for DHCP range end."));
        return false;
    }
    if (start.isEmpty()) {
        rvx::Ask::critical(this, title, tr("\nYou must enter a value for DHCP range start."));
        return false;
    }
    if (!parseIPv4(subnet)) {
        rvx::Ask::critical(this, title, tr("\nThe 'Subnet' IP address is not valid."));
        return false;
    }
    const std::optional<quint32> mask = parseIPv4(netmask);
    if (!mask || !isContiguousMask(*mask)) {
        rvx::Ask::critical(this, title, tr("\nThe 'Netmask' IP address is not valid."));
        return false;
    }

    const QPair<QHostAddress, int> network = QHostAddress::parseSubnet(subnet + QLatin1Char('/') + netmask);
    const std::optional<quint32> low = parseIPv4(start);
    if (!low || network.second < 0 || !QHostAddress(*low).isInSubnet(network)) {
        rvx::Ask::critical(this, title, tr("\nThe 'DHCP range start' IP address is not valid."));
        return false;
    }
    const std::optional<quint32> high = parseIPv4(end);
    if (!high || !QHostAddress(*high).isInSubnet(network)) {
        rvx::Ask::critical(this, title, tr("\nThe 'DHCP range end' IP address is not valid."));
        return false;
    }
    if (*high <= *low) {
        rvx::Ask::critical(
            this, tr("Invalid IP range"),
            tr("\nThe DHCP 'end' address cannot be less than or equal to the 'start' address."));
        return false;
    }

    if (m_isRaspberryPi && ui->rdbtnProvision->isChecked()) {
        const auto answer = rvx::Ask::question(this, tr("Limited Raspberry Pi Support"),
                                               tr("\nProvisioning mode will only work on a Pi 4 or later "
                                                  "with a sufficiently recent EEPROM image "
                                                  "that has been altered to boot from Network after SD "
                                                  "card.\n\nProceed with setting this device "
                                                  "to Provisioning mode?"),
                                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
    }

    m_subnet = subnet;
    m_netmask = netmask;
    m_rangeStart = start;
    m_rangeEnd = end;
    return true;
}

void DlgPxeServer::accept()
{
    if (ui->grbxEnableServerCap->isChecked()) {
        if (!validate())
            return;
        m_enabled = true;
    } else {
        m_enabled = false;
    }
    m_pxeOnly = ui->rdbtnPxeOnly->isChecked();
    m_diskless = ui->rdbtnDiskless->isChecked();
    QDialog::accept();
}
