#pragma once

#include "agentsocketfwd.h"
#include "deviceblock.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QFile;
class QStandardItem;

// The device record: one per device the server has ever seen. Its core is the 512-byte
// device information block the agent sends in its identification message; around it the
// run-time links of a connected device.
class ThinclientInfo : public QObject
{
    Q_OBJECT

public:
    static constexpr int InfoSize = deviceblock::Size;

    // Byte offsets and sizes of the fields of the information block (deviceblock.h).
    enum Field : int
    {
        FirmwareTypeOffset = deviceblock::FirmwareTypeOffset,
        BootModeOffset = deviceblock::BootModeOffset,
        IpAddressOffset = deviceblock::IpAddressOffset,
        HostnameOffset = deviceblock::HostnameOffset,
        HostnameSize = deviceblock::HostnameSize,
        MacAddressOffset = deviceblock::MacAddressOffset,
        MacAddressSize = deviceblock::MacAddressSize,
        FirmwareVersionOffset = deviceblock::FirmwareVersionOffset,
        FirmwareVersionSize = deviceblock::FirmwareVersionSize,
        KernelVersionOffset = deviceblock::KernelVersionOffset,
        KernelVersionSize = deviceblock::KernelVersionSize,
        TfmVersionOffset = deviceblock::TfmVersionOffset,
        TfmVersionSize = deviceblock::TfmVersionSize,
        ClientVersionOffset = deviceblock::ClientVersionOffset,
        ClientVersionSize = deviceblock::ClientVersionSize,
        SerialNumberOffset = deviceblock::SerialNumberOffset,
        SerialNumberSize = deviceblock::SerialNumberSize,
        PxeServerEnabledOffset = deviceblock::PxeServerEnabledOffset,
        PrintServerEnabledOffset = deviceblock::PrintServerEnabledOffset,
        ProtocolTypeOffset = deviceblock::ProtocolTypeOffset,
        ResetsToCustomOffset = deviceblock::ResetsToCustomOffset,
        BasedOnOffset = deviceblock::BasedOnOffset,
        BasedOnSize = deviceblock::BasedOnSize,
        BeaconEnabledOffset = deviceblock::BeaconEnabledOffset,
        DebianArchOffset = deviceblock::DebianArchOffset,
        DebianArchSize = deviceblock::DebianArchSize,
        DebianVersionOffset = deviceblock::DebianVersionOffset,
        DebianVersionSize = deviceblock::DebianVersionSize,
        NetmaskOffset = deviceblock::NetmaskOffset,
        HwNameOffset = deviceblock::HwNameOffset,
        HwNameSize = deviceblock::HwNameSize,
        DescriptionOffset = deviceblock::DescriptionOffset,
        DescriptionSize = deviceblock::DescriptionSize,
    };

    enum BootMode : quint8
    {
        BootOffline = 0,
        BootNormal = 2,
        BootMaintenance = 3
    };

    ThinclientInfo();
    ~ThinclientInfo() override;

    // ---- members ---------------------------------------------------------------------
    unsigned char info[InfoSize];
    // True while the last message received from the device was a whole-configuration
    // snapshot; a reconnecting device with this flag set gets no department policy.
    bool skipPolicy = false;
    // First cell of the device's row in the device list; null until it is shown.
    QStandardItem* item = nullptr;
    // The agent connection (owned by the server as its Qt parent); null while offline.
    AgentSocket* socket = nullptr;
    // File open for an agent-driven transfer (owned); null when none.
    QFile* transferFile = nullptr;
    // Complete frames written at the device's next identification (owned); null when none.
    QList<QByteArray>* pendingFrames = nullptr;

    // ---- block ----------------------------------------------------------------------
    // Copies a received or stored block: at most 512 bytes, the rest zero-filled.
    void loadBlock(const char* data, int length);
    void loadBlock(const QByteArray& data) { loadBlock(data.constData(), data.size()); }
    QByteArray block() const;

    // ---- fields ---------------------------------------------------------------------
    quint8 firmwareType() const { return info[FirmwareTypeOffset]; }
    void setFirmwareType(quint8 value) { info[FirmwareTypeOffset] = value; }
    quint8 bootMode() const { return info[BootModeOffset]; }
    void setBootMode(quint8 value) { info[BootModeOffset] = value; }
    bool isOnline() const { return socket != nullptr && bootMode() != BootOffline; }

    // IPv4 address and netmask; the block holds them in network byte order.
    quint32 ipAddressValue() const;
    void setIpAddressValue(quint32 hostOrder);
    QHostAddress ipAddress() const { return QHostAddress(ipAddressValue()); }
    QString ipAddressText() const { return ipAddress().toString(); }
    quint32 netmaskValue() const;
    void setNetmaskValue(quint32 hostOrder);
    QString netmaskText() const { return QHostAddress(netmaskValue()).toString(); }

    QString hostname() const { return text(HostnameOffset, HostnameSize); }
    void setHostname(const QString& value) { setText(HostnameOffset, HostnameSize, value); }
    QString macAddress() const { return text(MacAddressOffset, MacAddressSize); }
    void setMacAddress(const QString& value) { setText(MacAddressOffset, MacAddressSize, value); }
    QString firmwareVersion() const { return text(FirmwareVersionOffset, FirmwareVersionSize); }
    void setFirmwareVersion(const QString& v) { setText(FirmwareVersionOffset, FirmwareVersionSize, v); }
    QString kernelVersion() const { return text(KernelVersionOffset, KernelVersionSize); }
    void setKernelVersion(const QString& v) { setText(KernelVersionOffset, KernelVersionSize, v); }
    QString tfmVersion() const { return text(TfmVersionOffset, TfmVersionSize); }
    void setTfmVersion(const QString& v) { setText(TfmVersionOffset, TfmVersionSize, v); }
    QString clientVersion() const { return text(ClientVersionOffset, ClientVersionSize); }
    void setClientVersion(const QString& v) { setText(ClientVersionOffset, ClientVersionSize, v); }
    QString serialNumber() const { return text(SerialNumberOffset, SerialNumberSize); }
    void setSerialNumber(const QString& v) { setText(SerialNumberOffset, SerialNumberSize, v); }
    bool pxeServerEnabled() const { return info[PxeServerEnabledOffset] != 0; }
    void setPxeServerEnabled(bool on) { info[PxeServerEnabledOffset] = on ? 1 : 0; }
    bool printServerEnabled() const { return info[PrintServerEnabledOffset] != 0; }
    void setPrintServerEnabled(bool on) { info[PrintServerEnabledOffset] = on ? 1 : 0; }
    quint8 protocolType() const { return info[ProtocolTypeOffset]; }
    void setProtocolType(quint8 value) { info[ProtocolTypeOffset] = value; }
    bool resetsToCustom() const { return info[ResetsToCustomOffset] != 0; }
    void setResetsToCustom(bool on) { info[ResetsToCustomOffset] = on ? 1 : 0; }
    QString basedOn() const { return text(BasedOnOffset, BasedOnSize); }
    void setBasedOn(const QString& v) { setText(BasedOnOffset, BasedOnSize, v); }
    bool beaconEnabled() const { return info[BeaconEnabledOffset] != 0; }
    void setBeaconEnabled(bool on) { info[BeaconEnabledOffset] = on ? 1 : 0; }
    QString debianArch() const { return text(DebianArchOffset, DebianArchSize); }
    void setDebianArch(const QString& v) { setText(DebianArchOffset, DebianArchSize, v); }
    QString debianVersion() const { return text(DebianVersionOffset, DebianVersionSize); }
    void setDebianVersion(const QString& v) { setText(DebianVersionOffset, DebianVersionSize, v); }
    QString hwName() const { return text(HwNameOffset, HwNameSize); }
    void setHwName(const QString& v) { setText(HwNameOffset, HwNameSize, v); }
    QString description() const { return text(DescriptionOffset, DescriptionSize); }
    void setDescription(const QString& v) { setText(DescriptionOffset, DescriptionSize, v); }

    // "Normal" (2), "Maintenance" (3), anything else "Offline".
    static QString bootModeText(quint8 bootMode);

    // ---- versions -------------------------------------------------------------------
    // Numeric comparison of a dotted version text with a triple: the first three
    // components are read as unsigned 16-bit numbers, a missing or non-numeric one as 0.
    static bool versionAtLeast(const QString& version, int major, int minor, int patch);
    // Compare clientVersion / firmwareVersion. When false and a title is given, the
    // version message is shown first (through the notifier the application installs).
    bool clientVersionAtLeast(int major, int minor, int patch, const QString& title = QString()) const;
    bool firmwareVersionAtLeast(int major, int minor, int patch, const QString& title = QString()) const;
    // First component of clientVersion as a number (0 when unreadable).
    int clientMajorVersion() const;
    // An agent of version 7 or older: first character at most '7' and the second a '.'.
    bool isOldAgent() const;

    static QString clientVersionMessage(int major, int minor, int patch);
    static QString firmwareVersionMessage(int major, int minor, int patch);
    // How titled version checks tell the administrator; the application routes this to a
    // critical message box. Without a notifier the check is silent.
    using VersionNotifier = std::function<void(const QString& title, const QString& text)>;
    static void setVersionNotifier(VersionNotifier notifier);

private:
    QString text(int offset, int size) const;
    void setText(int offset, int size, const QString& value);
};
