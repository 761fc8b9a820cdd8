#pragma once

// Older agents (major version 7 and below) report their settings piece by piece in binary
// messages whose type is a configuration category: 4, 6, 18, 28, 29, 34, 36, 37, and an
// identification message (type 5, codes 3 to 6) carrying everything at once. These
// functions turn such a payload into the equivalent configuration text and the device-record
// fields it updates, so a device's stored configuration looks the same whichever agent
// generation reported it.

#include <QByteArray>
#include <QString>

#include <optional>

struct LegacyReport
{
    QByteArray text;         // configuration lines produced (each ended by LF); may be empty
    int category = 0;        // category the text replaces in the stored text (55 for identification)
    bool storeBlock = false; // the record changed and its block must be stored

    // Record fields to update (only those that are set).
    std::optional<QString> hostname;    // applied as its first 39 characters
    std::optional<QString> description; // applied as its first 63 characters
    std::optional<quint8> protocolType;
    std::optional<bool> pxeServerEnabled;
    // Identification (type 5, codes 3 to 6) only:
    std::optional<QString> serialNumber;
    std::optional<QString> macAddress;
    std::optional<QString> firmwareVersion;
    std::optional<QString> clientVersion;
    std::optional<QString> kernelVersion;
    std::optional<quint8> firmwareType;
    std::optional<quint8> bootMode;
    std::optional<quint32> ipAddress; // host byte order
};

// Converts one older-agent message. Nothing when the type is not one of the converted
// types, when type 18 has code 0, or when type 5 has a code outside 3 to 6.
std::optional<LegacyReport> legacy_convert(quint8 type, quint8 code, const QByteArray& payload);

// The identification message of older agents (type 5, codes 3 to 6). Its layout is defined
// here, in one place, and documented in legacy.cpp; the agent simulator builds it with
// legacy_identification_encode.
struct LegacyIdentification
{
    QByteArray serialNumber, macAddress, hardwareName, ipAddress, hostname;
    QByteArray firmwareVersion, clientVersion, kernelVersion;
    QByteArray description;
    QByteArray protocol, server, cmdlineArgs; // protocol empty: "netop"
    QByteArray timeServer, timezone;
    QByteArray rvxServerHostname, rvxServerPort;
    // network, in the order of the type 29 message
    QByteArray dns1, dns2, dspath, nicEnabled, nicDhcpEnabled, nicIp, nicNetmask, nicGateway;
    QByteArray wirelessEnabled, wirelessDhcpEnabled, wirelessIp, wirelessNetmask, wirelessGateway;
    QByteArray wirelessSsid, wirelessSecurity, wirelessPassword;
    QByteArray kbdModel, kbdLayout, kbdVariant, kbdOption;
    bool firewall = false, powersave = false, pxeEnabled = false, pxeOnly = false;
    QByteArray pxeRangeLow, pxeRangeHigh, pxeSubnet, pxeNetmask;
    quint8 pxeMode = 0;
    quint16 bootMode = 2, discoveryMode = 1;
    bool autologin = false, autoReconnect = false;
};

QByteArray legacy_identification_encode(const LegacyIdentification& id, quint8 code);
