#include "dlgsignage.h"

#include "ask.h"
#include "dlggettext.h"
#include "inputrules.h"
#include "platform.h"
#include "savefailures.h"
#include "ui_dlgsignage.h"

#include <QDir>

namespace {

const char* const kPlaceholder = "(Press the List button)";

int spinValue(const QString& text, int fallback)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok && value > 0 ? value : fallback;
}

bool isLocalAddress(const QString& server, const QString& localServer)
{
    const QString host = server.section(QLatin1Char(':'), 0, 0);
    return server == localServer || host == localServer || host == QLatin1String("localhost") ||
           host == QLatin1String("127.0.0.1");
}

// Host name and optional port: one word, no URL.
bool isServerText(const QString& text)
{
    if (text.contains(QLatin1String("://")) || text.contains(QLatin1Char('/')))
        return false;
    for (const QChar c : text) {
        if (c.isSpace() || c.unicode() < 0x20)
            return false;
    }
    return true;
}

} // namespace

DlgSignage::DlgSignage(QWidget* parent, int output, signage::OutputValues& values, const QString& localServer)
    : QDialog(parent)
    , ui(new Ui::DlgSignage)
    , m_output(output)
    , m_values(&values)
    , m_localServer(localServer)
{
    if (m_localServer.isEmpty()) {
        const QList<QNetworkAddressEntry> entries = rvx::platform::usableIPv4Entries();
        m_localServer = entries.isEmpty() ? QStringLiteral("localhost") : entries.first().ip().toString();
    }
    ui->setupUi(this);
    ui->grbxOutput->setTitle(tr("Output %1").arg(output));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgSignage::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgSignage::reject);
    connect(ui->chbxUseBundledRsync, &QCheckBox::toggled, this, &DlgSignage::onBundledRsyncToggled);
    connect(ui->cmbxRsyncModule, &QComboBox::currentTextChanged, this, &DlgSignage::onRsyncModuleChanged);
    connect(ui->btnListModules, &QPushButton::clicked, this, &DlgSignage::onListModulesClicked);
    connect(ui->btnAddModule, &QPushButton::clicked, this, &DlgSignage::onAddModuleClicked);
    connect(ui->btnRemoveModule, &QPushButton::clicked, this, &DlgSignage::onRemoveModuleClicked);

    ui->cmbxRsyncModule->addItem(QString::fromLatin1(kPlaceholder));
    QString server, playlist;
    bool local = true;
    if (signage::parseSourceUrl(values.source, &server, &playlist)) {
        local = isLocalAddress(server, localServer);
        if (!local)
            ui->tbxRsyncServer->setText(server);
        if (!playlist.isEmpty())
            rvx::selectValue(ui->cmbxRsyncModule, playlist);
    }
    ui->chbxUseBundledRsync->setChecked(local);
    ui->sboxDuration->setValue(spinValue(values.duration, signage::DefaultDuration));
    ui->sboxRefreshInterval->setValue(spinValue(values.refresh, signage::DefaultRefresh));
    ui->sboxSyncInterval->setValue(spinValue(values.resync, signage::DefaultResync));
    ui->chbxMuteAudio->setChecked(values.mute == QLatin1String("yes"));
    onBundledRsyncToggled(local);
}

DlgSignage::~DlgSignage()
{
    delete ui;
}

QStringList DlgSignage::listedPlaylists() const
{
    QStringList names;
    for (int i = 0; i < ui->cmbxRsyncModule->count(); ++i) {
        if (ui->cmbxRsyncModule->itemText(i) != QLatin1String(kPlaceholder))
            names << ui->cmbxRsyncModule->itemText(i);
    }
    return names;
}

QString DlgSignage::chosenPlaylist() const
{
    const QString text = ui->cmbxRsyncModule->currentText().trimmed();
    return text == QLatin1String(kPlaceholder) ? QString() : text;
}

void DlgSignage::onBundledRsyncToggled(bool checked)
{
    ui->tbxRsyncServer->setEnabled(!checked);
    ui->lblRsyncServer->setEnabled(!checked);
    ui->btnAddModule->setEnabled(checked);
    onRsyncModuleChanged(ui->cmbxRsyncModule->currentText());
}

void DlgSignage::onRsyncModuleChanged(const QString&)
{
    ui->btnRemoveModule->setEnabled(ui->chbxUseBundledRsync->isChecked() && !chosenPlaylist().isEmpty());
}

void DlgSignage::showPlaylists(const QStringList& names)
{
    const QString previous = chosenPlaylist();
    QComboBox* box = ui->cmbxRsyncModule;
    box->blockSignals(true);
    box->clear();
    box->addItems(names);
    if (names.isEmpty())
        box->addItem(QString::fromLatin1(kPlaceholder));
    const int index = previous.isEmpty() ? -1 : box->findText(previous);
    box->setCurrentIndex(index >= 0 ? index : 0);
    box->blockSignals(false);
    m_listed = true;
    onRsyncModuleChanged(box->currentText());
}

std::optional<QByteArray> DlgSignage::readConfig(const QString& path)
{
    const std::optional<QByteArray> content = signage::readConfigFile(path);
    if (!content)
        rvx::Ask::warning(this, tr("Rsyncd Configuration Unreadable"),
                          tr("Unable to read ") + QDir::toNativeSeparators(path));
    return content;
}

bool DlgSignage::mayWriteConfig(const QString& path)
{
    if (signage::isWritable(path))
        return true;
    rvx::Ask::warning(this, tr("Rsyncd Configuration Unwritable"),
                      tr("RVX does not have write access to ") + QDir::toNativeSeparators(path) +
                          tr(" and therefore cannot update it.\n\nAllowing unprivileged users to update this "
                             "file would pose a "
                             "serious security risk, as it can potentially be configured to allow remote "
                             "read and write access "
                             "to any file on this server.\n\nPlease restart RVX with administrative "
                             "privileges (using sudo on "
                             "Linux or Mac OS, or right click and \"Run as administrator\" on Windows) if "
                             "you wish to add or "
                             "remove playlists (rsync modules) using RVX."));
    return false;
}

bool DlgSignage::writeConfig(const QString& path, const QByteArray& content)
{
    QString error;
    if (signage::writeWholeFile(path, content, &error)) {
        rvx::saves::succeeded(rvx::saves::Kind::RsyncConfiguration);
        return true;
    }
    rvx::saves::failed(rvx::saves::Kind::RsyncConfiguration, path, error);
    rvx::Ask::critical(this, tr("Rsyncd Configuration Unwritable"),
                       tr("Unable to write ") + QDir::toNativeSeparators(path) + QStringLiteral(":\n\n") +
                           error);
    return false;
}

// A remote rsync server must be given as a host name with an optional port; otherwise the
// administrator is told what is needed.
bool DlgSignage::serverUsable(const QString& server)
{
    if (!server.isEmpty() && isServerText(server))
        return true;
    rvx::Ask::warning(this, tr("No Server Selected"),
                      tr("A valid rsync server address must be specified if you choose not to use the local "
                         "RVX-managed rsync service.  This must be an rsync daemon providing unencrypted "
                         "access to content via a TCP port (usually 873), not an SSH server."));
    return false;
}

void DlgSignage::onListModulesClicked()
{
    if (ui->chbxUseBundledRsync->isChecked()) {
        if (const std::optional<QByteArray> content = readConfig(rvx::platform::rsyncdConfigPath()))
            showPlaylists(signage::playlists(*content));
        return;
    }
    const QString server = ui->tbxRsyncServer->text().trimmed();
    if (!serverUsable(server))
        return;
    const rvx::platform::ProcessResult result = rvx::platform::execute(
        rvx::platform::toolPath(rvx::platform::Tool::Rsync), signage::listArguments(server));
    if (!result.started) {
        rvx::Ask::critical(this, tr("List Playlists"), tr("Unable to start rsync (is it installed?)."));
        return;
    }
    const QStringList modules = signage::parseModules(result.output);
    if (modules.isEmpty()) {
        rvx::Ask::warning(
            this, tr("No Playlists Detected"),
            tr("The query to rsync server ") + server +
                tr(" yielded no results.\n\nPlease note that the server must be an rsync daemon "
                   "providing unencrypted access to content via a TCP port (usually 873), not an "
                   "SSH server.\n\nError messages were as follows:\n\n") +
                QString::fromLocal8Bit(result.errorOutput));
        return;
    }
    showPlaylists(modules);
}

void DlgSignage::onAddModuleClicked()
{
    const QString path = rvx::platform::rsyncdConfigPath();
    if (!mayWriteConfig(path))
        return;
    const QString folder = rvx::Ask::getExistingDirectory(
        this, tr("Select the folder containing Digital Signage content for the new playlist."), QString());
    if (folder.isEmpty())
        return;
    if (!signage::isUsableFolder(folder)) {
        rvx::Ask::warning(this, tr("Invalid Folder"), signage::folderRefusal(folder));
        return;
    }
    QString name;
    DlgGetText prompt(this, tr("Enter a name for the new playlist:"), name, 2);
    if (rvx::Ask::exec(&prompt) != QDialog::Accepted || name.isEmpty())
        return;
    const std::optional<QByteArray> content = readConfig(path);
    if (!content)
        return;
    QStringList existing = signage::playlists(*content);
    for (const QString& listed : listedPlaylists()) {
        if (!existing.contains(listed))
            existing << listed;
    }
    if (const std::optional<QString> problem = signage::playlistNameProblem(name, existing)) {
        rvx::Ask::warning(this, tr("Invalid Name"), *problem);
        return;
    }
    const QString modulePath =
        signage::modulePath(QDir::fromNativeSeparators(folder), signage::nativePathStyle());
    if (!writeConfig(path, signage::withSection(*content, name, modulePath)))
        return;
    const bool nothingChosen = chosenPlaylist().isEmpty();
    QComboBox* box = ui->cmbxRsyncModule;
    const int placeholder = box->findText(QString::fromLatin1(kPlaceholder));
    box->addItem(name);
    if (nothingChosen)
        box->setCurrentIndex(box->count() - 1);
    if (placeholder >= 0)
        box->removeItem(placeholder);
}

void DlgSignage::onRemoveModuleClicked()
{
    const QString name = chosenPlaylist();
    if (name.isEmpty())
        return;
    if (!rvx::Ask::confirm(this, tr("Remove Playlist"),
                           tr("Are you sure that you want to remove the currently selected playlist (") +
                               name + tr(")?\n\n") +
                               tr("(only the definition will be removed, no files will be deleted)"),
                           QMessageBox::No))
        return;
    const QString path = rvx::platform::rsyncdConfigPath();
    if (!mayWriteConfig(path))
        return;
    const std::optional<QByteArray> content = readConfig(path);
    if (!content)
        return;
    const QByteArray changed = signage::withoutSection(*content, name);
    if (changed != *content && !writeConfig(path, changed))
        return;
    QComboBox* box = ui->cmbxRsyncModule;
    box->removeItem(box->currentIndex());
    if (box->count() == 0)
        box->addItem(QString::fromLatin1(kPlaceholder));
}

void DlgSignage::accept()
{
    const bool local = ui->chbxUseBundledRsync->isChecked();
    const QString server = ui->tbxRsyncServer->text().trimmed();
    if (!local && !serverUsable(server))
        return;
    const QString playlist = chosenPlaylist();
    if (playlist.isEmpty()) {
        rvx::Ask::warning(
            this, tr("No Playlist Selected"),
            tr("You have not selected a playlist.  A playlist is required for every active Digital "
               "Signage display."));
        return;
    }
    m_values->source = signage::sourceUrl(local ? m_localServer : server, playlist);
    m_values->duration = QString::number(ui->sboxDuration->value());
    m_values->refresh = QString::number(ui->sboxRefreshInterval->value());
    m_values->resync = QString::number(ui->sboxSyncInterval->value());
    m_values->mute = ui->chbxMuteAudio->isChecked() ? QStringLiteral("yes") : QStringLiteral("no");
    QDialog::accept();
}
