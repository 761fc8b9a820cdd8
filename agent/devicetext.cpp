#include "devicetext.h"

#include "configlib.h"
#include "thinclientinfo.h"

#include <QDateTime>

#include <cstdio>

namespace {

const DeviceColumnInfo kColumns[DeviceColumnCount] = {
    {DeviceColumn::FwType, "colFwType", "Firmware Type", 0, "Firmware Type", 105, true},
    {DeviceColumn::Hostname, "colHostname", "Hostname", 1, "Hostname", 160, true},
    {DeviceColumn::IpAddress, "colIpAddress", "IP Address", 2, "IP Address", 110, false},
    {DeviceColumn::ProtocolType, "colProtocolType", "Mode", 3, "Mode", 90, false},
    {DeviceColumn::FirmwareVersion, "colFirmwareVersion", "Firmware Ver", 4, "Firmware Ver", 90, false},
    {DeviceColumn::ClientVersion, "colClientVersion", "Client Ver", 5, "Client Ver", 90, false},
    {DeviceColumn::Status, "colStatus", "Status", 6, "Status", 412, true},
    {DeviceColumn::MacAddress, "colMacAddress", "MAC Address", -1, "", -1, false},
    {DeviceColumn::SerialNumber, "colSerialNumber", "Serial Number", -1, "", -1, false},
    {DeviceColumn::KernelVersion, "colKernelVersion", "Kernel Ver", -1, "", -1, false},
    {DeviceColumn::TfmVersion, "colTfmVersion", "TFM Ver", -1, "", -1, false},
    {DeviceColumn::BootMode, "colBootMode", "Boot Mode", -1, "", -1, false},
    {DeviceColumn::ResetsTo, "colResetsTo", "Resets to", -1, "", -1, false},
    {DeviceColumn::BasedOn, "colBasedOn", "Based on", -1, "", -1, false},
    {DeviceColumn::LastSeen, "colLastSeen", "Last Seen", -1, "", -1, false},
    {DeviceColumn::Description, "colDescription", "Comment", -1, "", -1, false},
    {DeviceColumn::HwName, "colHwName", "Hardware", -1, "", -1, false},
};

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

const DeviceColumnInfo* deviceColumns()
{
    return kColumns;
}

const DeviceColumnInfo& deviceColumnInfo(DeviceColumn column)
{
    return kColumns[static_cast<int>(column)];
}

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
