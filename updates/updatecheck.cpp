#include "updatecheck.h"

#include "audit.h"
#include "platform.h"

#include <QFile>
#include <QSettings>

namespace updates {

namespace {

const QLatin1String UpdateServerKey("updateServer");
const QLatin1String LastViewedNewsKey("lastViewedNewsItem");
const QLatin1String PlatformKey("platform");

} // namespace

template <typename F>
auto UpdateCheck::modal(F call) -> decltype(call())
{
    struct Depth
    {
        int& depth;
        explicit Depth(int& d)
            : depth(d)
        {
            ++depth;
        }
        ~Depth() { --depth; }
    } depth(m_modalDepth);
    return call();
}

UpdateCheck::UpdateCheck(QSettings& settings, UpdateCheckHost& host, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_host(host)
    , m_updateServer(settings.value(UpdateServerKey).toString())
{
    connect(&m_unpacker, &Unpacker::unpackStarted, this,
            [this](const QString& text) { m_host.showStatus(text); });
    connect(&m_unpacker, &Unpacker::unpackFinished, this, &UpdateCheck::onUnpackFinished);
}

UpdateCheck::~UpdateCheck() = default;

CatalogueFolders UpdateCheck::folders() const
{
    return CatalogueFolders::fromSettings(m_settings);
}

quint64 UpdateCheck::lastViewedNews() const
{
    return m_settings.value(LastViewedNewsKey, 0).toULongLong();
}

QString UpdateCheck::platform() const
{
    const QString stored = m_settings.value(PlatformKey).toString();
    return stored.isEmpty() ? rvx::platform::platformName() : stored;
}

void UpdateCheck::report(bool interactive, const QString& title, const QString& text)
{
    if (interactive)
        modal([&] { m_host.showMessage({Message::Kind::Critical, title, text}); });
    else
        m_host.showStatus(text);
}

void UpdateCheck::loadCachedCatalogue()
{
    Catalogue catalogue;
    if (!parseCatalogueFile(cataloguePath(folders()), folders(), lastViewedNews(), &catalogue))
        return;
    const LatestVersions before = m_latest;
    raise(m_latest, catalogue.versions);
    if (!m_running) {
        m_queue = catalogue.entries;
        keepNewsOnly(m_queue);
    }
    if (m_latest != before)
        m_host.latestVersionsChanged(m_latest);
}

bool UpdateCheck::downloadUpdates(bool interactive)
{
    if (m_modalDepth > 0)
        return false;
    if (m_running && m_alive) {
        m_alive = false;
        return false;
    }

    if (interactive)
        modal([&] { m_host.showMessage(checkStartNotice()); });
    m_host.showStatus(checkingStatus());
    m_host.setDownloadEnabled(false);
    m_queue.clear();
    m_running = true;
    m_interactive = interactive;
    m_alive = false;
    m_waitingForUnpack = false; // an unpack still running belongs to the check replaced

    const QString mirror = m_settings.value(UpdateServerKey).toString();
    if (m_host.startDownload(catalogueRequest(mirror, folders(), interactive)) != 0) {
        // Nothing will be reported for a download that did not start: end the check here.
        report(interactive, nothingReceivedTitle(), nothingReceivedText());
        finishCheck();
    }
    return true;
}

void UpdateCheck::markNewsUnread()
{
    if (modal([&] { return m_host.confirm(markNewsUnreadTitle(), markNewsUnreadQuestion()); }))
        m_settings.setValue(LastViewedNewsKey, 0);
}

bool UpdateCheck::handOverAtClose()
{
    if (!m_pending.upgrade)
        return false;
    modal([&] { m_host.showMessage(installNotice()); });
    if (m_host.openUrl(installerUrl(m_pending.installer))) {
        requestOptionsAtNextStart(m_settings);
        return true;
    }
    modal([&] { m_host.showMessage(installFailed(m_pending.installer)); });
    return false;
}

void UpdateCheck::onDownloadProgress(const QString& description, int percent)
{
    m_alive = true;
    m_host.showStatus(progressText(description, percent));
    m_host.showProgress(percent);
}

void UpdateCheck::onDownloadError(const QString& error, bool interactive)
{
    m_alive = true;
    if (!interactive) {
        m_host.showStatus(error);
        return;
    }
    if (modal([&] { return m_host.confirm(downloadErrorTitle(), resetMirrorQuestion(error)); }))
        m_settings.setValue(UpdateServerKey, defaultMirrorUrl());
    m_host.showStatus(QString());
}

void UpdateCheck::onTransferAbandoned(bool interactive)
{
    m_alive = true;
    m_host.showProgress(-1);
    if (!m_running)
        return;
    if (m_queue.isEmpty()) {
        finishCheck();
        return;
    }
    m_queue.removeFirst();
    startNext(interactive);
}

void UpdateCheck::onDownloadCompleted(int errorCount, qint64 bytesInFile, bool interactive)
{
    m_alive = true;
    m_host.showProgress(-1);
    switch (classifyCompletion(errorCount, bytesInFile, m_queue)) {
    case Completion::NothingReceived:
        report(interactive, nothingReceivedTitle(), nothingReceivedText());
        if (m_queue.isEmpty()) {
            QFile::remove(cataloguePath(folders()));
        } else {
            QFile::remove(m_queue.first().localPath);
            m_queue.removeFirst();
        }
        startNext(interactive);
        return;
    case Completion::CatalogueFailed:
        finishCheck();
        return;
    case Completion::Retry: {
        const UpgradeFile& entry = m_queue.first();
        if (m_host.startDownload(entryRequest(m_updateServer, entry, interactive)) == 0)
            return;
        report(interactive, downloadErrorTitle(), retryNotStartedText(entry.comment));
        m_queue.removeFirst();
        startNext(interactive);
        return;
    }
    case Completion::GiveUp:
        report(interactive, downloadErrorTitle(), gaveUpText(m_queue.first().comment));
        m_queue.removeFirst();
        startNext(interactive);
        return;
    case Completion::CatalogueArrived:
        m_host.showStatus(QString());
        parseCatalogue(interactive);
        if (interactive && m_queue.isEmpty()) {
            modal([&] { m_host.showMessage(noUpdatesSelected()); });
            finishCheck();
            return;
        }
        startNext(interactive);
        return;
    case Completion::EntryArrived: {
        m_host.showStatus(QString());
        const UpgradeFile entry = m_queue.takeFirst();
        handOn(entry, interactive);
        if (!m_waitingForUnpack)
            startNext(interactive);
        return;
    }
    }
}

bool UpdateCheck::parseCatalogue(bool interactive)
{
    Catalogue catalogue;
    if (!parseCatalogueFile(cataloguePath(folders()), folders(), lastViewedNews(), &catalogue))
        return false;
    const LatestVersions before = m_latest;
    raise(m_latest, catalogue.versions);
    m_queue = catalogue.entries;
    if (m_latest != before)
        m_host.latestVersionsChanged(m_latest);
    if (m_queue.isEmpty())
        return true;
    if (interactive) {
        const bool accepted =
            modal([&] { return m_host.selectDownloads(m_queue, m_updateServer, catalogue.mirrors); });
        if (!accepted)
            keepNewsOnly(m_queue);
        m_settings.setValue(UpdateServerKey, m_updateServer);
    } else {
        keepNewsOnly(m_queue);
    }
    return true;
}

void UpdateCheck::handOn(const UpgradeFile& entry, bool interactive)
{
    switch (dispositionOf(entry, platform())) {
    case Disposition::Unpack:
        // The next download starts once the archive is unpacked and its box dismissed.
        m_waitingForUnpack = true;
        m_unpacker.unpack(entry.localPath, entry.comment, entry.type);
        return;
    case Disposition::SelfUpdate:
        m_pending.installer = entry.localPath;
        m_pending.upgrade = isUpgrade(entry.localPath);
        modal([&] { m_host.showMessage(selfUpdateOffer(entry.comment, m_pending.upgrade)); });
        return;
    case Disposition::News:
        showNewsItem(entry);
        return;
    case Disposition::Download:
        if (interactive)
            modal([&] { m_host.showMessage(downloadedMessage(entry.localPath)); });
        return;
    }
}

void UpdateCheck::showNewsItem(const UpgradeFile& entry)
{
    QFile file(entry.localPath);
    if (!file.open(QIODevice::ReadOnly)) {
        modal([&] { m_host.showMessage(newsOpenError(entry.localPath)); });
        return;
    }
    const QString text = newsText(file.readAll());
    file.close();
    modal([&] { m_host.showNews(newsViewerTitle(entry), text); });
    logEvent(newsViewedSentence(entry));
    QFile::remove(entry.localPath);
    m_settings.setValue(LastViewedNewsKey,
                        QVariant::fromValue(lastViewedAfterShowing(lastViewedNews(), entry)));
}

void UpdateCheck::onUnpackFinished(const UnpackResult& result)
{
    m_alive = true;
    modal([&] { m_host.showMessage(result.message()); });
    m_host.showStatus(QString());
    if (m_waitingForUnpack) {
        m_waitingForUnpack = false;
        startNext(m_interactive);
    }
}

void UpdateCheck::startNext(bool interactive)
{
    if (m_queue.isEmpty()) {
        finishCheck();
        return;
    }
    const UpgradeFile& entry = m_queue.first();
    if (m_host.startDownload(entryRequest(m_updateServer, entry, interactive)) != 0) {
        report(interactive, downloadErrorTitle(), nextNotStartedText(entry.comment));
        finishCheck();
    }
}

void UpdateCheck::finishCheck()
{
    m_running = false;
    m_host.showProgress(-1);
    m_host.setDownloadEnabled(true);
}

} // namespace updates
