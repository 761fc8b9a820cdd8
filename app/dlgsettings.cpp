#include "dlgsettings.h"
#include "ui_dlgsettings.h"

#include "ask.h"
#include "selfupdate.h"
#include "devicecolumns.h"
#include "mainwindow.h"
#include "platform.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QSettings>

using rvx::Ask;
namespace columns = rvx::columns;

namespace {

constexpr int KeyRole = Qt::UserRole;
constexpr int TitleRole = Qt::UserRole + 1;

const char* const ProposedUpdateServer = "https://downloads.orbenium.com/downloads/";

// The working folder's sub-folders and the keys that hold their paths, in creation order.
const struct
{
    const char* key;
    const char* folder;
} SubFolders[] = {
    {"firmwareImageDir", "firmware"}, {"appImageDir", "rvxclient"},
    {"hotfixDir", "hotfix"},          {"tempDir", "temp"},
    {"profileDir", "profiles"},       {"databaseDir", "db"},
    {"deviceFilesDir", "filestore"},
};

// A stored integer as decimal text: a non-number stores 0.
int toStoredNumber(const QString& text)
{
    return text.toInt(nullptr, 10);
}

} // namespace

DlgSettings::DlgSettings(MainWindow* parent, QSettings* settings, bool startupMode)
    : QDialog(parent)
    , ui(new Ui::DlgSettings)
    , m_mainWindow(parent)
    , m_settings(settings)
    , m_startupMode(startupMode)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("RVX Preferences"));
    connect(ui->btnWorkingDir, &QPushButton::clicked, this, &DlgSettings::onBrowseTemp);
    connect(ui->chbxProxyAuth, &QCheckBox::clicked, this, &DlgSettings::onProxyCredentialsClicked);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgSettings::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgSettings::reject);

    // Every setting is shown; a missing one makes the settings incomplete and shows the
    // proposed value instead.
    const auto read = [this](const char* key, const QVariant& proposal) {
        const QString name = QLatin1String(key);
        if (m_settings->contains(name))
            return m_settings->value(name);
        m_settingsValid = false;
        return proposal;
    };

    if (m_settings->contains(QStringLiteral("rvxWorkingDir"))) {
        ui->tbxWorkingDir->setText(m_settings->value(QStringLiteral("rvxWorkingDir")).toString());
        if (prepareFolders() != 0)
            m_settingsValid = false;
    } else {
        m_settingsValid = false;
        ui->tbxWorkingDir->setText(rvx::platform::defaultWorkingDir());
    }

    ui->tbxSslPort->setText(read("SSLPort", QStringLiteral("8085")).toString());
    ui->tbxUdpPort->setText(read("UDPPort", QStringLiteral("9097")).toString());
    ui->tbxUdpFreq->setText(read("UDPFrequency", QStringLiteral("5")).toString());
    // An agent port the listener cannot use counts as missing, so the next start asks again.
    if (agentPort(ui->tbxSslPort->text()) == 0)
        m_settingsValid = false;

    ui->grbxProxy->setChecked(read("rvxProxyServerEnabled", false).toBool());
    ui->tbxProxyHost->setText(read("rvxProxyServerIP", QString()).toString());
    ui->tbxProxyPort->setText(read("rvxProxyServerPort", QString()).toString());
    const bool needsCredentials = read("rvxProxyServerNeedsCreds", false).toBool();
    ui->chbxProxyAuth->setChecked(needsCredentials);
    onProxyCredentialsClicked(needsCredentials);
    ui->tbxProxyUser->setText(read("rvxProxyServerUsername", QString()).toString());
    ui->tbxProxyPassword->setText(read("rvxProxyServerPassword", QString()).toString());

    ui->tbxUpdateServer->setText(read("updateServer", QString::fromLatin1(ProposedUpdateServer)).toString());
    // A server upgrade installed at the last close: the settings were kept, but are shown
    // once more before the new version runs with them.
    if (updates::optionsRequestedAtStart(*m_settings))
        m_settingsValid = false;
    const QString frequency = read("updateFrequency", QString()).toString();
    if (frequency == QLatin1String("manual"))
        ui->rdbtnManual->setChecked(true);
    else if (frequency == QLatin1String("daily"))
        ui->rdbtnDaily->setChecked(true);
    else
        ui->rdbtnStartup->setChecked(true);

    // The chooser shows the stored layout; writing it back at once renumbers the shown
    // columns from 0 and rewrites their header texts.
    fillColumnChooser();
    writeColumnSettings();
}

DlgSettings::~DlgSettings()
{
    delete ui;
}

int DlgSettings::agentPort(const QString& text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok, 10);
    return ok && port >= 1 && port <= 65535 ? port : 0;
}

void DlgSettings::fillColumnChooser()
{
    const QList<columns::ChooserEntry> entries = columns::chooserEntries(*m_settings);
    for (const columns::ChooserEntry& entry : entries) {
        auto* item = new QListWidgetItem(entry.title);
        item->setData(KeyRole, entry.key);
        item->setData(TitleRole, entry.title);
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled;
        if (!entry.alwaysShown)
            flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        item->setCheckState(entry.checked ? Qt::Checked : Qt::Unchecked);
        ui->lstColumns->addItem(item);
    }
    // Keep the items in table order for callers that look one up by key.
    for (const columns::Column& column : columns::table()) {
        for (int row = 0; row < ui->lstColumns->count(); ++row) {
            QListWidgetItem* item = ui->lstColumns->item(row);
            if (item->data(KeyRole).toString() == QLatin1String(column.key))
                m_columnItems.append(item);
        }
    }
}

void DlgSettings::writeColumnSettings()
{
    QList<columns::ChooserEntry> entries;
    for (int row = 0; row < ui->lstColumns->count(); ++row) {
        const QListWidgetItem* item = ui->lstColumns->item(row);
        columns::ChooserEntry entry;
        entry.key = item->data(KeyRole).toString();
        entry.title = item->data(TitleRole).toString();
        entry.checked = item->checkState() == Qt::Checked;
        entries.append(entry);
    }
    columns::writeChooser(*m_settings, entries);
}

void DlgSettings::accept()
{
    const struct
    {
        QLineEdit* field;
        const char* message;
    } required[] = {
        {ui->tbxWorkingDir, "You must specify a folder where RVX can store files"},
        {ui->tbxSslPort, "You must enter a value for SSL port number"},
        {ui->tbxUdpPort, "You must enter a value for UDP port number"},
        {ui->tbxUdpFreq, "You must enter a value for UDP broadcast frequency"},
        {ui->tbxUpdateServer, "You must enter an update server URL"},
    };
    for (const auto& check : required) {
        if (check.field->text().trimmed().isEmpty()) {
            Ask::information(nullptr, QStringLiteral("Input Validation"), QLatin1String(check.message));
            check.field->setFocus();
            return;
        }
    }

    m_settings->setValue(QStringLiteral("rvxWorkingDir"), ui->tbxWorkingDir->text());
    m_settings->setValue(QStringLiteral("SSLPort"), toStoredNumber(ui->tbxSslPort->text()));
    m_settings->setValue(QStringLiteral("UDPPort"), toStoredNumber(ui->tbxUdpPort->text()));
    m_settings->setValue(QStringLiteral("UDPFrequency"), toStoredNumber(ui->tbxUdpFreq->text()));
    m_settings->setValue(QStringLiteral("updateServer"), ui->tbxUpdateServer->text());
    QString frequency = QStringLiteral("startup");
    if (ui->rdbtnManual->isChecked())
        frequency = QStringLiteral("manual");
    else if (ui->rdbtnDaily->isChecked())
        frequency = QStringLiteral("daily");
    m_settings->setValue(QStringLiteral("updateFrequency"), frequency);

    if (prepareFolders() != 0)
        return;

    if (ui->grbxProxy->isChecked()) {
        const QString title = QStringLiteral("Proxy server settings");
        QString problem;
        bool portOk = false;
        ui->tbxProxyPort->text().toInt(&portOk, 10);
        if (ui->tbxProxyHost->text().isEmpty())
            problem = QStringLiteral("You must enter a value for Proxy server hostname/IP");
        else if (ui->tbxProxyPort->text().isEmpty())
            problem = QStringLiteral("You must enter a value for Proxy server port");
        else if (!portOk)
            problem = QStringLiteral("You must enter a valid value for Proxy server port");
        else if (ui->chbxProxyAuth->isChecked() && ui->tbxProxyUser->text().isEmpty())
            problem = QStringLiteral("You must enter a value for Proxy server username");
        else if (ui->chbxProxyAuth->isChecked() && ui->tbxProxyPassword->text().isEmpty())
            problem = QStringLiteral("You must enter a value for Proxy server password");
        if (!problem.isEmpty()) {
            Ask::warning(this, title, problem);
            return;
        }
    }
    m_settings->setValue(QStringLiteral("rvxProxyServerEnabled"), ui->grbxProxy->isChecked());
    m_settings->setValue(QStringLiteral("rvxProxyServerIP"), ui->tbxProxyHost->text());
    m_settings->setValue(QStringLiteral("rvxProxyServerPort"), ui->tbxProxyPort->text());
    m_settings->setValue(QStringLiteral("rvxProxyServerNeedsCreds"), ui->chbxProxyAuth->isChecked());
    m_settings->setValue(QStringLiteral("rvxProxyServerUsername"), ui->tbxProxyUser->text());
    // The password is kept as typed; the store's file is readable by its owner only.
    m_settings->setValue(QStringLiteral("rvxProxyServerPassword"), ui->tbxProxyPassword->text());

    writeColumnSettings();
    updates::clearOptionsRequest(*m_settings);

    m_settings->sync();
    rvx::platform::protectSettingsFile(m_settings);
    Ask::information(
        m_mainWindow, QStringLiteral("Save settings"),
        QStringLiteral("If you have changed HTTP proxy server settings, you need to restart RVX"));
    QDialog::accept();
}

void DlgSettings::reject()
{
    // At start-up the program cannot run without settings: only Save leaves the dialog.
    // Escape and the window's close button end up here as well.
    if (m_startupMode) {
        Ask::warning(this, QStringLiteral("Invalid input"),
                     QStringLiteral("\nClick on 'Save settings' to close this dialog box"));
        return;
    }
    QDialog::reject();
}

int DlgSettings::prepareFolders()
{
    if (!m_settings->contains(QStringLiteral("rvxWorkingDir")))
        return -1;
    const QString workingDir = m_settings->value(QStringLiteral("rvxWorkingDir")).toString();
    // An empty folder name would put the tree into whatever the current folder is.
    if (workingDir.trimmed().isEmpty())
        return -1;
    const QString root = QDir::fromNativeSeparators(workingDir);
    const QString title = QStringLiteral("Creating Folder");
    if (!QDir(root).exists() && !QDir().mkpath(root)) {
        Ask::critical(this, title, QStringLiteral("Unable to create folder\n\n") + workingDir);
        return -1;
    }
    for (const auto& sub : SubFolders) {
        const QString appended = QDir::toNativeSeparators(QLatin1Char('/') + QLatin1String(sub.folder));
        m_settings->setValue(QLatin1String(sub.key), QString(workingDir + appended));
    }
    for (const auto& sub : SubFolders) {
        const QString path = root + QLatin1Char('/') + QLatin1String(sub.folder);
        if (QDir(path).exists())
            continue;
        if (!QDir().mkdir(path)) {
            Ask::critical(this, title,
                          QStringLiteral("Unable to create folder\n\n") + workingDir +
                              QDir::toNativeSeparators(QLatin1Char('/') + QLatin1String(sub.folder)));
            return -1;
        }
    }
    return 0;
}

void DlgSettings::onBrowseTemp()
{
    QString start = ui->tbxWorkingDir->text();
    if (start.isEmpty())
        start = QDir::toNativeSeparators(QDir::rootPath());
    const QString chosen = Ask::getExistingDirectory(this, QStringLiteral("Select RVX Folder"), start,
                                                     QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty())
        ui->tbxWorkingDir->setText(QDir::toNativeSeparators(chosen));
}

void DlgSettings::onProxyCredentialsClicked(bool on)
{
    ui->tbxProxyUser->setEnabled(on);
    ui->tbxProxyPassword->setEnabled(on);
    if (!on) {
        ui->tbxProxyUser->clear();
        ui->tbxProxyPassword->clear();
    }
}
