#include "devicetext.h"

#include "configlib.h"
#include "thinclientinfo.h"

#include <QDateTime>

#include <cstdio>

namespace {

QString basedOnText(const ThinclientInfo& device)
{
    const QString basedOn = device.basedOn();
    return basedOn.isEmpty() ? QStringLiteral("Defaults") : basedOn;
}

QString resetsToText(const ThinclientInfo& device)
{
    return device.resetsToCustom() ? QStringLiteral("Custom") : QStringLiteral("Factory");
}

} // namespace

QString protocolDisplayName(int protocolType)
{
    return QString::fromLatin1(config_protocol_name(protocolType)).toUpper();
}

QString lastSeenText(qint64 seconds)
{
    if (seconds <= 0)
        return QStringLiteral("Unknown");
    return QDateTime::fromSecsSinceEpoch(seconds).toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

QString deviceColumnText(const ThinclientInfo& device, DeviceColumn column, qint64 lastSeenSeconds)
{
    switch (column) {
    case DeviceColumn::FwType:
    case DeviceColumn::Status:
        return QString();
    case DeviceColumn::Hostname:
        return device.hostname();
    case DeviceColumn::IpAddress:
        return device.ipAddressText();
    case DeviceColumn::ProtocolType:
        return protocolDisplayName(device.protocolType());
    case DeviceColumn::FirmwareVersion:
        return device.firmwareVersion();
    case DeviceColumn::ClientVersion:
        return device.clientVersion();
    case DeviceColumn::MacAddress:
        return device.macAddress();
    case DeviceColumn::SerialNumber:
        return device.serialNumber().toUpper();
    case DeviceColumn::KernelVersion:
        return device.kernelVersion();
    case DeviceColumn::TfmVersion:
        return device.tfmVersion();
    case DeviceColumn::BootMode:
        return ThinclientInfo::bootModeText(device.bootMode());
    case DeviceColumn::ResetsTo:
        return resetsToText(device);
    case DeviceColumn::BasedOn:
        return basedOnText(device);
    case DeviceColumn::LastSeen:
        return lastSeenText(lastSeenSeconds);
    case DeviceColumn::Description:
        return device.description();
    case DeviceColumn::HwName:
        return device.hwName();
    case DeviceColumn::Profile:
        return QString(); // the device lists fill it from the stored texts
    }
    return QString();
}

QString initialStatusText(quint8 bootMode)
{
    if (bootMode == ThinclientInfo::BootOffline)
        return QStringLiteral("Offline");
    if (bootMode == ThinclientInfo::BootMaintenance)
        return QStringLiteral("In maintenance mode");
    return QString();
}

quint32 packedVersion(const QString& version)
{
    unsigned a = 0, b = 0, c = 0;
    const QByteArray text = version.toLatin1();
    const int read = std::sscanf(text.constData(), "%u.%u.%u", &a, &b, &c);
    if (read < 2)
        return 0;
    if (read < 3)
        c = 0;
    return ((a & 0xFFu) << 16) | ((b & 0xFFu) << 8) | (c & 0xFFu);
}

VersionColour versionColour(quint32 packed, quint32 latest, quint32 threshold)
{
    if (packed >= latest)
        return VersionColour::Black;
    return latest - packed < threshold ? VersionColour::Blue : VersionColour::Red;
}

QStringList exportFields(const ThinclientInfo& device)
{
    return {device.serialNumber().toUpper(),
            device.macAddress(),
            device.hostname(),
            device.ipAddressText(),
            device.clientVersion(),
            device.firmwareVersion(),
            device.tfmVersion(),
            device.kernelVersion(),
            basedOnText(device),
            protocolDisplayName(device.protocolType()),
            QString::fromLatin1(config_hardware_name(device.firmwareType())),
            resetsToText(device)};
}

namespace {

QString printableSerial(const QString& serial)
{
    QString out;
    for (const QChar c : serial.left(64)) {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace

QString refusedSerialStatus(const QString& serial)
{
    if (serial.isEmpty())
        return QStringLiteral("A device that reported no serial number was refused.");
    return QStringLiteral("A device with the serial number \"%1\" was refused: a serial number may only hold "
                          "letters, digits, \".\", \"_\", \":\" and \"-\".")
        .arg(printableSerial(serial));
}

QString refusedSerialSentence(const QString& serial)
{
    if (serial.isEmpty())
        return QStringLiteral("refused a device that reported no serial number");
    return QStringLiteral("refused a device with the unusable serial number \"%1\"")
        .arg(printableSerial(serial));
}
