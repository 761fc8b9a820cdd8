#include "dlgnetwork.h"

#include "ask.h"
#include "configlib.h"
#include "inputrules.h"
#include "ui_dlgnetwork.h"

#include <QAbstractItemView>
#include <QFontDatabase>
#include <QRegularExpression>
#include <QSignalBlocker>

namespace {

QString stored(const char* key)
{
    return QString::fromLatin1(config_store_get(key));
}

// Passwords are stored as the Base64 of their Latin-1 bytes.
QString storedPassword(const char* key)
{
    return QString::fromLatin1(QByteArray::fromBase64(config_store_get(key)));
}

void fillChoices(QComboBox* box, const QList<netconfig::Choice>& choices)
{
    for (const netconfig::Choice& c : choices)
        box->addItem(DlgNetwork::tr(c.label), QString::fromLatin1(c.value));
}

// The stored value, or the device's default when the key is absent; a value the box does not
// list is kept as an extra entry.
void selectStored(QComboBox* box, const QString& value, const char* absent)
{
    rvx::selectValue(box, value.isEmpty() ? QString::fromLatin1(absent) : value, Qt::UserRole);
}

QString code(const QComboBox* box)
{
    return box->currentIndex() < 0 ? QString() : box->currentData().toString();
}

bool listed(const QComboBox* box, const QString& value)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemData(i).toString() == value && box->itemText(i) != value)
            return true; // one of the box's own entries, not a kept extra one
    }
    return false;
}

void enable(bool on, std::initializer_list<QWidget*> widgets)
{
    for (QWidget* w : widgets)
        w->setEnabled(on);
}

QString shown(const QString& value)
{
    return value.isEmpty() ? QStringLiteral("\u2014") : value;
}

} // namespace

DlgNetwork::DlgNetwork(QWidget* parent, const commands::DeviceFacts& device)
    : QDialog(parent)
    , ui(new Ui::DlgNetwork)
    , m_device(device)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgNetwork::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgNetwork::reject);
    fillChoices(ui->cmbxWiredAddressing, netconfig::addressingChoices());
    fillChoices(ui->cmbxWirelessAddressing, netconfig::addressingChoices());
    fillChoices(ui->cmbxWiredSecurity, netconfig::wiredSecurityChoices());
    fillChoices(ui->cmbxWirelessSecurity, netconfig::wirelessSecurityChoices());

    ui->chbxFirewall->setChecked(
        stored("firewall_enabled").compare(QLatin1String("no"), Qt::CaseInsensitive) != 0);
    ui->tbxDns1->setText(stored("dns1"));
    ui->tbxDns2->setText(stored("dns2"));
    ui->tbxDsPath->setText(stored("dspath"));

    ui->grbxWired->setChecked(stored("nic_enabled") == QLatin1String("yes"));
    selectStored(ui->cmbxWiredAddressing, stored("nic_dhcp_enabled"), netconfig::Dhcp);
    ui->tbxWiredIp->setText(stored("nic_ip"));
    ui->tbxWiredNetmask->setText(stored("nic_netmask"));
    ui->tbxWiredGateway->setText(stored("nic_gateway"));
    ui->chbxWakeOnLan->setChecked(stored("nic_wol_enabled") == QLatin1String("yes"));
    if (!netconfig::canSetWakeOnLan(device)) {
        ui->chbxWakeOnLan->setEnabled(false);
        ui->chbxWakeOnLan->setToolTip(
            tr("Wake-on-LAN can be set on x86 devices with rvx_client 8.4.5 and ZYLOS "
               "5.0.3 or later."));
    }
    selectStored(ui->cmbxWiredSecurity, stored("nic_security"), "none");
    ui->tbxWiredUser->setText(stored("nic_radius_username"));
    ui->tbxWiredPassword->setText(storedPassword("nic_password"));

    ui->grbxWireless->setChecked(netconfig::wantsWirelessList(config_store_get("nic_wireless_enabled")));
    selectStored(ui->cmbxWirelessAddressing, stored("nic_wireless_dhcp_enabled"), netconfig::Dhcp);
    ui->tbxWirelessIp->setText(stored("nic_wireless_ip"));
    ui->tbxWirelessNetmask->setText(stored("nic_wireless_netmask"));
    ui->tbxWirelessGateway->setText(stored("nic_wireless_gateway"));
    ui->cmbxSsid->setEditText(stored("nic_wireless_ssid"));
    selectStored(ui->cmbxWirelessSecurity, stored("nic_wireless_security"), "none");
    ui->tbxWirelessPassword->setText(storedPassword("nic_wireless_password"));
    ui->tbxWirelessUser->setText(stored("nic_wireless_radius_username"));

    for (QComboBox* box : {ui->cmbxWiredAddressing, ui->cmbxWiredSecurity, ui->cmbxWirelessAddressing,
                           ui->cmbxWirelessSecurity})
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, &DlgNetwork::updateFieldStates);
    connect(ui->grbxWired, &QGroupBox::toggled, this, &DlgNetwork::updateFieldStates);
    connect(ui->grbxWireless, &QGroupBox::toggled, this, [this](bool on) {
        updateFieldStates();
        // Turned on here: the networks in reach help choosing one.
        if (on && !m_ssidListRequested) {
            m_ssidListRequested = true;
            emit getSSIDList();
        }
    });
    connect(ui->btnShowWiredPassword, &QPushButton::toggled, this, [this](bool on) {
        ui->tbxWiredPassword->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
    });
    connect(ui->btnShowWirelessPassword, &QPushButton::toggled, this, [this](bool on) {
        ui->tbxWirelessPassword->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
    });
    connect(ui->btnUploadWiredCertificate, &QPushButton::clicked, this,
            [this] { uploadCertificate(ui->tbxWiredCertificate); });
    connect(ui->btnUploadWirelessCertificate, &QPushButton::clicked, this,
            [this] { uploadCertificate(ui->tbxWirelessCertificate); });
    // A chosen network puts its name, not its description, into the field.
    connect(ui->cmbxSsid, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (index >= 0)
            ui->cmbxSsid->setEditText(ui->cmbxSsid->itemData(index).toString());
    });

    for (QLabel* label :
         findChildren<QLabel*>(QRegularExpression(QStringLiteral("^lblStatus(?!Caption|Note)")))) {
        label->setTextFormat(Qt::PlainText); // what the device reports is never markup
        label->setText(shown(QString()));
    }
    ui->lblStatusNote->setText(netconfig::networkInfoRequestCode(device.clientVersion)
                                   ? tr("Waiting for the device to report its network status...")
                                   : tr("The agent on this device does not report its network status "
                                        "(rvx_client 8.4.0 or later is needed)."));
    updateFieldStates();
}

DlgNetwork::~DlgNetwork()
{
    delete ui;
}

void DlgNetwork::requestDeviceData()
{
    if (ui->grbxWireless->isChecked() && !m_ssidListRequested) {
        m_ssidListRequested = true;
        emit getSSIDList();
    }
    if (const std::optional<quint8> code = netconfig::networkInfoRequestCode(m_device.clientVersion))
        emit getNetworkInfo(*code);
}

void DlgNetwork::updateFieldStates()
{
    const bool wiredStatic = code(ui->cmbxWiredAddressing) == QLatin1String(netconfig::Static);
    enable(wiredStatic, {ui->lblWiredIp, ui->tbxWiredIp, ui->lblWiredNetmask, ui->tbxWiredNetmask,
                         ui->lblWiredGateway, ui->tbxWiredGateway});
    const QString wired = code(ui->cmbxWiredSecurity);
    const bool wiredKnown = listed(ui->cmbxWiredSecurity, wired);
    const bool wiredUser = wired != QLatin1String("none");
    const bool wiredPassword =
        !wiredKnown || wired == QLatin1String("8021x_password") || wired == QLatin1String("diy");
    const bool wiredCertificate = !wiredKnown || wired == QLatin1String("8021x_certificate");
    enable(wiredUser, {ui->lblWiredUser, ui->tbxWiredUser});
    enable(wiredPassword, {ui->lblWiredPassword, ui->tbxWiredPassword, ui->btnShowWiredPassword});
    enable(wiredCertificate,
           {ui->lblWiredCertificate, ui->tbxWiredCertificate, ui->btnUploadWiredCertificate});

    const bool wirelessStatic = code(ui->cmbxWirelessAddressing) == QLatin1String(netconfig::Static);
    enable(wirelessStatic, {ui->lblWirelessIp, ui->tbxWirelessIp, ui->lblWirelessNetmask,
                            ui->tbxWirelessNetmask, ui->lblWirelessGateway, ui->tbxWirelessGateway});
    const QString wireless = code(ui->cmbxWirelessSecurity);
    const bool wirelessKnown = listed(ui->cmbxWirelessSecurity, wireless);
    const bool enterprise = wireless.startsWith(QLatin1String("wpa2_enterprise"));
    const bool wirelessPassword =
        !wirelessKnown || wireless == QLatin1String("wep") || wireless == QLatin1String("wpa2_personal") ||
        wireless == QLatin1String("wpa3_personal") || wireless == QLatin1String("wpa2_enterprise_password");
    enable(!wirelessKnown || enterprise, {ui->lblWirelessUser, ui->tbxWirelessUser});
    enable(wirelessPassword, {ui->lblWirelessPassword, ui->tbxWirelessPassword, ui->btnShowWirelessPassword});
    enable(!wirelessKnown || wireless == QLatin1String("wpa2_enterprise_certificate"),
           {ui->lblWirelessCertificate, ui->tbxWirelessCertificate, ui->btnUploadWirelessCertificate});
}

void DlgNetwork::uploadCertificate(QLineEdit* field)
{
    QString name;
    emit onInstallCertificate(&name);
    name = name.trimmed();
    // The name becomes part of the key and certificate paths on the device.
    if (!name.isEmpty() && netconfig::isCertificateName(name))
        field->setText(name);
}

void DlgNetwork::setSsidList(const QStringList& entries)
{
    const QString kept = ssid();
    const QSignalBlocker blocker(ui->cmbxSsid);
    ui->cmbxSsid->clear();
    // Names are padded to a column: the list lines up in a fixed-pitch font.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QList<netconfig::WirelessNetwork> networks = netconfig::visibleNetworks(entries);
    int width = 8;
    for (const netconfig::WirelessNetwork& network : networks)
        width = qMax(width, network.ssid.size());
    for (const netconfig::WirelessNetwork& network : networks) {
        ui->cmbxSsid->addItem(netconfig::networkLabel(network, width), network.ssid);
        ui->cmbxSsid->setItemData(ui->cmbxSsid->count() - 1, fixed, Qt::FontRole);
    }
    ui->cmbxSsid->view()->setMinimumWidth(ui->cmbxSsid->view()->sizeHintForColumn(0) + 24);
    ui->cmbxSsid->setCurrentIndex(kept.isEmpty() ? -1 : ui->cmbxSsid->findData(kept));
    ui->cmbxSsid->setEditText(kept);
}

QString DlgNetwork::ssid() const
{
    const QString text = ui->cmbxSsid->currentText();
    const int index = ui->cmbxSsid->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    return index >= 0 ? ui->cmbxSsid->itemData(index).toString() : text;
}

void DlgNetwork::setNetworkInfo(const NetworkStatus& s)
{
    const QList<QPair<QLabel*, QString>> rows{
        {ui->lblStatusDns1, s.dns1},
        {ui->lblStatusDns2, s.dns2},
        {ui->lblStatusDsPath, s.dsPath},
        {ui->lblStatusWiredMac, s.wiredMAC},
        {ui->lblStatusWiredIp, s.wiredIP},
        {ui->lblStatusWiredNetmask, s.wiredNetmask},
        {ui->lblStatusWiredGateway, s.wiredGateway},
        {ui->lblStatusWirelessMac, s.wirelessMAC},
        {ui->lblStatusWirelessIp, s.wirelessIP},
        {ui->lblStatusWirelessNetmask, s.wirelessNetmask},
        {ui->lblStatusWirelessGateway, s.wirelessGateway},
    };
    for (const auto& row : rows)
        row.first->setText(shown(row.second));
    ui->lblStatusNote->setText(tr("As the device reports it now."));
}

void DlgNetwork::updateNetworkInfo(const QString& dns1, const QString& dns2, const QString& dsPath,
                                   const QString& wiredMAC, const QString& wiredIP,
                                   const QString& wiredNetmask, const QString& wiredGateway,
                                   const QString& wirelessMAC, const QString& wirelessIP,
                                   const QString& wirelessNetmask, const QString& wirelessGateway)
{
    setNetworkInfo(NetworkStatus{dns1, dns2, dsPath, wiredMAC, wiredIP, wiredNetmask, wiredGateway,
                                 wirelessMAC, wirelessIP, wirelessNetmask, wirelessGateway});
}

netconfig::NetworkSettings DlgNetwork::fromWidgets() const
{
    netconfig::NetworkSettings s;
    s.firewall = ui->chbxFirewall->isChecked();
    s.dns1 = ui->tbxDns1->text().trimmed();
    s.dns2 = ui->tbxDns2->text().trimmed();
    s.dsPath = ui->tbxDsPath->text().trimmed();
    s.wiredEnabled = ui->grbxWired->isChecked();
    s.wiredAddressing = code(ui->cmbxWiredAddressing);
    s.wiredIp = ui->tbxWiredIp->text().trimmed();
    s.wiredNetmask = ui->tbxWiredNetmask->text().trimmed();
    s.wiredGateway = ui->tbxWiredGateway->text().trimmed();
    s.wakeOnLan = ui->chbxWakeOnLan->isChecked();
    s.wiredSecurity = code(ui->cmbxWiredSecurity);
    s.wiredUser = ui->tbxWiredUser->text();
    s.wiredPassword = ui->tbxWiredPassword->text();
    s.wiredCertificate = ui->tbxWiredCertificate->text();
    s.wirelessEnabled = ui->grbxWireless->isChecked();
    s.wirelessAddressing = code(ui->cmbxWirelessAddressing);
    s.wirelessIp = ui->tbxWirelessIp->text().trimmed();
    s.wirelessNetmask = ui->tbxWirelessNetmask->text().trimmed();
    s.wirelessGateway = ui->tbxWirelessGateway->text().trimmed();
    s.ssid = ssid();
    s.wirelessSecurity = code(ui->cmbxWirelessSecurity);
    s.wirelessPassword = ui->tbxWirelessPassword->text();
    s.wirelessUser = ui->tbxWirelessUser->text();
    s.wirelessCertificate = ui->tbxWirelessCertificate->text();
    s.hostname = m_device.hostname;
    return s;
}

void DlgNetwork::accept()
{
    const netconfig::NetworkSettings s = fromWidgets();
    if (const std::optional<QString> error = netconfig::validationError(s)) {
        rvx::Ask::warning(this, netconfig::validationTitle(), *error);
        return;
    }
    for (const auto& text : netconfig::wireTexts(s)) {
        if (!rvx::acceptLatin1(this, netconfig::validationTitle(), text.second, text.first))
            return;
    }
    m_result = s;
    QDialog::accept();
}
