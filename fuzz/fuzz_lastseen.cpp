// last_seen.csv as the device history reads it at start. What was read, written out as the
// history writes it, reads back to the same table.

#include "fuzzcheck.h"
#include "rvxdb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QHash<QString, qint64> table = rvxDB::parseLastSeen(fuzz::bytes(data, size));
    rvxDB db(QString{}); // no folder: nothing is read or written
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        FUZZ_CHECK(rvxDB::isValidSerial(it.key()));
        FUZZ_CHECK(it.value() >= 0);
        db.setLastSeen(it.key(), it.value());
    }
    FUZZ_CHECK(db.lastSeenTable() == table);
    FUZZ_CHECK(rvxDB::parseLastSeen(db.lastSeenText()) == table);
    return 0;
}
