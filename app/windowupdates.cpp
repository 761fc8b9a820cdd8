#include "windowupdates.h"

#include "ask.h"
#include "devicelists.h"
#include "dlgselectdownloads.h"
#include "dlgtextviewer.h"
#include "downloadmanager.h"
#include "proxysettings.h"
#include "sslserver.h"
#include "updaterules.h"
#include "windowcontext.h"
#include "windowsetup.h"

#include <QAction>
#include <QProgressBar>
#include <QStatusBar>

using rvx::Ask;

WindowUpdates::WindowUpdates(WindowContext& context, QList<QAction*> downloadActions,
                             VersionTable& latestFirmware, VersionTable& latestClient, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_downloadActions(std::move(downloadActions))
    , m_latestFirmware(latestFirmware)
    , m_latestClient(latestClient)
{
    m_check = new updates::UpdateCheck(*context.settings, *this, this);
}

WindowUpdates::~WindowUpdates()
{
    if (m_context.server)
        m_context.server->setProtectedFiles({});
    delete m_downloads;
}

void WindowUpdates::loadCachedCatalogue()
{
    m_check->loadCachedCatalogue();
}

void WindowUpdates::createDownloadManager()
{
    m_downloads = new DownloadManager;
    m_downloads->setProxy(updates::networkProxy(updates::readProxySettings(*m_context.settings)));
    connect(m_downloads, &DownloadManager::downloadProgress, m_check,
            &updates::UpdateCheck::onDownloadProgress);
    connect(m_downloads, &DownloadManager::downloadError, m_check,
            [this](const QString& error, bool interactive) {
                m_check->onDownloadError(error, interactive);
                // An invalid redirect ends the transfer with its error alone.
                if (!m_downloads->isBusy())
                    m_check->onTransferAbandoned(interactive);
            });
    connect(m_downloads, &DownloadManager::downloadCompleted, m_check,
            &updates::UpdateCheck::onDownloadCompleted);
    if (m_context.server)
        m_context.server->setProtectedFiles([this] { return protectedFiles(); });
}

QStringList WindowUpdates::protectedFiles() const
{
    // The catalogue has no digest: its file and ".part" file are never the agents' to write,
    // nor is whatever is being downloaded.
    const QString catalogue =
        updates::cataloguePath(updates::CatalogueFolders::fromSettings(*m_context.settings));
    QStringList files{catalogue, DownloadManager::partPath(catalogue)};
    if (m_downloads)
        files += m_downloads->transferPaths();
    return files;
}

void WindowUpdates::addProgressBar(QStatusBar* statusBar)
{
    m_progress = new QProgressBar(statusBar);
    m_progress->setObjectName(QStringLiteral("downloadProgress"));
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(200);
    m_progress->hide();
    statusBar->addPermanentWidget(m_progress);
}

void WindowUpdates::downloadUpdates(bool interactive)
{
    m_check->downloadUpdates(interactive);
}

void WindowUpdates::markNewsUnread()
{
    m_check->markNewsUnread();
}

bool WindowUpdates::handOverAtClose()
{
    return m_check->handOverAtClose();
}

int WindowUpdates::startDownload(const updates::DownloadRequest& r)
{
    if (!m_downloads)
        return -1;
    return m_downloads->start(r.baseUrl, r.remoteName, r.localPath, r.interactive, r.description,
                              r.expectedMd5);
}

void WindowUpdates::showStatus(const QString& text)
{
    m_context.showStatus(text);
}

void WindowUpdates::showProgress(int percent)
{
    if (!m_progress)
        return;
    m_progress->setVisible(percent >= 0);
    if (percent >= 0)
        m_progress->setValue(percent);
}

void WindowUpdates::showMessage(const updates::Message& message)
{
    switch (message.kind) {
    case updates::Message::Kind::Information:
        Ask::information(m_context.window, message.title, message.text);
        break;
    case updates::Message::Kind::Warning:
        Ask::warning(m_context.window, message.title, message.text);
        break;
    case updates::Message::Kind::Critical:
        Ask::critical(m_context.window, message.title, message.text);
        break;
    }
}

bool WindowUpdates::confirm(const QString& title, const QString& text)
{
    return Ask::confirm(m_context.window, title, text);
}

bool WindowUpdates::selectDownloads(updates::DownloadQueue& queue, QString& mirror,
                                    const QStringList& mirrors)
{
    DlgSelectDownloads dialog(m_context.window, queue, mirror, mirrors);
    return Ask::exec(&dialog) == QDialog::Accepted;
}

void WindowUpdates::showNews(const QString& title, const QString& text)
{
    DlgTextViewer viewer(m_context.window, title, text);
    Ask::exec(&viewer);
}

void WindowUpdates::setDownloadEnabled(bool enabled)
{
    for (QAction* action : qAsConst(m_downloadActions))
        action->setEnabled(enabled);
}

void WindowUpdates::latestVersionsChanged(const updates::LatestVersions& latest)
{
    m_latestFirmware = latest.firmware;
    m_latestClient = latest.client;
    if (m_context.lists)
        m_context.lists->refreshAll();
}

bool WindowUpdates::openUrl(const QUrl& url)
{
    return windowsetup::openUrl(url);
}
