#include "thinclientinfo.h"

#include "versions.h"
#include "wire.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace {

ThinclientInfo::VersionNotifier& versionNotifier()
{
    static ThinclientInfo::VersionNotifier notifier;
    return notifier;
}

} // namespace

ThinclientInfo::ThinclientInfo()
{
    std::memset(info, 0, sizeof info);
}

ThinclientInfo::~ThinclientInfo()
{
    if (socket) {
        socket->close();
        delete socket;
        socket = nullptr;
    }
    if (transferFile) {
        transferFile->close();
        delete transferFile;
        transferFile = nullptr;
    }
    delete pendingFrames;
    pendingFrames = nullptr;
}

void ThinclientInfo::loadBlock(const char* data, int length)
{
    const int n = qBound(0, length, InfoSize);
    std::memset(info, 0, sizeof info);
    if (data && n > 0)
        std::memcpy(info, data, static_cast<size_t>(n));
}

QByteArray ThinclientInfo::block() const
{
    return QByteArray(reinterpret_cast<const char*>(info), InfoSize);
}

quint32 ThinclientInfo::ipAddressValue() const
{
    return qFromBigEndian<quint32>(info + IpAddressOffset);
}

void ThinclientInfo::setIpAddressValue(quint32 hostOrder)
{
    qToBigEndian<quint32>(hostOrder, info + IpAddressOffset);
}

quint32 ThinclientInfo::netmaskValue() const
{
    return qFromBigEndian<quint32>(info + NetmaskOffset);
}

void ThinclientInfo::setNetmaskValue(quint32 hostOrder)
{
    qToBigEndian<quint32>(hostOrder, info + NetmaskOffset);
}

QString ThinclientInfo::bootModeText(quint8 bootMode)
{
    if (bootMode == BootNormal)
        return QStringLiteral("Normal");
    if (bootMode == BootMaintenance)
        return QStringLiteral("Maintenance");
    return QStringLiteral("Offline");
}

bool ThinclientInfo::versionAtLeast(const QString& version, int major, int minor, int patch)
{
    return ::versionAtLeast(version, major, minor, patch);
}

bool ThinclientInfo::clientVersionAtLeast(int major, int minor, int patch, const QString& title) const
{
    if (versionAtLeast(clientVersion(), major, minor, patch))
        return true;
    if (!title.isEmpty() && versionNotifier())
        versionNotifier()(title, clientVersionMessage(major, minor, patch));
    return false;
}

bool ThinclientInfo::firmwareVersionAtLeast(int major, int minor, int patch, const QString& title) const
{
    if (versionAtLeast(firmwareVersion(), major, minor, patch))
        return true;
    if (!title.isEmpty() && versionNotifier())
        versionNotifier()(title, firmwareVersionMessage(major, minor, patch));
    return false;
}

int ThinclientInfo::clientMajorVersion() const
{
    return versionMajor(clientVersion());
}

bool ThinclientInfo::isOldAgent() const
{
    const char* version = reinterpret_cast<const char*>(info + ClientVersionOffset);
    return version[0] != '\0' && version[0] <= '7' && version[1] == '.';
}

QString ThinclientInfo::clientVersionMessage(int major, int minor, int patch)
{
    return QStringLiteral(
               "Command requires rvx_client %1.%2.%3 or later, please upgrade rvx_client on this device.")
        .arg(major)
        .arg(minor)
        .arg(patch);
}

QString ThinclientInfo::firmwareVersionMessage(int major, int minor, int patch)
{
    return QStringLiteral(
               "Command requires ZYLOS %1.%2.%3 or later, please upgrade rvx_client on this device.")
        .arg(major)
        .arg(minor)
        .arg(patch);
}

void ThinclientInfo::setVersionNotifier(VersionNotifier notifier)
{
    versionNotifier() = std::move(notifier);
}

QString ThinclientInfo::text(int offset, int size) const
{
    return QString::fromLatin1(wire::cText(reinterpret_cast<const char*>(info + offset), size));
}

void ThinclientInfo::setText(int offset, int size, const QString& value)
{
    const QByteArray bytes = value.toLatin1().left(size - 1);
    std::memset(info + offset, 0, static_cast<size_t>(size));
    std::memcpy(info + offset, bytes.constData(), static_cast<size_t>(bytes.size()));
}
