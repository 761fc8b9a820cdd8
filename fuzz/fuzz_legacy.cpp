// The conversions of what older agents send (their own message layouts) into configuration
// lines and record fields. Input: type byte, code byte, payload.

#include "configlib.h"
#include "fuzzcheck.h"
#include "legacy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray payload = fuzz::bytes(data + 2, size - 2);
    const std::optional<LegacyReport> report = legacy_convert(data[0], data[1], payload);
    if (!report)
        return 0;
    // What comes out is merged into the stored text: whole lines of a real category.
    FUZZ_CHECK(report->category >= 0 && report->category < CATEGORY_SLOTS);
    FUZZ_CHECK(report->text.isEmpty() || report->text.endsWith('\n'));
    FUZZ_CHECK(!report->text.contains('\0'));
    return 0;
}
