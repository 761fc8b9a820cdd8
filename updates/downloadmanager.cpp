#include "downloadmanager.h"

#include "networkerrors.h"
#include "proxysettings.h"
#include "savefailures.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>

#include <memory>

namespace {

// The part file is re-read into the digest in blocks of this size.
constexpr qint64 HashBlock = 10240;

const char* const InvalidRedirect = "The downloads website redirected to a URL that is not valid";

// Where the body of a 206 starts: "bytes 1000-3999/4000" gives 1000; -1 when unreadable.
qint64 contentRangeStart(const QByteArray& value)
{
    const QByteArray v = value.trimmed();
    if (!v.startsWith("bytes "))
        return -1;
    const int dash = v.indexOf('-');
    if (dash < 0)
        return -1;
    bool ok = false;
    const qint64 start = v.mid(6, dash - 6).trimmed().toLongLong(&ok);
    return ok ? start : -1;
}

bool isWebScheme(const QString& scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// Deletes a file, or a link in its place (never what the link points to). True when nothing
// is left at the path.
bool removeEntry(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return QFile::remove(path);
}

qint64 fileSize(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.size() : 0;
}

} // namespace

DownloadManager::DownloadManager(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
}

DownloadManager::~DownloadManager()
{
    dropReply();
}

void DownloadManager::setProxy(const QNetworkProxy& proxy)
{
    m_network->setProxy(proxy);
}

QNetworkProxy DownloadManager::proxy() const
{
    return m_network->proxy();
}

QStringList DownloadManager::transferPaths() const
{
    if (!isBusy())
        return {};
    return {m_localPath, partPath(m_localPath)};
}

QString DownloadManager::partPath(const QString& localPath)
{
    return localPath + QLatin1String(".part");
}

int DownloadManager::start(const QString& baseUrl, const QString& remoteName, const QString& localPath,
                           bool interactive, const QString& description, const QString& expectedMd5)
{
    dropReply();
    ++m_transfer;
    m_baseUrl = baseUrl;
    m_remoteName = remoteName;
    m_localPath = localPath;
    m_interactive = interactive;
    m_description = description;
    m_expectedMd5 = expectedMd5;
    m_verify = !expectedMd5.isEmpty();
    m_errorCount = 0;
    m_lastPercent = 0;
    m_failed = false;
    m_writeFailed = false;
    m_redirects = 0;
    m_retriedFromZero = false;
    if (issue() != 0)
        return -1;
    emit downloadProgress(m_description, 0);
    return 0;
}

int DownloadManager::issue()
{
    m_hash.reset();
    m_body = Body::Undecided;
    m_resumeOffset = 0;

    const QUrl url(QString(m_baseUrl + m_remoteName), QUrl::TolerantMode);
    if (!url.isValid() || !isWebScheme(url.scheme()))
        return -1;
    m_request = QNetworkRequest(url);
    m_request.setRawHeader("Cache-Control", "no-cache");
    // Redirects are followed by the mirror's own rule, below.
    m_request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    if (!removeEntry(m_localPath))
        return -1;

    const QString part = partPath(m_localPath);
    // Unbuffered: a write that fails says so at once, and nothing waits in memory that a
    // crash would lose out of order.
    const QIODevice::OpenMode mode = QIODevice::ReadWrite | QIODevice::Unbuffered;
    // A link in place of the part file is removed, never followed.
    if (QFileInfo(part).isSymLink() && !QFile::remove(part))
        return -1;
    auto file = std::make_unique<QFile>(part);
    const QFileInfo partInfo(part);
    if (!partInfo.exists()) {
        if (!file->open(mode))
            return -1;
    } else {
        if (!partInfo.isFile())
            return -1;
        if (m_verify) {
            QFile existing(part);
            if (!existing.open(QIODevice::ReadOnly))
                return -1;
            while (!existing.atEnd()) {
                const QByteArray block = existing.read(HashBlock);
                if (block.isEmpty())
                    break;
                m_hash.addData(block);
            }
        }
        if (!file->open(mode | QIODevice::Append))
            return -1;
        m_resumeOffset = file->size();
        if (m_resumeOffset > 0)
            m_request.setRawHeader("Range", QByteArray("bytes=" + QByteArray::number(m_resumeOffset) + '-'));
    }
    m_written = m_resumeOffset;
    m_partFile = file.release();

    m_reply = m_network->get(m_request);
    connect(m_reply, &QNetworkReply::finished, this, &DownloadManager::onFinished);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &DownloadManager::onDownloadProgress);
    connect(m_reply, &QNetworkReply::errorOccurred, this, &DownloadManager::onError);
    return 0;
}

DownloadManager::Body DownloadManager::body()
{
    if (m_body != Body::Undecided)
        return m_body;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return Body::Undecided; // no answer yet
    const int code = status.toInt();
    const bool ranged = m_resumeOffset > 0;
    if (code == 200) {
        m_body = Body::Write;
        if (ranged) {
            // The server ignored the range and sends the whole file: start it again.
            m_hash.reset();
            m_resumeOffset = 0;
            m_written = 0;
            if (!m_partFile->resize(0)) {
                ++m_errorCount;
                m_failed = true;
                m_body = Body::Discard;
            }
        }
    } else if (code == 206 && ranged &&
               contentRangeStart(m_reply->rawHeader("Content-Range")) == m_resumeOffset) {
        m_body = Body::Write;
    } else if ((code == 416 || code == 206) && ranged && !m_retriedFromZero) {
        m_body = Body::RetryFromZero;
    } else {
        m_body = Body::Discard;
    }
    return m_body;
}

void DownloadManager::takeAvailableBytes()
{
    const Body disposition = body();
    if (disposition == Body::Undecided || m_reply->bytesAvailable() <= 0)
        return;
    const QByteArray data = m_reply->readAll();
    if (disposition != Body::Write || m_writeFailed)
        return;
    if (m_partFile->write(data) != data.size()) {
        writeFailed();
        return;
    }
    m_written += data.size();
    if (m_verify)
        m_hash.addData(data);
}

void DownloadManager::writeFailed()
{
    const QString part = partPath(m_localPath);
    const QString reason = m_partFile->errorString();
    m_writeFailed = true;
    m_failed = true;
    ++m_errorCount;
    m_body = Body::Discard;
    // A piece written in part would leave a hole once the transfer resumes after it.
    if (!m_partFile->resize(m_written)) {
        m_partFile->close();
        QFile::remove(part);
    }
    rvx::saves::failed(rvx::saves::Kind::Download, part, reason);
    if (!report(
            QString("Error downloading " + m_description + ":\n\nCould not write " + part + ": " + reason)))
        return;
    // The rest of the body is not wanted; the reply ends as the event loop gets to it.
    if (m_reply)
        QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

void DownloadManager::onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (sender() != m_reply)
        return;
    const quint64 transfer = m_transfer;
    takeAvailableBytes();
    if (transfer != m_transfer)
        return; // a slot of the write error started another transfer
    // A length of -1 or 0 is not known (a chunked answer); nothing is reported until it is.
    if (m_body != Body::Write || bytesTotal <= 0)
        return;
    const double done = static_cast<double>(m_resumeOffset + bytesReceived);
    const double total = static_cast<double>(m_resumeOffset + bytesTotal);
    const int percent = qBound(0, static_cast<int>(done / total * 100.0), 100);
    if (percent > m_lastPercent) {
        m_lastPercent = percent;
        emit downloadProgress(m_description, percent);
    }
}

void DownloadManager::onError(QNetworkReply::NetworkError code)
{
    if (sender() != m_reply || code == QNetworkReply::NoError)
        return;
    if (m_writeFailed)
        return; // told already; the reply was stopped on purpose
    if (body() == Body::RetryFromZero)
        return; // answered by asking again from zero when the reply ends
    // What arrived before a broken connection is still the file's.
    const quint64 transfer = m_transfer;
    takeAvailableBytes();
    if (transfer != m_transfer || m_writeFailed)
        return;
    ++m_errorCount;
    m_failed = true;
    int reported = code;
    if (viaHttpProxy() && !m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        reported = updates::proxyFailureCode(code, m_reply->errorString());
    // A closed connection is counted but not reported.
    if (reported == QNetworkReply::RemoteHostClosedError)
        return;
    emit downloadError(
        QString("Error downloading " + m_description + ":\n\n" + updates::networkErrorText(reported)),
        m_interactive);
}

void DownloadManager::onFinished()
{
    if (sender() != m_reply)
        return;
    const quint64 transfer = m_transfer;
    takeAvailableBytes();
    if (transfer != m_transfer)
        return;
    m_partFile->close();

    const Body disposition = body();
    if (disposition == Body::RetryFromZero) {
        restartFromZero();
        return;
    }
    const QVariant target = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (target.isValid()) {
        followRedirect(m_reply->url().resolved(target.toUrl()));
        return;
    }
    const QString part = partPath(m_localPath);
    if (!m_failed && disposition != Body::Write) {
        // An answer that is neither the file, an error nor a redirect (204, a 3xx without a
        // target, a 206 nobody asked for).
        ++m_errorCount;
        m_failed = true;
        if (!report(QString("Error downloading " + m_description + ":\n\n" +
                            updates::networkErrorText(QNetworkReply::ProtocolFailure))))
            return;
    }
    if (m_failed) {
        complete(fileSize(part));
        return;
    }
    if (m_verify && QString::fromLatin1(m_hash.result().toHex()) != m_expectedMd5) {
        // Corrupted data never takes the final name; the next start downloads from scratch.
        const qint64 size = fileSize(part);
        QFile::remove(part);
        ++m_errorCount;
        if (!report(
                QString("Downloaded " + m_description + " but got a checksum mismatch. Data is corrupted")))
            return;
        complete(size);
        return;
    }
    if (!QFile::rename(part, m_localPath)) {
        ++m_errorCount;
        if (!report(QString("Could not rename\n\n" + m_localPath + ".part\nto\n" + m_localPath)))
            return;
    } else {
        rvx::saves::succeeded(rvx::saves::Kind::Download);
    }
    complete(fileSize(m_localPath));
}

void DownloadManager::followRedirect(const QUrl& target)
{
    const QString text = target.toString(QUrl::FullyEncoded);
    const int at = text.indexOf(QLatin1String("?file="));
    const bool downgrade =
        m_reply->url().scheme() == QLatin1String("https") && target.scheme() != QLatin1String("https");
    if (at < 0 || ++m_redirects > MaxRedirects || !isWebScheme(target.scheme()) || downgrade) {
        dropReply();
        emit downloadError(QString::fromLatin1(InvalidRedirect), m_interactive);
        return;
    }
    dropReply();
    m_baseUrl = text.left(at + 6);
    if (issue() != 0) {
        ++m_errorCount;
        complete(fileSize(partPath(m_localPath)));
    }
}

void DownloadManager::restartFromZero()
{
    dropReply();
    m_retriedFromZero = true;
    const QString part = partPath(m_localPath);
    if (!QFile::remove(part) || issue() != 0) {
        ++m_errorCount;
        complete(fileSize(part));
    }
}

bool DownloadManager::report(const QString& text)
{
    const quint64 transfer = m_transfer;
    emit downloadError(text, m_interactive);
    return transfer == m_transfer;
}

void DownloadManager::complete(qint64 bytesInFile)
{
    dropReply();
    emit downloadCompleted(m_errorCount, bytesInFile, m_interactive);
}

void DownloadManager::dropReply()
{
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }
    if (m_partFile) {
        m_partFile->close();
        delete m_partFile;
        m_partFile = nullptr;
    }
}

bool DownloadManager::viaHttpProxy() const
{
    QNetworkProxy proxy = m_network->proxy();
    if (proxy.type() == QNetworkProxy::DefaultProxy) {
        // The application's proxy, as it applies to this address (it skips loopback).
        const QList<QNetworkProxy> proxies =
            QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(m_request.url()));
        proxy = proxies.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxies.first();
    }
    return proxy.type() == QNetworkProxy::HttpProxy;
}
