#include "dlginstallondevice.h"

#include "ask.h"
#include "boxes.h"
#include "ui_dlginstallondevice.h"

#include <QDir>
#include <QFileInfo>

using upgrade::FileKind;

DlgInstallOnDevice::DlgInstallOnDevice(QWidget* parent, int initialKind)
    : QDialog(parent)
    , ui(new Ui::DlgInstallOnDevice)
{
    ui->setupUi(this);
    for (int kind = 1; kind <= upgrade::DialogKindCount; ++kind)
        ui->cmbFileType->addItem(upgrade::kindComboText(kind), kind);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgInstallOnDevice::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgInstallOnDevice::reject);
    connect(ui->cmbFileType, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &DlgInstallOnDevice::onKindChanged);
    connect(ui->btnBrowse, &QPushButton::clicked, this, &DlgInstallOnDevice::onBrowse);
    connect(ui->chkShowPassword, &QCheckBox::toggled, this, &DlgInstallOnDevice::onShowPassword);

    const int index = initialKind >= 1 && initialKind <= upgrade::DialogKindCount ? initialKind - 1 : 0;
    ui->cmbFileType->setCurrentIndex(index);
    onKindChanged(index); // also when the index did not change
}

DlgInstallOnDevice::~DlgInstallOnDevice()
{
    delete ui;
}

int DlgInstallOnDevice::currentKind() const
{
    return ui->cmbFileType->currentIndex() < 0 ? 0 : ui->cmbFileType->currentData().toInt();
}

void DlgInstallOnDevice::onKindChanged(int)
{
    const bool bundle = currentKind() == int(FileKind::CertificateBundle);
    if (!bundle) {
        ui->tbxPassword->clear();
        ui->chkShowPassword->setChecked(false);
    }
    ui->tbxPassword->setEnabled(bundle);
    ui->chkShowPassword->setEnabled(bundle);
}

void DlgInstallOnDevice::onBrowse()
{
    const int kind = currentKind();
    if (kind == 0) {
        rvx::Ask::critical(this, tr("Missing Data"), tr("\nPlease select an installation type!"));
        return;
    }
    const QString path = rvx::Ask::getOpenFileName(
        this, upgrade::kindBrowseTitle(kind), QDir::toNativeSeparators(QDir::homePath()), QString(),
        QFileDialog::DontUseNativeDialog | QFileDialog::DontUseCustomDirectoryIcons |
            QFileDialog::HideNameFilterDetails);
    if (!path.isEmpty())
        ui->tbxFilePath->setText(path);
}

void DlgInstallOnDevice::onShowPassword(bool checked)
{
    ui->tbxPassword->setEchoMode(checked ? QLineEdit::Normal : QLineEdit::Password);
}

void DlgInstallOnDevice::accept()
{
    const upgrade::InstallInput entered{currentKind(), ui->tbxFilePath->text(), ui->tbxPassword->text()};
    bool openVpnConfirmed = false;
    while (const auto box = upgrade::installRefusal(entered, openVpnConfirmed)) {
        const QMessageBox::StandardButton answer = rvx::showBox(this, *box);
        if (box->kind != upgrade::Box::Kind::Question || answer != QMessageBox::Yes)
            return;
        openVpnConfirmed = true;
    }
    m_kind = entered.kind;
    m_path = entered.path;
    m_name = QFileInfo(QDir::fromNativeSeparators(entered.path)).fileName();
    m_size = QFileInfo(entered.path).size();
    m_password = m_kind == int(FileKind::CertificateBundle) ? entered.password : QString();
    QDialog::accept();
}
