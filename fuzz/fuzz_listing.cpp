// The technical listing 7-Zip prints for an archive before it is unpacked into a store. An
// archive is only unpacked when the listing was understood and no entry could leave the folder.

#include "fuzzcheck.h"
#include "unpack.h"

#include <QRegularExpression>

using namespace updates;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ArchiveListing listing = parseListing(fuzz::bytes(data, size));
    const QString refusal = listingRefusal(listing);
    if (!listing.readable)
        FUZZ_CHECK(!refusal.isEmpty());
    if (refusal.isEmpty()) {
        static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
        for (const ArchiveEntry& entry : listing.entries) {
            FUZZ_CHECK(!entry.link);
            FUZZ_CHECK(!entry.path.isEmpty());
            FUZZ_CHECK(!entry.path.startsWith(QLatin1Char('/')) && !entry.path.startsWith(QLatin1Char('\\')));
            FUZZ_CHECK(!entry.path.split(separators).contains(QStringLiteral("..")));
        }
    }
    return 0;
}
