#include "rvxdb.h"

#include "deviceblock.h"
#include "wire.h"

#include "safefile.h"
#include "savefailures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

const char kLastSeenFile[] = "last_seen.csv";
constexpr int kCacheEntries = 30;
constexpr int kRetryIntervalMs = 5000;
constexpr qint64 kUnsavedBudget = 64 * 1024 * 1024;

bool isSerialChar(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.' ||
           u == '_' || u == ':' || u == '-';
}

// Names Windows reserves for devices whatever their extension ("CON.txt" is the console).
bool isReservedDeviceName(const QString& serial)
{
    const QString base = serial.section(QLatin1Char('.'), 0, 0).toUpper();
    static const QStringList reserved = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                         QStringLiteral("NUL")};
    if (reserved.contains(base))
        return true;
    return base.size() == 4 &&
           (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))) &&
           base.at(3) >= QLatin1Char('1') && base.at(3) <= QLatin1Char('9');
}

// The serial number text of a stored information block (up to 37 bytes, NUL-terminated).
QString blockSerial(const QByteArray& block)
{
    return QString::fromLatin1(
        wire::cText(block.mid(deviceblock::SerialNumberOffset, deviceblock::SerialNumberSize)));
}

} // namespace

rvxDB::rvxDB(const QString& databaseDir, QObject* parent)
    : QObject(parent)
    , m_dir(databaseDir)
{
    while (m_dir.size() > 1 && (m_dir.endsWith(QLatin1Char('/')) || m_dir.endsWith(QLatin1Char('\\'))))
        m_dir.chop(1);
    m_cache.setMaxCost(kCacheEntries);
    m_retryTimer = new QTimer(this);
    m_retryTimer->setInterval(kRetryIntervalMs);
    connect(m_retryTimer, &QTimer::timeout, this, &rvxDB::retryUnsaved);
    readLastSeen();
}

rvxDB::~rvxDB()
{
    checkpoint();
}

bool rvxDB::isValidSerial(const QString& serial)
{
    if (serial.isEmpty() || serial == QLatin1String(".") || serial.contains(QLatin1String("..")))
        return false;
    if (!std::all_of(serial.cbegin(), serial.cend(), isSerialChar))
        return false;
    return !isReservedDeviceName(serial);
}

// S: the serial upper-cased with every ":" turned into "-".
QString rvxDB::fileBaseName(const QString& serial)
{
    return serial.toUpper().replace(QLatin1Char(':'), QLatin1Char('-'));
}

// XY: the last two characters of the upper-cased serial (the only one of a one-character
// serial). They are taken after ":" became "-", since ":" cannot be part of a folder name
// everywhere; for every other serial this is the same folder.
QString rvxDB::subFolder(const QString& serial)
{
    return fileBaseName(serial).right(2);
}

// A serial names files only when it is valid and there is a database folder (an empty
// folder setting must not put files at the root of the file system).
bool rvxDB::usable(const QString& serial) const
{
    return !m_dir.isEmpty() && isValidSerial(serial);
}

QString rvxDB::filePath(const QString& serial, const char* suffix) const
{
    if (!usable(serial))
        return QString();
    return m_dir + QLatin1Char('/') + subFolder(serial) + QLatin1Char('/') + fileBaseName(serial) +
           QLatin1String(suffix);
}

QString rvxDB::configPath(const QString& serial) const
{
    return filePath(serial, ".txt");
}

QString rvxDB::statePath(const QString& serial) const
{
    return filePath(serial, ".st");
}

bool rvxDB::makeSubFolder(const QString& serial) const
{
    return QDir().mkpath(m_dir + QLatin1Char('/') + subFolder(serial));
}

// ---- configuration texts ------------------------------------------------------------
// The cache is keyed by the file name, so spellings of one serial that name the same file
// ("ab:1" and "AB-1") share one entry and never see each other's stale text.

QByteArray rvxDB::loadConfig(const QString& serial)
{
    if (!usable(serial))
        return QByteArray();
    const QString key = fileBaseName(serial);
    const QString path = configPath(serial);
    // A text whose write failed is newer than the file.
    const auto unsaved = m_unsaved.constFind(path);
    if (unsaved != m_unsaved.constEnd())
        return unsaved->data;
    if (const QByteArray* cached = m_cache.object(key))
        return *cached;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray text = file.readAll();
    m_cache.insert(key, new QByteArray(text), 1);
    m_configDigest.insert(key, digest(text.constData(), text.size()));
    return text;
}

bool rvxDB::saveConfig(const QString& serial, const QByteArray& text)
{
    if (!usable(serial) || text.isEmpty())
        return false;
    const QString key = fileBaseName(serial);
    const QByteArray before = m_configDigest.value(key);
    if (!replaceUnlessSame(true, key, configPath(serial), text)) {
        // The cache must not claim a text the disk does not hold (the text is kept for the
        // retry, and loadConfig gives it meanwhile).
        m_cache.remove(key);
        emit configChanged(serial);
        return false;
    }
    m_cache.insert(key, new QByteArray(text), 1);
    if (before.isEmpty() || m_configDigest.value(key) != before)
        emit configChanged(serial);
    return true;
}

bool rvxDB::deleteConfig(const QString& serial)
{
    if (!usable(serial))
        return false;
    m_cache.remove(fileBaseName(serial));
    m_configDigest.remove(fileBaseName(serial));
    forgetUnsaved(configPath(serial));
    emit configChanged(serial);
    return removeIfPresent(configPath(serial));
}

QByteArray rvxDB::digest(const char* data, int length)
{
    return QCryptographicHash::hash(QByteArray::fromRawData(data, length), QCryptographicHash::Md5);
}

bool rvxDB::replaceUnlessSame(bool config, const QString& key, const QString& path, const QByteArray& data)
{
    QHash<QString, QByteArray>& digests = config ? m_configDigest : m_stateDigest;
    const QByteArray sum = digest(data.constData(), data.size());
    auto known = digests.constFind(key);
    if (known != digests.constEnd()) {
        // The file may have been removed behind our back: only a file that is there is kept.
        if (known.value() == sum && QFileInfo::exists(path)) {
            noteWrite(key, config, path, data, true, QString());
            return true;
        }
        digests.remove(key);
    } else {
        // Not read or written during this run: reading costs less than replacing.
        QFile file(path);
        if (file.size() == data.size() && file.open(QIODevice::ReadOnly) && file.readAll() == data) {
            digests.insert(key, sum);
            noteWrite(key, config, path, data, true, QString());
            return true;
        }
    }
    QString error;
    bool written = makeSubFolder(key);
    if (!written)
        error = QStringLiteral("its folder could not be created");
    else
        written = writeFileAtomic(path, data, &error);
    if (written)
        digests.insert(key, sum);
    noteWrite(key, config, path, data, written, error);
    return written;
}

void rvxDB::forgetUnsaved(const QString& path)
{
    const auto it = m_unsaved.find(path);
    if (it == m_unsaved.end())
        return;
    m_unsavedBytes -= it->data.size();
    m_unsaved.erase(it);
}

void rvxDB::noteWrite(const QString& key, bool config, const QString& path, const QByteArray& data,
                      bool written, const QString& error)
{
    // Whatever was kept for the file is older than what was just written or asked for.
    forgetUnsaved(path);
    if (!written) {
        if (m_unsavedBytes + data.size() <= kUnsavedBudget) {
            m_unsaved.insert(path, Unsaved{key, config, data});
            m_unsavedBytes += data.size();
        }
        rvx::saves::failed(rvx::saves::Kind::History, path, error);
        if (!m_retryTimer->isActive())
            m_retryTimer->start();
        return;
    }
    if (m_retrying)
        return;
    if (!m_unsaved.isEmpty())
        retryHistory(); // space may have returned
    else
        rvx::saves::succeeded(rvx::saves::Kind::History);
}

bool rvxDB::retryHistory()
{
    if (m_retrying)
        return false;
    m_retrying = true;
    bool ok = true;
    for (auto it = m_unsaved.begin(); it != m_unsaved.end();) {
        const Unsaved& u = it.value();
        if (!makeSubFolder(u.key) || !writeFileAtomic(it.key(), u.data)) {
            ok = false; // still no space: the rest waits for the next try
            break;
        }
        (u.config ? m_configDigest : m_stateDigest).insert(u.key, digest(u.data.constData(), u.data.size()));
        m_unsavedBytes -= u.data.size();
        it = m_unsaved.erase(it);
    }
    m_retrying = false;
    if (m_unsaved.isEmpty()) {
        m_unsavedBytes = 0;
        rvx::saves::succeeded(rvx::saves::Kind::History);
    }
    return ok;
}

bool rvxDB::retryUnsaved()
{
    bool ok = retryHistory();
    // The last-seen table is tried again here only: it is rewritten whole.
    if (ok && m_lastSeenUnsaved)
        ok = checkpoint();
    if (ok)
        m_retryTimer->stop();
    return ok && m_unsaved.isEmpty();
}

void rvxDB::setRetryInterval(int milliseconds)
{
    m_retryTimer->setInterval(milliseconds);
}

bool rvxDB::isCached(const QString& serial) const
{
    return isValidSerial(serial) && m_cache.contains(fileBaseName(serial));
}

// ---- information blocks -------------------------------------------------------------

bool rvxDB::saveState(const QString& serial, const char* data, int length)
{
    if (!usable(serial) || data == nullptr || length <= 0)
        return false;
    return replaceUnlessSame(false, fileBaseName(serial), statePath(serial), QByteArray(data, length));
}

QList<QByteArray> rvxDB::loadAllStates()
{
    QList<QByteArray> blocks;
    if (m_dir.isEmpty())
        return blocks;
    const QDir root(m_dir);
    // Serials may begin with "." (a hidden name on some systems): list hidden entries too.
    const QStringList folders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& folder : folders) {
        const QDir sub(root.filePath(folder));
        // The pattern leaves out the temporary files of interrupted writes (".S.st.XXXXXX.tmp").
        const QStringList files = sub.entryList({QStringLiteral("*.st")}, QDir::Files | QDir::Hidden);
        for (const QString& name : files) {
            if (!name.endsWith(QLatin1String(".st")))
                continue; // the pattern ignores case on some systems
            QFile file(sub.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray block = file.readAll();
            // A crash while writing may leave an empty or partial block behind: without a
            // valid serial number it names no device.
            if (!isValidSerial(blockSerial(block)))
                continue;
            m_stateDigest.insert(name.left(name.size() - 3), digest(block.constData(), block.size()));
            blocks.append(block);
        }
    }
    return blocks;
}

bool rvxDB::deleteState(const QString& serial)
{
    if (!usable(serial))
        return false;
    m_stateDigest.remove(fileBaseName(serial));
    forgetUnsaved(statePath(serial));
    return removeIfPresent(statePath(serial));
}

bool rvxDB::removeIfPresent(const QString& path)
{
    QFile file(path);
    return !file.exists() || file.remove();
}

// ---- last-seen table ----------------------------------------------------------------

qint64 rvxDB::lastSeen(const QString& serial) const
{
    return m_lastSeen.value(serial, 0);
}

void rvxDB::setLastSeen(const QString& serial, qint64 seconds)
{
    if (!isValidSerial(serial) || seconds < 0)
        return;
    m_lastSeen.insert(serial, seconds);
    m_removed.remove(serial);
}

void rvxDB::removeLastSeen(const QString& serial)
{
    m_lastSeen.remove(serial);
    m_removed.insert(serial);
}

// Lines of "serial,seconds". A line without exactly two fields, with a time that is not an
// unsigned decimal number or with an unusable serial is skipped; spaces around the serial
// are dropped; a later line for the same serial replaces an earlier one. Only serials the
// table does not hold yet are taken when `onlyMissing` is set.
QHash<QString, qint64> rvxDB::parseLastSeen(const QByteArray& text)
{
    const QList<QByteArray> lines = text.split('\n');
    QHash<QString, qint64> read;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> parts = line.split(',');
        if (parts.size() != 2)
            continue;
        const QByteArray digits = parts.at(1).trimmed();
        if (digits.isEmpty() ||
            !std::all_of(digits.cbegin(), digits.cend(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        bool ok = false;
        const qulonglong seconds = digits.toULongLong(&ok, 10);
        if (!ok || seconds > qulonglong(std::numeric_limits<qint64>::max()))
            continue;
        const QString serial = QString::fromLatin1(parts.at(0).trimmed());
        if (!isValidSerial(serial))
            continue;
        read.insert(serial, qint64(seconds));
    }
    return read;
}

bool rvxDB::mergeLastSeenFile(bool onlyMissing)
{
    if (m_dir.isEmpty())
        return false;
    QFile file(m_dir + QLatin1Char('/') + QLatin1String(kLastSeenFile));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QHash<QString, qint64> read = parseLastSeen(file.readAll());
    for (auto it = read.cbegin(); it != read.cend(); ++it) {
        if (onlyMissing && (m_lastSeen.contains(it.key()) || m_removed.contains(it.key())))
            continue;
        m_lastSeen.insert(it.key(), it.value());
    }
    return true;
}

void rvxDB::readLastSeen()
{
    // A table file that exists but cannot be read now must not be replaced by what this
    // run learns alone: checkpoint() merges it in once it can be read.
    m_unreadLastSeen = !mergeLastSeenFile(false) &&
                       QFileInfo::exists(m_dir + QLatin1Char('/') + QLatin1String(kLastSeenFile));
}

QByteArray rvxDB::lastSeenText() const
{
    QStringList serials = m_lastSeen.keys();
    std::sort(serials.begin(), serials.end());
    QByteArray text;
    text.reserve(serials.size() * 24);
    for (const QString& serial : qAsConst(serials)) {
        text += serial.toLatin1();
        text += ',';
        text += QByteArray::number(m_lastSeen.value(serial));
        text += '\n';
    }
    return text;
}

bool rvxDB::checkpoint()
{
    if (m_dir.isEmpty())
        return false;
    if (m_unreadLastSeen) {
        if (!mergeLastSeenFile(true))
            return false; // still unreadable: keep it rather than lose its times
        m_unreadLastSeen = false;
    }
    const QString path = m_dir + QLatin1Char('/') + QLatin1String(kLastSeenFile);
    QString error;
    bool written = QDir().mkpath(m_dir);
    if (!written)
        error = QStringLiteral("its folder could not be created");
    else
        written = writeFileAtomic(path, lastSeenText(), &error);
    m_lastSeenUnsaved = !written;
    if (written) {
        rvx::saves::succeeded(rvx::saves::Kind::LastSeen);
        return true;
    }
    rvx::saves::failed(rvx::saves::Kind::LastSeen, path, error);
    if (!m_retryTimer->isActive())
        m_retryTimer->start();
    return false;
}
