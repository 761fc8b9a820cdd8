#include "dlgoptionalsvcdata.h"

#include "ask.h"
#include "ui_dlgoptionalsvcdata.h"

DlgOptionalSvcData::DlgOptionalSvcData(QWidget* parent, bool* enabled, QString* value, QString* password,
                                       const QString& serviceName, bool passwordOptional, const QString& info)
    : QDialog(parent)
    , ui(new Ui::DlgOptionalSvcData)
    , m_enabled(enabled)
    , m_value(value)
    , m_password(password)
    , m_passwordOptional(passwordOptional)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgOptionalSvcData::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgOptionalSvcData::reject);
    connect(ui->grbxService, &QGroupBox::toggled, this, &DlgOptionalSvcData::onServiceToggled);
    connect(ui->tbxConfirm, &QLineEdit::textEdited, this, &DlgOptionalSvcData::onConfirmEdited);

    if (!enabled || serviceName.isEmpty())
        return;

    setWindowTitle(tr("Configure ") + serviceName);
    ui->grbxService->setTitle(serviceName);
    ui->grbxService->setChecked(*enabled);

    if (!value) {
        ui->tbxValue->hide();
        ui->tbxValue->setEnabled(false);
        ui->layoutService->removeWidget(ui->tbxValue);
        ui->layoutService->removeWidget(ui->lblValue);
        ui->layoutService->addWidget(ui->lblValue, 0, 0, 1, 2, Qt::AlignLeft);
    } else if (*enabled) {
        ui->tbxValue->setText(*value);
    }

    if (!info.isEmpty())
        ui->lblValue->setText(info);
    else
        ui->lblValue->hide();

    if (!password) {
        for (QWidget* widget :
             {static_cast<QWidget*>(ui->lblPassword), static_cast<QWidget*>(ui->tbxPassword),
              static_cast<QWidget*>(ui->lblConfirm), static_cast<QWidget*>(ui->tbxConfirm)}) {
            widget->hide();
            widget->setEnabled(false);
        }
    } else if (*enabled) {
        ui->tbxPassword->setText(*password);
        ui->tbxConfirm->setText(*password);
    }
}

DlgOptionalSvcData::~DlgOptionalSvcData()
{
    delete ui;
}

void DlgOptionalSvcData::onServiceToggled(bool on)
{
    if (on)
        return;
    ui->tbxValue->clear();
    ui->tbxPassword->clear();
    ui->tbxConfirm->clear();
}

void DlgOptionalSvcData::onConfirmEdited()
{
    m_confirmEdited = true;
}

void DlgOptionalSvcData::accept()
{
    if (!m_enabled) {
        QDialog::accept();
        return;
    }
    if (!ui->grbxService->isChecked()) {
        *m_enabled = false;
        if (m_value)
            m_value->clear();
        if (m_password)
            m_password->clear();
        QDialog::accept();
        return;
    }

    const QString title = tr("Data Validation");
    if (m_value && ui->tbxValue->text().isEmpty()) {
        rvx::Ask::warning(this, title, tr("\nYou must enter a value for ") + ui->lblValue->text());
        return;
    }
    if (m_password && !m_passwordOptional && ui->tbxPassword->text().isEmpty()) {
        rvx::Ask::warning(this, title, tr("\nYou must enter a value for Password"));
        return;
    }
    if (m_password && m_confirmEdited && ui->tbxPassword->text() != ui->tbxConfirm->text()) {
        rvx::Ask::warning(this, title, tr("\nThe passwords do not match"));
        return;
    }

    *m_enabled = true;
    if (m_value)
        *m_value = ui->tbxValue->text();
    if (m_password)
        *m_password = ui->tbxPassword->text();
    QDialog::accept();
}
