// The block-device lists devices upload before storage is assigned. Every line is counted once
// and every row shown comes from a line of the lists.

#include "fuzzcheck.h"
#include "storage.h"

using namespace upgrade;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text = fuzz::bytes(data, size);
    BlockDeviceCounts counts;
    addBlockDeviceList(counts, text);
    int total = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        FUZZ_CHECK(it.value() >= 1);
        FUZZ_CHECK(!it.key().contains(QLatin1Char('\n')));
        total += it.value();
    }
    FUZZ_CHECK(total <= text.count('\n') + 1);

    // A second device with the same list doubles every count.
    BlockDeviceCounts twice = counts;
    addBlockDeviceList(twice, text);
    FUZZ_CHECK(twice.keys() == counts.keys());
    for (auto it = twice.cbegin(); it != twice.cend(); ++it)
        FUZZ_CHECK(it.value() == 2 * counts.value(it.key()));

    const QList<BlockDevice> rows = blockDevices(counts);
    FUZZ_CHECK(rows.size() == counts.size());
    for (const BlockDevice& row : rows) {
        FUZZ_CHECK(counts.value(row.line) == row.occurrences);
        sizeInMegabytes(row.name);
    }
    return 0;
}
