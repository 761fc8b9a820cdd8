#include "dlgmultichoice.h"

#include "ui_dlgmultichoice.h"

DlgMultiChoice::DlgMultiChoice(QWidget* parent, const QString& title, const QString& prompt, int current,
                               const QString& text1, const QString& text2, const QString& text3)
    : QDialog(parent)
    , ui(new Ui::DlgMultiChoice)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgMultiChoice::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgMultiChoice::reject);

    setWindowTitle(title);
    ui->lblPrompt->setText(prompt);
    ui->rdbtnChoice1->setText(text1);
    ui->rdbtnChoice2->setText(text2);

    ui->rdbtnChoice3->hide();
    ui->rdbtnChoice3->setEnabled(false);
    if (!text3.isEmpty()) {
        ui->rdbtnChoice3->setText(text3);
        ui->rdbtnChoice3->setEnabled(true);
        ui->rdbtnChoice3->show();
        setMinimumHeight(170);
        setMaximumHeight(170);
        resize(width(), 170);
    }

    ui->rdbtnChoice1->setChecked(current == 1);
    ui->rdbtnChoice2->setChecked(current == 2);
    ui->rdbtnChoice3->setChecked(current == 3 && !text3.isEmpty());
}

DlgMultiChoice::~DlgMultiChoice()
{
    delete ui;
}

void DlgMultiChoice::accept()
{
    if (ui->rdbtnChoice1->isChecked())
        m_choice = 1;
    else if (ui->rdbtnChoice2->isChecked())
        m_choice = 2;
    else if (ui->rdbtnChoice3->isChecked() && ui->rdbtnChoice3->isEnabled())
        m_choice = 3;
    else
        return;
    QDialog::accept();
}
