#include "unpack.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QRegularExpression>

namespace updates {

namespace {

const QLatin1String EntriesSeparator("----------");

// A Unix mode string as 7-Zip prints it: "drwxr-xr-x", "lrwxrwxrwx", "-rw-r--r--".
bool isUnixMode(const QString& token)
{
    static const QRegularExpression mode(QStringLiteral("^[-dlcbps][-rwxsStT]{9}$"));
    return mode.match(token).hasMatch();
}

// Windows attribute letters as 7-Zip prints them ("A", "D", "RHSA", ...).
bool isWindowsAttributes(const QString& token)
{
    static const QRegularExpression letters(QStringLiteral("^[RHS8DAdNTsLCOIEV]+$"));
    return letters.match(token).hasMatch();
}

ArchiveEntry entryFrom(const QHash<QString, QString>& block)
{
    ArchiveEntry entry;
    entry.path = block.value(QStringLiteral("Path"));
    entry.folder = block.value(QStringLiteral("Folder")) == QLatin1String("+");
    for (const char* key : {"Symbolic Link", "Hard Link", "Link"}) {
        if (!block.value(QLatin1String(key)).isEmpty())
            entry.link = true;
    }
    // Anything but a plain file or a folder (a link, a device, a pipe) counts as a link:
    // none of them belongs in a store.
    QStringList modes = block.value(QStringLiteral("Attributes")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    modes << block.value(QStringLiteral("Mode"));
    for (const QString& token : qAsConst(modes)) {
        if (isUnixMode(token)) {
            if (token.at(0) == QLatin1Char('d'))
                entry.folder = true;
            else if (token.at(0) != QLatin1Char('-'))
                entry.link = true;
        } else if (isWindowsAttributes(token)) {
            if (token.contains(QLatin1Char('D')))
                entry.folder = true;
            if (token.contains(QLatin1Char('L'))) // a reparse point
                entry.link = true;
        }
    }
    return entry;
}

} // namespace

rvx::platform::ProcessCall listCommand(const QString& archivePath)
{
    return {rvx::platform::toolPath(rvx::platform::Tool::SevenZip),
            {QStringLiteral("l"), QStringLiteral("-slt"), QDir::toNativeSeparators(archivePath)},
            false};
}

rvx::platform::ProcessCall extractCommand(const QString& archivePath)
{
    const QString folder = QFileInfo(QDir::fromNativeSeparators(archivePath)).path();
    return {rvx::platform::toolPath(rvx::platform::Tool::SevenZip),
            {QStringLiteral("x"), QDir::toNativeSeparators(archivePath),
             QStringLiteral("-o") + QDir::toNativeSeparators(folder), QStringLiteral("-r"),
             QStringLiteral("-y"), QStringLiteral("-aoa")},
            false};
}

ArchiveListing parseListing(const QByteArray& output)
{
    ArchiveListing listing;
    const QStringList lines = QString::fromLocal8Bit(output).split(QLatin1Char('\n'));
    int i = 0;
    while (i < lines.size() && lines.at(i).trimmed() != EntriesSeparator)
        ++i;
    if (i == lines.size())
        return listing;

    listing.readable = true;
    QHash<QString, QString> block;
    const auto endBlock = [&] {
        if (block.isEmpty())
            return;
        if (!block.contains(QStringLiteral("Path")))
            listing.readable = false;
        listing.entries.append(entryFrom(block));
        block.clear();
    };
    for (++i; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed() == EntriesSeparator) {
            endBlock();
            continue;
        }
        // "Key = value", or "Key =" for an empty value. Anything else (a name broken across
        // lines, a message) makes the listing unreadable.
        QString key;
        QString value;
        const int eq = line.indexOf(QLatin1String(" = "));
        if (eq > 0) {
            key = line.left(eq);
            value = line.mid(eq + 3);
        } else if (line.endsWith(QLatin1String(" ="))) {
            key = line.left(line.size() - 2);
        } else {
            listing.readable = false;
            continue;
        }
        if (block.contains(key)) // a second value for a key: a line break inside a name
            listing.readable = false;
        block.insert(key, value);
    }
    endBlock();
    return listing;
}

QString entryRefusal(const ArchiveEntry& entry)
{
    const QString& path = entry.path;
    if (path.isEmpty())
        return QStringLiteral("an entry without a name");
    if (path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')) ||
        (path.size() >= 2 && path.at(1) == QLatin1Char(':')))
        return QStringLiteral("absolute path: ") + path;
    const QStringList steps = path.split(QRegularExpression(QStringLiteral("[/\\\\]")));
    if (steps.contains(QStringLiteral("..")))
        return QStringLiteral("leaves the folder: ") + path;
    if (entry.link)
        return QStringLiteral("link: ") + path;
    return QString();
}

QString listingRefusal(const ArchiveListing& listing)
{
    if (!listing.readable)
        return QStringLiteral("the archive's listing could not be read");
    for (const ArchiveEntry& entry : listing.entries) {
        const QString refusal = entryRefusal(entry);
        if (!refusal.isEmpty())
            return refusal;
    }
    return QString();
}

QString unpackingStatus(const QString& description)
{
    return QStringLiteral("Online updates: unpacking ") + description;
}

Message unpackedMessage(const QString& description)
{
    return {Message::Kind::Information, QStringLiteral("Unpack Update"),
            description +
                QStringLiteral(" has been downloaded to this system.You can now install it on devices.")};
}

Message unpackFailedMessage(const QString& description)
{
    return {Message::Kind::Warning, QStringLiteral("Unpack Update"),
            description + QStringLiteral(" has been downloaded, but an attempt to unpack it has failed.")};
}

Message UnpackResult::message() const
{
    return unpacked() ? unpackedMessage(description) : unpackFailedMessage(description);
}

Unpacker::Unpacker(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<updates::UnpackResult>();
}

Unpacker::~Unpacker() = default;

void Unpacker::unpack(const QString& archivePath, const QString& description, const QString& type)
{
    UnpackResult job;
    job.archivePath = archivePath;
    job.description = description;
    job.type = type;
    m_jobs.append(job);
    startNext();
}

void Unpacker::startNext()
{
    if (m_busy || m_jobs.isEmpty())
        return;
    m_current = m_jobs.takeFirst();
    m_busy = true;
    emit unpackStarted(unpackingStatus(m_current.description));
    const rvx::platform::ProcessCall list = listCommand(m_current.archivePath);
    rvx::platform::startProcess(list.program, list.arguments, this,
                                [this](const rvx::platform::ProcessResult& r) { onListed(r); });
}

void Unpacker::onListed(const rvx::platform::ProcessResult& result)
{
    if (!result.started) {
        finish(UnpackResult::Outcome::NotStarted);
        return;
    }
    if (result.exitCode != 0) {
        finish(UnpackResult::Outcome::Refused, result.exitCode,
               QStringLiteral("the archive could not be listed"));
        return;
    }
    const QString refusal = listingRefusal(parseListing(result.output));
    if (!refusal.isEmpty()) {
        finish(UnpackResult::Outcome::Refused, result.exitCode, refusal);
        return;
    }
    const rvx::platform::ProcessCall extract = extractCommand(m_current.archivePath);
    rvx::platform::startProcess(extract.program, extract.arguments, this,
                                [this](const rvx::platform::ProcessResult& r) { onExtracted(r); });
}

void Unpacker::onExtracted(const rvx::platform::ProcessResult& result)
{
    if (!result.started)
        finish(UnpackResult::Outcome::NotStarted);
    else if (result.exitCode == 0)
        finish(UnpackResult::Outcome::Unpacked, 0);
    else
        finish(UnpackResult::Outcome::Failed, result.exitCode);
}

void Unpacker::finish(UnpackResult::Outcome outcome, int exitCode, const QString& refusal)
{
    UnpackResult done = m_current;
    done.outcome = outcome;
    done.exitCode = exitCode;
    done.refusal = refusal;
    m_current = UnpackResult();
    m_busy = false;
    const QPointer<Unpacker> alive(this); // a receiver may close the window
    emit unpackFinished(done);
    if (alive)
        startNext();
}

} // namespace updates
