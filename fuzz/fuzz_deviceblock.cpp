// The 512-byte device block: as an agent sends it when it identifies itself and as the device
// history reads it back from a ".st" file (possibly short or damaged). Every field reads
// within its bounds, and storing the block read gives the same block.

#include "deviceblock.h"
#include "fuzzcheck.h"
#include "rvxdb.h"
#include "thinclientinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ThinclientInfo record;
    record.loadBlock(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QByteArray block = record.block();
    FUZZ_CHECK(block.size() == deviceblock::Size);
    FUZZ_CHECK(block.left(static_cast<int>(size)) ==
               fuzz::bytes(data, qMin<size_t>(size, deviceblock::Size)));

    FUZZ_CHECK(record.hostname().size() <= deviceblock::HostnameSize);
    FUZZ_CHECK(record.macAddress().size() <= deviceblock::MacAddressSize);
    FUZZ_CHECK(record.firmwareVersion().size() <= deviceblock::FirmwareVersionSize);
    FUZZ_CHECK(record.kernelVersion().size() <= deviceblock::KernelVersionSize);
    FUZZ_CHECK(record.tfmVersion().size() <= deviceblock::TfmVersionSize);
    FUZZ_CHECK(record.clientVersion().size() <= deviceblock::ClientVersionSize);
    FUZZ_CHECK(record.serialNumber().size() <= deviceblock::SerialNumberSize);
    FUZZ_CHECK(record.basedOn().size() <= deviceblock::BasedOnSize);
    FUZZ_CHECK(record.debianArch().size() <= deviceblock::DebianArchSize);
    FUZZ_CHECK(record.debianVersion().size() <= deviceblock::DebianVersionSize);
    FUZZ_CHECK(record.hwName().size() <= deviceblock::HwNameSize);
    FUZZ_CHECK(record.description().size() <= deviceblock::DescriptionSize);
    record.ipAddressText();
    record.netmaskText();
    record.clientMajorVersion();
    record.isOldAgent();
    record.clientVersionAtLeast(8, 1, 0);
    record.firmwareVersionAtLeast(10, 2, 3);
    rvxDB::isValidSerial(record.serialNumber());

    ThinclientInfo copy;
    copy.loadBlock(block);
    FUZZ_CHECK(copy.block() == block);
    return 0;
}
