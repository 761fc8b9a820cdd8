#include "upgradefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace upgrade {

namespace {

constexpr int InvertedBytes = 10;

struct Signature
{
    int offset;
    quint8 value;
};
constexpr Signature Signatures[] = {{0, 0xDE}, {2, 0x6A}, {4, 0x8F}, {6, 0x94}};
constexpr int TypeOffset = 1;

} // namespace

quint64 packedFolderVersion(const QString& name)
{
    QString dotted = name;
    dotted.replace(QLatin1Char('-'), QLatin1Char('.'));
    quint64 packed = 0;
    const QStringList parts = dotted.split(QLatin1Char('.'));
    for (const QString& part : parts) {
        bool ok = false;
        const uint number = part.toUInt(&ok, 10);
        packed = (packed << 8) | (ok ? (number & 0xFFu) : 0u);
    }
    return packed;
}

QString newestVersionFolder(const QString& folder)
{
    if (folder.isEmpty())
        return QString();
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name | QDir::DirsFirst);
    QString newest;
    quint64 newestVersion = 0;
    for (const QFileInfo& entry : entries) {
        const quint64 version = packedFolderVersion(entry.fileName());
        if (newest.isEmpty() || version > newestVersion) {
            newest = entry.fileName();
            newestVersion = version;
        }
    }
    return newest;
}

HeaderCheck checkHeader(const QByteArray& header)
{
    HeaderCheck check;
    if (header.size() < HeaderSize)
        return check;
    QByteArray plain = header.left(InvertedBytes);
    for (char& byte : plain)
        byte = static_cast<char>(~static_cast<quint8>(byte));
    for (const Signature& s : Signatures) {
        if (static_cast<quint8>(plain.at(s.offset)) != s.value)
            return check;
    }
    const int type = static_cast<quint8>(plain.at(TypeOffset));
    if (type >= FirmwareTypeCount)
        return check;
    check.accepted = true;
    check.firmwareType = type;
    return check;
}

HeaderCheck checkUpgradeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return HeaderCheck();
    return checkHeader(file.read(HeaderSize));
}

QByteArray makeHeader(int firmwareType, char filler)
{
    QByteArray header(HeaderSize, filler);
    for (const Signature& s : Signatures)
        header[s.offset] = static_cast<char>(s.value);
    header[TypeOffset] = static_cast<char>(firmwareType);
    for (int i = 0; i < InvertedBytes; ++i)
        header[i] = static_cast<char>(~static_cast<quint8>(header.at(i)));
    return header;
}

} // namespace upgrade
