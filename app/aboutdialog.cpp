#include "aboutdialog.h"
#include "ui_aboutdialog.h"

#include <QIcon>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("About RVX"));
    ui->lblLogo->setPixmap(QIcon(QStringLiteral(":/images/resources/icons/logo.svg")).pixmap(QSize(180, 60)));
    ui->lblProduct->setText(QStringLiteral("<b>RVX</b> version %1<br>Orbenium Management Software")
                                .arg(QStringLiteral(RVX_VERSION_STRING)));
    connect(ui->btnOnlineHelp, &QPushButton::clicked, this, &AboutDialog::onlineHelpRequested);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
