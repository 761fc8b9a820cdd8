#include "dlgdigitalsignage.h"

#include "ask.h"
#include "ui_dlgdigitalsignage.h"

#include <QDir>

DlgDigitalSignage::DlgDigitalSignage(QWidget* parent, int output, signage::OutputValues& values)
    : QDialog(parent)
    , ui(new Ui::DlgDigitalSignage)
    , m_output(output)
    , m_values(&values)
{
    ui->setupUi(this);
    ui->grbxOutput->setTitle(tr("Output %1").arg(output));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgDigitalSignage::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgDigitalSignage::reject);
    connect(ui->rdbtnMovies, &QRadioButton::toggled, this, &DlgDigitalSignage::OnMoviesToggled);
    connect(ui->rdbtnBrowser, &QRadioButton::toggled, this, &DlgDigitalSignage::OnBrowserToggled);
    connect(ui->rdbtnImage, &QRadioButton::toggled, this, &DlgDigitalSignage::updateFields);
    connect(ui->btnBrowse, &QPushButton::clicked, this, &DlgDigitalSignage::onBrowseClicked);
    connect(ui->tbxUrl, &QLineEdit::textChanged, this, &DlgDigitalSignage::onUrlChanged);

    if (values.action == QLatin1String("movies"))
        ui->rdbtnMovies->setChecked(true);
    else if (values.action == QLatin1String("browser"))
        ui->rdbtnBrowser->setChecked(true);
    else
        ui->rdbtnImage->setChecked(true);
    ui->tbxDuration->setText(values.duration.isEmpty() ? QString::number(signage::DefaultDuration)
                                                       : values.duration);
    ui->tbxUrl->setText(values.url.isEmpty() ? signage::defaultUrl(output) : values.url);
    ui->tbxContentDir->setText(QDir::toNativeSeparators(values.source));
    updateFields();
}

DlgDigitalSignage::~DlgDigitalSignage()
{
    delete ui;
}

QString DlgDigitalSignage::action() const
{
    if (ui->rdbtnMovies->isChecked())
        return QStringLiteral("movies");
    if (ui->rdbtnBrowser->isChecked())
        return QStringLiteral("browser");
    return QStringLiteral("images");
}

void DlgDigitalSignage::OnMoviesToggled(bool)
{
    updateFields();
}

void DlgDigitalSignage::OnBrowserToggled(bool)
{
    updateFields();
}

void DlgDigitalSignage::onUrlChanged(const QString&)
{
    updateFields();
}

void DlgDigitalSignage::updateFields()
{
    const QString current = action();
    const bool cycle = signage::cycleTimeApplies(current);
    ui->tbxDuration->setEnabled(cycle);
    ui->lblDuration->setEnabled(cycle);
    const bool web = current == QLatin1String("browser");
    ui->tbxUrl->setEnabled(web);
    ui->lblUrl->setEnabled(web);
    const bool local = signage::isLocalContent(current, ui->tbxUrl->text());
    ui->tbxContentDir->setEnabled(local);
    ui->lblContentDir->setEnabled(local);
    ui->btnBrowse->setEnabled(local);
}

void DlgDigitalSignage::onBrowseClicked()
{
    const QString folder = rvx::Ask::getExistingDirectory(
        this, tr("Select Content Folder"), QDir::fromNativeSeparators(ui->tbxContentDir->text()));
    if (folder.isEmpty())
        return;
    if (!signage::isUsableFolder(folder)) {
        rvx::Ask::warning(this, tr("Invalid Folder"), signage::folderRefusal(folder));
        return;
    }
    ui->tbxContentDir->setText(QDir::toNativeSeparators(folder));
    emit folderPicked(folder);
}

void DlgDigitalSignage::accept()
{
    const QString current = action();
    const QString duration = ui->tbxDuration->text().trimmed();
    const QString url = ui->tbxUrl->text().trimmed();
    const QString folder = ui->tbxContentDir->text().trimmed();
    if (const std::optional<QString> problem = signage::dsiProblem(current, duration, url, folder)) {
        rvx::Ask::warning(this, tr("Invalid Configuration"), *problem);
        return;
    }
    m_values->action = current;
    if (signage::cycleTimeApplies(current))
        m_values->duration = duration;
    if (current == QLatin1String("browser"))
        m_values->url = url;
    if (signage::isLocalContent(current, url))
        m_values->source = QDir::toNativeSeparators(folder);
    QDialog::accept();
}
