#pragma once

// The 512-byte device information block an agent sends when it identifies itself and the
// device history stores as the device's ".st" file: the byte offset and size of each field.
// Texts are Latin-1, NUL-terminated within their field; numbers are big-endian.

namespace deviceblock {

constexpr int Size = 512;

constexpr int FirmwareTypeOffset = 0;
constexpr int BootModeOffset = 1;
constexpr int IpAddressOffset = 8;
constexpr int HostnameOffset = 12;
constexpr int HostnameSize = 40;
constexpr int MacAddressOffset = 52;
constexpr int MacAddressSize = 18;
constexpr int FirmwareVersionOffset = 70;
constexpr int FirmwareVersionSize = 9;
constexpr int KernelVersionOffset = 79;
constexpr int KernelVersionSize = 32;
constexpr int TfmVersionOffset = 111;
constexpr int TfmVersionSize = 32;
constexpr int ClientVersionOffset = 143;
constexpr int ClientVersionSize = 9;
constexpr int SerialNumberOffset = 152;
constexpr int SerialNumberSize = 37;
constexpr int PxeServerEnabledOffset = 189;
constexpr int PrintServerEnabledOffset = 190;
constexpr int ProtocolTypeOffset = 191;
constexpr int ResetsToCustomOffset = 192;
constexpr int BasedOnOffset = 193;
constexpr int BasedOnSize = 31;
constexpr int BeaconEnabledOffset = 224;
constexpr int DebianArchOffset = 225;
constexpr int DebianArchSize = 9;
constexpr int DebianVersionOffset = 234;
constexpr int DebianVersionSize = 6;
constexpr int NetmaskOffset = 240;
constexpr int HwNameOffset = 256;
constexpr int HwNameSize = 48;
constexpr int DescriptionOffset = 304;
constexpr int DescriptionSize = 64;

} // namespace deviceblock
