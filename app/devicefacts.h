#pragma once

// What the command rules read of a device record.

#include "commands.h"
#include "thinclientinfo.h"

inline commands::DeviceFacts deviceFacts(const ThinclientInfo* device)
{
    commands::DeviceFacts f;
    f.serial = device->serialNumber();
    f.hostname = device->hostname();
    f.clientVersion = device->clientVersion();
    f.firmwareVersion = device->firmwareVersion();
    f.firmwareType = device->firmwareType();
    f.bootMode = device->bootMode();
    f.online = device->isOnline();
    f.printServer = device->printServerEnabled();
    f.pxeServer = device->pxeServerEnabled();
    f.beacon = device->beaconEnabled();
    f.macAddress = device->macAddress();
    f.ipAddress = device->ipAddressText();
    f.netmask = device->netmaskText();
    return f;
}
