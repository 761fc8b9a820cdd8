#include "dlgshowdevinfo.h"

#include "configlib.h"
#include "rvxdb.h"
#include "thinclientinfo.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

using Rows = QList<QPair<QString, QString>>;

QString enabledText(bool on)
{
    return on ? QStringLiteral("Enabled") : QStringLiteral("Disabled");
}

// Interface rows: on or off, and for an enabled interface its addressing method, with the
// static addresses when there are any.
void addInterfaceRows(Rows& rows, const QString& label, const QByteArray& prefix, const QByteArray& text)
{
    const auto value = [&](const char* suffix) {
        return QString::fromLatin1(config_text_get_value(prefix + suffix, text));
    };
    if (config_text_get_value(prefix + "enabled", text) == "no") {
        rows.append({label, QStringLiteral("Disabled")});
        return;
    }
    rows.append({label, QStringLiteral("Enabled")});
    const QByteArray dhcp = config_text_get_value(prefix + "dhcp_enabled", text);
    if (dhcp == "yes") {
        rows.append({label + QStringLiteral(" Method"), QStringLiteral("DHCP")});
    } else if (dhcp == "no") {
        rows.append({label + QStringLiteral(" Method"), QStringLiteral("Static")});
        rows.append({label + QStringLiteral(" IP"), value("ip")});
        rows.append({label + QStringLiteral(" Netmask"), value("netmask")});
        rows.append({label + QStringLiteral(" Gateway"), value("gateway")});
    } else {
        rows.append({label + QStringLiteral(" Method"), QStringLiteral("DHCP with DNS override")});
    }
}

} // namespace

QString DlgShowDevInfo::discoveryModeName(const QByteArray& configText)
{
    int index = config_discovery_mode_index(config_text_get_value("rvx_discovery_mode", configText));
    if (index < 0) {
        bool ok = false;
        const uint number = config_text_get_value("rvx_server_mode", configText).toUInt(&ok, 10);
        index = ok && number < 4 ? static_cast<int>(number) : 1;
    }
    static const char* const names[] = {"UDP broadcast", "Auto", "Static", "DHCP"};
    return QString::fromLatin1(names[index]);
}

QList<QPair<QString, QString>> DlgShowDevInfo::deviceRows(const ThinclientInfo& info, const QByteArray& text)
{
    const auto value = [&](const QByteArray& key) {
        return QString::fromLatin1(config_text_get_value(key, text));
    };
    const auto flag = [&](const char* key) { return enabledText(config_text_get_value(key, text) == "yes"); };
    const QByteArray mode = config_text_get_value("connection_type", text);

    Rows rows;
    rows.append({QStringLiteral("Hostname"), info.hostname()});
    rows.append({QStringLiteral("IP Address"), info.ipAddressText()});
    rows.append({QStringLiteral("Netmask"), info.netmaskText()});
    rows.append(
        {QStringLiteral("Firmware Type"), QString::fromLatin1(config_hardware_name(info.firmwareType()))});
    rows.append({QStringLiteral("Debian Architecture"), info.debianArch()});
    rows.append({QStringLiteral("Hardware"), info.hwName()});
    rows.append({QStringLiteral("Comment"), info.description()});
    rows.append({QStringLiteral("MAC Address"), info.macAddress()});
    rows.append({QStringLiteral("Firmware Version"), info.firmwareVersion()});
    rows.append({QStringLiteral("Kernel Version"), info.kernelVersion()});
    rows.append({QStringLiteral("TFM Version"), info.tfmVersion()});
    rows.append({QStringLiteral("RVX Client Version"), info.clientVersion()});
    rows.append({QStringLiteral("Debian Version"), info.debianVersion()});
    rows.append({QStringLiteral("Mode"), QString::fromLatin1(mode).toUpper()});
    rows.append({QStringLiteral("Server"), value(mode + "_server")});
    rows.append({QStringLiteral("Serial Number"), info.serialNumber()});
    rows.append({QStringLiteral("Time Server"), value("time_server")});
    rows.append({QStringLiteral("Timezone"), value("timezone")});
    rows.append({QStringLiteral("RVX Discovery"), discoveryModeName(text)});
    rows.append({QStringLiteral("RVX Server"), value("rvx_server_hostname")});
    rows.append({QStringLiteral("RVX Server Port"), value("rvx_server_port")});
    rows.append({QStringLiteral("Cmd Line Args"), value(mode + "_cmdline_args")});
    rows.append({QStringLiteral("Boot Mode"), ThinclientInfo::bootModeText(info.bootMode())});
    rows.append({QStringLiteral("DNS 1"), value("dns1")});
    rows.append({QStringLiteral("DNS 2"), value("dns2")});
    rows.append({QStringLiteral("Domain Search Path"), value("dspath")});
    addInterfaceRows(rows, QStringLiteral("Wired Interface"), "nic_", text);
    addInterfaceRows(rows, QStringLiteral("Wireless Interface"), "nic_wireless_", text);
    rows.append({QStringLiteral("Wireless Interface SSID"), value("nic_wireless_ssid")});
    rows.append({QStringLiteral("Wireless Interface Security"), value("nic_wireless_security")});
    rows.append({QStringLiteral("Keyboard Model"), value("kbd_model")});
    rows.append({QStringLiteral("Keyboard Layout"), value("kbd_layout")});
    rows.append({QStringLiteral("Keyboard Variant"), value("kbd_variant")});
    rows.append({QStringLiteral("Keyboard Option"), value("kbd_option")});
    rows.append({QStringLiteral("Firewall Enabled"), value("firewall_enabled")});
    rows.append({QStringLiteral("Print Server"), enabledText(info.printServerEnabled())});
    rows.append({QStringLiteral("Powersave Enabled"), value("powersave")});
    if (config_text_get_value("pxe_server_enabled", text) == "yes") {
        rows.append({QStringLiteral("PXE Server"), QStringLiteral("Enabled")});
        rows.append({QStringLiteral("PXE Only"), value("pxe_server_pxe_only")});
        rows.append({QStringLiteral("DHCP Start"), value("pxe_server_range_low")});
        rows.append({QStringLiteral("DHCP End"), value("pxe_server_range_high")});
        rows.append({QStringLiteral("PXE Mode"), value("pxe_server_mode")});
    } else {
        rows.append({QStringLiteral("PXE Server"), QStringLiteral("Disabled")});
    }
    rows.append({QStringLiteral("Remote Triggering"), flag("rrsh_enabled")});
    rows.append({QStringLiteral("VNC Server"), flag("x11vnc_enabled")});
    rows.append({QStringLiteral("RVX Beacon"), flag("rvx_beacon_enabled")});
    return rows;
}

DlgShowDevInfo::DlgShowDevInfo(QWidget* parent, ThinclientInfo* info, rvxDB* db)
    : QDialog(parent)
    , m_model(new QStandardItemModel(0, 2, this))
    , m_view(new QTableView(this))
{
    setObjectName(QStringLiteral("DlgShowDevInfo"));
    setWindowTitle(tr("Device Information"));
    resize(534, 540);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view);

    m_model->setHorizontalHeaderLabels({tr("Property"), tr("Value")});
    if (info) {
        const QByteArray text = db ? db->loadConfig(info->serialNumber()) : QByteArray();
        const QList<QPair<QString, QString>> rows = deviceRows(*info, text);
        for (const auto& row : rows) {
            auto* property = new QStandardItem(row.first);
            property->setEditable(false);
            auto* value = new QStandardItem(row.second);
            value->setEditable(false);
            m_model->appendRow({property, value});
        }
    }

    m_view->setObjectName(QStringLiteral("tvwDeviceInfo"));
    m_view->setModel(m_model);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(0, 200);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(0, Qt::AscendingOrder);
}

QString DlgShowDevInfo::driftSummary(const QString& profilePath,
                                     const std::optional<QList<drift::Difference>>& differences)
{
    const QString profile = QDir::toNativeSeparators(profilePath);
    if (!differences)
        return QStringLiteral("Not compared with the linked profile %1: the server holds no configuration of "
                              "this device yet, or the profile cannot be read.")
            .arg(profile);
    if (differences->isEmpty())
        return QStringLiteral("Matches the linked profile %1.").arg(profile);
    return QStringLiteral("Differs from the linked profile %1 in %2 setting(s):")
        .arg(profile)
        .arg(differences->size());
}

void DlgShowDevInfo::showDrift(const QString& profilePath,
                               const std::optional<QList<drift::Difference>>& differences)
{
    if (!m_driftLabel) {
        m_driftLabel = new QLabel(this);
        m_driftLabel->setObjectName(QStringLiteral("lblProfileDrift"));
        m_driftLabel->setTextFormat(Qt::PlainText);
        m_driftLabel->setWordWrap(true);
        m_driftModel = new QStandardItemModel(0, 4, this);
        m_driftModel->setHorizontalHeaderLabels({tr("Category"), tr("Key"), tr("Device"), tr("Profile")});
        m_driftView = new QTableView(this);
        m_driftView->setObjectName(QStringLiteral("tvwProfileDrift"));
        m_driftView->setModel(m_driftModel);
        m_driftView->setSelectionMode(QAbstractItemView::NoSelection);
        m_driftView->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_driftView->verticalHeader()->hide();
        m_driftView->horizontalHeader()->setStretchLastSection(true);
        layout()->addWidget(m_driftLabel);
        layout()->addWidget(m_driftView);
        resize(width() + 160, height() + 200);
    }
    m_driftLabel->setText(driftSummary(profilePath, differences));
    m_driftModel->removeRows(0, m_driftModel->rowCount());
    const QList<drift::Difference> rows = differences.value_or(QList<drift::Difference>());
    for (const drift::Difference& d : rows) {
        const QString device =
            d.deviceValue.isEmpty() ? tr("(not set)") : drift::shownValue(d.key, d.deviceValue);
        QList<QStandardItem*> cells = {
            new QStandardItem(drift::categoryName(d.category)), new QStandardItem(QString::fromLatin1(d.key)),
            new QStandardItem(device), new QStandardItem(drift::shownValue(d.key, d.profileValue))};
        for (QStandardItem* cell : cells)
            cell->setEditable(false);
        m_driftModel->appendRow(cells);
    }
    m_driftView->setVisible(!rows.isEmpty());
    m_driftView->resizeColumnsToContents();
}
