#include "dlgrvxserverinfo.h"

#include "ask.h"
#include "ui_dlgrvxserverinfo.h"

namespace {

constexpr int DefaultPort = 8085;

// A host name or address goes into the device's configuration as one line: no blanks, no
// line breaks or other control characters.
bool isPlainHostText(const QString& text)
{
    for (const QChar c : text) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

// A base-10 number within [low, high]; surrounding blanks are ignored.
bool parseNumber(const QString& text, int low, int high, int* value)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok, 10);
    if (!ok || number < low || number > high)
        return false;
    *value = number;
    return true;
}

} // namespace

DlgRvxServerInfo::DlgRvxServerInfo(QWidget* parent, int& mode, QString& hostname, QString& port,
                                   QString& retryInterval)
    : QDialog(parent)
    , ui(new Ui::DlgRvxServerInfo)
    , m_mode(&mode)
    , m_hostname(&hostname)
    , m_port(&port)
    , m_retryInterval(&retryInterval)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgRvxServerInfo::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgRvxServerInfo::reject);
    connect(ui->rdbtnAuto, &QRadioButton::clicked, this, &DlgRvxServerInfo::onAutoSelected);
    connect(ui->rdbtnDHCP, &QRadioButton::clicked, this, &DlgRvxServerInfo::onDHCPSelected);
    connect(ui->rdbtnStatic, &QRadioButton::clicked, this, &DlgRvxServerInfo::onStaticIPSelected);
    connect(ui->rdbtnUdp, &QRadioButton::clicked, this, &DlgRvxServerInfo::onUdpSelected);
    // A method chosen with the keyboard or by a caller must switch the fields too.
    for (QRadioButton* button : {ui->rdbtnAuto, ui->rdbtnDHCP, ui->rdbtnStatic, ui->rdbtnUdp})
        connect(button, &QRadioButton::toggled, this, &DlgRvxServerInfo::updateFields);

    switch (mode) {
    case 0:
        ui->rdbtnUdp->setChecked(true);
        break;
    case 2:
        ui->rdbtnStatic->setChecked(true);
        break;
    case 3:
        ui->rdbtnDHCP->setChecked(true);
        break;
    default:
        ui->rdbtnAuto->setChecked(true);
        break;
    }
    ui->tbxHostname->setText(hostname.isEmpty() ? QStringLiteral("rvx") : hostname);
    ui->tbxPort->setText(port.isEmpty() ? QString::number(DefaultPort) : port);
    ui->tbxRetryInt->setText(retryInterval.isEmpty() ? QStringLiteral("3") : retryInterval);
    updateFields();
}

DlgRvxServerInfo::~DlgRvxServerInfo()
{
    delete ui;
}

void DlgRvxServerInfo::onAutoSelected()
{
    updateFields();
}

void DlgRvxServerInfo::onDHCPSelected()
{
    updateFields();
}

void DlgRvxServerInfo::onStaticIPSelected()
{
    updateFields();
}

void DlgRvxServerInfo::onUdpSelected()
{
    updateFields();
}

bool DlgRvxServerInfo::serverFieldsApply() const
{
    return ui->rdbtnAuto->isChecked() || ui->rdbtnStatic->isChecked();
}

void DlgRvxServerInfo::updateFields()
{
    const bool on = serverFieldsApply();
    ui->tbxHostname->setEnabled(on);
    ui->tbxPort->setEnabled(on);
    ui->lblHostname->setEnabled(on);
    ui->lblPort->setEnabled(on);
    ui->tbxRetryInt->setEnabled(true);
}

void DlgRvxServerInfo::accept()
{
    const QString title = tr("Validating entries");

    // The agent keeps the interval in 16 bits; zero would make it retry without pause.
    int retry = 0;
    if (!parseNumber(ui->tbxRetryInt->text(), 1, 65535, &retry)) {
        rvx::Ask::warning(this, title, tr("Please enter a valid number for retry interval"));
        return;
    }

    if (!serverFieldsApply()) {
        *m_mode = ui->rdbtnDHCP->isChecked() ? 3 : 0;
        m_hostname->clear();
        m_port->clear();
        *m_retryInterval = QString::number(retry);
        QDialog::accept();
        return;
    }

    const QString host = ui->tbxHostname->text().trimmed();
    if (ui->rdbtnStatic->isChecked() && host.isEmpty()) {
        rvx::Ask::warning(this, title, tr("You must enter a value for Hostname"));
        return;
    }
    if (!isPlainHostText(host)) {
        rvx::Ask::warning(this, title, tr("Please enter a valid Hostname"));
        return;
    }

    int port = 0;
    if (!parseNumber(ui->tbxPort->text(), 1, 65535, &port)) {
        rvx::Ask::warning(this, title, tr("Please enter a valid number for Port"));
        return;
    }
    if (port != DefaultPort) {
        rvx::Ask::warning(this, tr("RVX Port number changed"),
                          tr("You have configured clients to look for RVX on a non-default port number.\n"
                             "  Please ensure that RVX is also configured to listen on that port number\n"
                             " (check Settings in the Edit menu)."));
    }

    *m_mode = ui->rdbtnAuto->isChecked() ? 1 : 2;
    *m_hostname = host;
    *m_port = QString::number(port);
    *m_retryInterval = QString::number(retry);
    QDialog::accept();
}
