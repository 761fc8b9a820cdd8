#include "dlgshadowing.h"

#include "ask.h"
#include "ui_dlgshadowing.h"

QString DlgShadowing::defaultHost()
{
    return QStringLiteral("shadow.orbenium.com");
}

DlgShadowing::DlgShadowing(QWidget* parent, QString& hostname, QString& port, bool& viewOnly)
    : QDialog(parent)
    , ui(new Ui::DlgShadowing)
    , m_hostname(&hostname)
    , m_port(&port)
    , m_viewOnly(&viewOnly)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgShadowing::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgShadowing::reject);

    ui->tbxHostname->setText(hostname.isEmpty() ? defaultHost() : hostname);
    bool ok = false;
    const ushort number = port.trimmed().toUShort(&ok, 10);
    // Port 0 cannot be connected to; it falls back like any unreadable value.
    ui->sboxPort->setValue(ok && number != 0 ? number : DefaultPort);
    ui->chbtnViewOnly->setChecked(viewOnly);
}

DlgShadowing::~DlgShadowing()
{
    delete ui;
}

void DlgShadowing::accept()
{
    const QString host = ui->tbxHostname->text().trimmed();
    if (host.isEmpty()) {
        rvx::Ask::warning(this, tr("Shadower Details"), tr("You must enter a value for Hostname"));
        return;
    }
    // The host goes into the device's configuration as one line.
    for (const QChar c : host) {
        if (c.isSpace() || c.category() == QChar::Other_Control) {
            rvx::Ask::warning(this, tr("Shadower Details"), tr("Please enter a valid Hostname"));
            return;
        }
    }
    *m_hostname = host;
    *m_port = QString::number(ui->sboxPort->value());
    *m_viewOnly = ui->chbtnViewOnly->isChecked();
    QDialog::accept();
}
