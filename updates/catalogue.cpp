#include "catalogue.h"

#include "configlib.h"
#include "settingskeys.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>

namespace updates {

namespace {

// Every character a decimal digit, at least one, and no overflow.
bool parseUnsigned(const QString& text, quint64* value)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    *value = text.toULongLong(&ok, 10);
    return ok;
}

// The value of a field that must start with `prefix`; false when it does not.
bool fieldValue(const QString& field, const char* prefix, QString* value)
{
    const QLatin1String p(prefix);
    if (!field.startsWith(p))
        return false;
    *value = field.mid(p.size());
    return true;
}

// Reads decimal digits at `pos` (at least one); the value keeps its low 8 bits.
bool readNumber(const QString& text, int* pos, quint32* value)
{
    const int start = *pos;
    quint32 v = 0;
    while (*pos < text.size() && text.at(*pos).isDigit() && text.at(*pos).unicode() < 128) {
        v = v * 10 + static_cast<quint32>(text.at(*pos).unicode() - '0');
        ++*pos;
    }
    *value = v & 0xFF;
    return *pos > start;
}

QString nativePath(const QString& folder, const QString& name)
{
    return QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
}

} // namespace

void raise(LatestVersions& into, const LatestVersions& seen)
{
    for (int i = 0; i < FirmwareTypeCount; ++i) {
        into.firmware[i] = qMax(into.firmware[i], seen.firmware[i]);
        into.client[i] = qMax(into.client[i], seen.client[i]);
    }
}

quint64 UpgradeFile::timestamp() const
{
    quint64 value = 0;
    if (!isNews() || !parseUnsigned(releaseDate, &value))
        return 0;
    return value;
}

CatalogueFolders CatalogueFolders::fromSettings(const QSettings& settings)
{
    using rvx::settings::Folder;
    CatalogueFolders folders;
    folders.temp = rvx::settings::folder(settings, Folder::Temp);
    folders.firmware = rvx::settings::folder(settings, Folder::FirmwareImages);
    folders.agent = rvx::settings::folder(settings, Folder::AgentPackages);
    folders.hotfix = rvx::settings::folder(settings, Folder::Hotfixes);
    return folders;
}

QString CatalogueFolders::folderFor(const QString& type) const
{
    if (type == QLatin1String("hotfix"))
        return hotfix;
    if (type == QLatin1String("firmware"))
        return firmware;
    if (type == QLatin1String("rvx_client"))
        return agent;
    return temp;
}

bool isSafeFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

quint32 fileNameVersion(const QString& fileName)
{
    static const QRegularExpression versionPattern(QStringLiteral("-[0-9.]+"));
    int from = -1;
    QRegularExpressionMatchIterator it = versionPattern.globalMatch(fileName);
    while (it.hasNext())
        from = it.next().capturedStart();
    if (from < 0)
        return 0;

    // "-%u.%u.%u" from there.
    int pos = from + 1;
    quint32 parts[3] = {0, 0, 0};
    int read = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= fileName.size() || fileName.at(pos) != QLatin1Char('.'))
                break;
            ++pos;
        }
        if (!readNumber(fileName, &pos, &parts[i]))
            break;
        ++read;
    }
    if (read < 2)
        return 0;
    return parts[0] << 16 | parts[1] << 8 | parts[2];
}

Catalogue parseCatalogue(const QString& text, const CatalogueFolders& folders, quint64 lastViewedNews)
{
    Catalogue result;
    QHash<QString, int> byDigest; // digest -> index of the entry in result.entries

    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = line.split(QLatin1Char(','));
        for (QString& field : fields)
            field = field.trimmed();
        const QString& kind = fields.at(0);

        if (kind == QLatin1String("type=server")) {
            QString name;
            QString url;
            if (fields.size() != 3 || !fieldValue(fields.at(1), "name=", &name) ||
                !fieldValue(fields.at(2), "value=", &url))
                continue;
            result.mirrors << name.remove(QLatin1Char('"')) << url.remove(QLatin1Char('"'));
            continue;
        }

        if (kind == QLatin1String("type=news")) {
            UpgradeFile news;
            quint64 timestamp = 0;
            if (fields.size() != 5 || !fieldValue(fields.at(1), "timestamp=", &news.releaseDate) ||
                !fieldValue(fields.at(2), "file=", &news.fileName) ||
                !fieldValue(fields.at(3), "md5sum=", &news.md5sum) ||
                !fieldValue(fields.at(4), "title=", &news.comment) ||
                !parseUnsigned(news.releaseDate, &timestamp) || !isSafeFileName(news.fileName))
                continue;
            if (timestamp <= lastViewedNews)
                continue;
            news.type = QStringLiteral("news");
            news.localPath = nativePath(folders.temp, news.fileName);
            result.entries.append(news);
            continue;
        }

        UpgradeFile item;
        QString size;
        if (!fieldValue(kind, "type=", &item.type) || fields.size() != 7 ||
            !fieldValue(fields.at(1), "board=", &item.board) ||
            !fieldValue(fields.at(2), "file=", &item.fileName) ||
            !fieldValue(fields.at(3), "md5sum=", &item.md5sum) || !fieldValue(fields.at(4), "size=", &size) ||
            !fieldValue(fields.at(5), "release_date=", &item.releaseDate) ||
            !fieldValue(fields.at(6), "comment=", &item.comment) || !parseUnsigned(size, &item.size) ||
            !isSafeFileName(item.fileName))
            continue;
        item.localPath = nativePath(folders.folderFor(item.type), item.fileName);

        // The same file published for several boards is offered once, for all of them.
        const auto known = byDigest.constFind(item.md5sum);
        if (known != byDigest.constEnd()) {
            result.entries[known.value()].board = QStringLiteral("All");
        } else {
            byDigest.insert(item.md5sum, result.entries.size());
            result.entries.append(item);
        }

        const bool firmware = item.type == QLatin1String("firmware");
        if (!firmware && item.type != QLatin1String("rvx_client"))
            continue;
        QString model = item.board;
        model.replace(QLatin1Char('_'), QLatin1Char(' '));
        const int index = config_hardware_index(model.toLatin1());
        if (index < 0 || index >= FirmwareTypeCount)
            continue;
        const quint32 version = fileNameVersion(item.fileName);
        quint32& latest = firmware ? result.versions.firmware[index] : result.versions.client[index];
        if (version > latest)
            latest = version;
    }
    return result;
}

bool parseCatalogueFile(const QString& path, const CatalogueFolders& folders, quint64 lastViewedNews,
                        Catalogue* result)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    *result = parseCatalogue(QString::fromUtf8(file.readAll()), folders, lastViewedNews);
    return true;
}

QString withoutQuotes(const QString& text)
{
    QString result = text;
    return result.remove(QLatin1Char('"'));
}

QString typeLabel(const QString& type)
{
    if (type == QLatin1String("hotfix") || type == QLatin1String("rvx_client") ||
        type == QLatin1String("firmware"))
        return type;
    return QStringLiteral("other");
}

QString sizeInMegabytes(quint64 bytes)
{
    return QString::number(static_cast<double>(bytes) / 1048576.0, 'f', 1);
}

} // namespace updates
