#include "dlgusbredirection.h"

#include "ask.h"
#include "configlib.h"
#include "ui_dlgusbredirection.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTableWidgetItem>

DlgUsbRedirection::DlgUsbRedirection(QWidget* parent, const QStringList& usbList, QStringList& redirected,
                                     QStringList* denied)
    : QDialog(parent)
    , ui(new Ui::DlgUsbRedirection)
    , m_redirected(&redirected)
    , m_denied(denied)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgUsbRedirection::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgUsbRedirection::reject);
    ui->tblRedirections->setColumnWidth(0, 120);
    ui->tblRedirections->setColumnWidth(1, 90);

    for (const QString& entry : usbList) {
        const QString line = entry.trimmed();
        const QString id = line.mid(3, 9).trimmed();
        // Several identical devices share one id and so one setting: one row each id.
        if (id.isEmpty() || m_ids.contains(id))
            continue;
        addRow(id, line.mid(13));
    }

    QStringList absent;
    for (const QString& id : redirected + (denied ? *denied : QStringList())) {
        if (!id.isEmpty() && !m_ids.contains(id) && !absent.contains(id))
            absent.append(id);
    }
    for (const QString& id : qAsConst(absent))
        addRow(id, tr("(not connected)"));
}

DlgUsbRedirection::~DlgUsbRedirection()
{
    delete ui;
}

void DlgUsbRedirection::addRow(const QString& id, const QString& description)
{
    QTableWidget* table = ui->tblRedirections;
    const int row = table->rowCount();
    table->insertRow(row);

    auto* box = new QComboBox(table);
    box->setObjectName(QStringLiteral("cmbRedirect%1").arg(row));
    box->addItem(tr("Policy Default"));
    box->addItem(tr("Yes"));
    if (m_denied)
        box->addItem(tr("No"));
    if (m_redirected->contains(id))
        box->setCurrentIndex(Yes);
    else if (m_denied && m_denied->contains(id))
        box->setCurrentIndex(No);
    else
        box->setCurrentIndex(PolicyDefault);
    table->setCellWidget(row, 0, box);

    auto* idItem = new QTableWidgetItem(id);
    idItem->setFlags(idItem->flags() & ~Qt::ItemIsEditable);
    table->setItem(row, 1, idItem);
    auto* descriptionItem = new QTableWidgetItem(description);
    descriptionItem->setFlags(descriptionItem->flags() & ~Qt::ItemIsEditable);
    table->setItem(row, 2, descriptionItem);

    m_ids.append(id);
}

QComboBox* DlgUsbRedirection::choiceBox(int row) const
{
    return qobject_cast<QComboBox*>(ui->tblRedirections->cellWidget(row, 0));
}

void DlgUsbRedirection::accept()
{
    QStringList redirected;
    QStringList denied;
    for (int row = 0; row < m_ids.size(); ++row) {
        const int choice = choiceBox(row)->currentIndex();
        if (choice == Yes)
            redirected.append(m_ids.at(row));
        else if (choice == No && m_denied)
            denied.append(m_ids.at(row));
    }

    const QString bootDevice = QString::fromLatin1(config_store_get("live_usb_device")).trimmed();
    if (!bootDevice.isEmpty() && (redirected.contains(bootDevice) || !denied.contains(bootDevice))) {
        const auto answer = rvx::Ask::question(
            this, tr("Unsafe USB Redirection"),
            tr("These settings either explictly or implicitly allow redirection of the device from which "
               "ZYLOS "
               "booted.  This is unsafe, because Windows will not recognize the Linux filesystems, and may "
               "prompt the user to format the device (which would destroy ZYLOS).  Orbenium recommends that "
               "you explicitly deny redirection of this device (") +
                bootDevice + tr(").\n\nDo you want to use these settings anyway?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }

    *m_redirected = redirected;
    if (m_denied)
        *m_denied = denied;
    QDialog::accept();
}
