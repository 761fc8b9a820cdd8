#include "storage.h"

#include "messages.h"
#include "paths.h"
#include "savefile.h"
#include "wire.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace upgrade {

namespace {

constexpr int FieldCount = 5;
const QString StorageTitle = QStringLiteral("Assign Storage");

} // namespace

QString blockDeviceListPattern()
{
    return QStringLiteral("*_blkdev_list.lst");
}

QString whitelistFileName()
{
    return QStringLiteral("whitelist.txt");
}

void addBlockDeviceList(BlockDeviceCounts& counts, const QByteArray& text)
{
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.count(',') != FieldCount - 1)
            continue;
        // The whole line, NUL bytes included: the QByteArray overload stops at the first NUL,
        // which would leave a line with fewer fields than were counted.
        counts[QString::fromLatin1(line.constData(), line.size())] += 1;
    }
}

BlockDeviceCounts readBlockDeviceLists(const QString& folder)
{
    BlockDeviceCounts counts;
    const QDir dir(folder);
    for (const QString& name : filesByName(folder, {blockDeviceListPattern()})) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            addBlockDeviceList(counts, file.readAll());
    }
    return counts;
}

int removeBlockDeviceLists(const QString& folder)
{
    int removed = 0;
    const QDir dir(folder);
    for (const QString& name : filesByName(folder, {blockDeviceListPattern()})) {
        if (QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

QString sizeInMegabytes(const QString& sectors)
{
    if (sectors.isEmpty())
        return QString();
    bool ok = false;
    const qulonglong count = sectors.toULongLong(&ok, 10);
    if (!ok)
        return QStringLiteral("0");
    return QString::number((count + 1024) / 2048);
}

QList<BlockDevice> blockDevices(const BlockDeviceCounts& counts)
{
    QList<BlockDevice> rows;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        const QStringList fields = it.key().split(QLatin1Char(','));
        if (fields.size() != FieldCount)
            continue; // not a list line
        BlockDevice row;
        row.line = it.key();
        row.occurrences = it.value();
        row.sizeMb = sizeInMegabytes(fields.at(0));
        row.vendor = fields.at(1);
        row.model = fields.at(2);
        row.type = fields.at(3);
        row.name = fields.at(4);
        rows.append(row);
    }
    return rows;
}

bool writeWhitelist(const QString& folder, const QStringList& lines, QString* error)
{
    QSaveFile file(QDir(folder).filePath(whitelistFileName()));
    // Never written in place: a full disk would leave a truncated list behind.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLatin1() + '\n';
    return rvx::writeAndCommit(file, bytes, error);
}

Box whitelistErrorBox()
{
    return critical(QStringLiteral("Saving whitelist"),
                    QStringLiteral("There was an error saving storage whitelist to disk"));
}

Box dedicateWarning()
{
    return question(
        QStringLiteral("Assign Storage Device"),
        QStringLiteral("*** WARNING! ***\n\nBy proceeding with this action, you are permitting the ZYLOS "
                       "installer to overwrite the selected storage devices without further "
                       "prompting.\n\nYou should not allow the client to automatically select a storage "
                       "device unless you can guarantee that there is no valuable data on ANY of the "
                       "listed storage devices.\n\nAre you sure that you want to dedicate the selected "
                       "devices for ZYLOS' exclusive use?"),
        false);
}

QByteArray approvalPayload(bool autoSelect, const QString& folder)
{
    if (autoSelect)
        return QByteArrayLiteral("AUTO-SELECT\n");
    QFile file(QDir(folder).filePath(whitelistFileName()));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

std::optional<QByteArray> approvalMessage(const QByteArray& payload)
{
    const QByteArray message = wire::frame(msg::StorageApproval, 0, payload);
    if (message.isEmpty())
        return std::nullopt;
    return message;
}

QByteArray blockDeviceListRequest()
{
    return wire::shortFrame(msg::Type::BlockDeviceList);
}

Box noMaintenanceDevicesBox()
{
    return critical(StorageTitle,
                    QStringLiteral("This command is only useful for partially installed devices in "
                                   "Maintenance Mode.  None of the selected devices are in "
                                   "Maintenance Mode."));
}

Box storageRequestInformation()
{
    return information(StorageTitle,
                       QStringLiteral("Click OK to obtain a list of storage devices from selected "
                                      "clients.\n\nThis will take about 5 seconds."));
}

QString approvalSentence(const QString& serial, const QByteArray& payload)
{
    return QStringLiteral("approved storage devices for ") + serial +
           QStringLiteral("; approved storage was as follows:\n") + QString::fromLatin1(payload);
}

} // namespace upgrade
