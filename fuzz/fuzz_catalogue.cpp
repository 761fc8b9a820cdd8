// The update catalogue a mirror serves. Whatever it holds, every entry kept names a file that
// stays inside its local folder, and the mirror list pairs names with URLs.

#include "catalogue.h"
#include "fuzzcheck.h"

#include <QDir>

using namespace updates;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CatalogueFolders folders;
    folders.temp = QStringLiteral("/var/tmp/rvx");
    folders.firmware = QStringLiteral("/srv/firmware");
    folders.agent = QStringLiteral("/srv/agent");
    folders.hotfix = QStringLiteral("/srv/hotfix");
    // The first byte sets when news was last read (in steps that meet real timestamps).
    const quint64 lastViewed = quint64(data[0]) * 10000000ull;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));

    const Catalogue catalogue = parseCatalogue(text, folders, lastViewed);
    FUZZ_CHECK(catalogue.mirrors.size() % 2 == 0);
    for (const UpgradeFile& entry : catalogue.entries) {
        FUZZ_CHECK(isSafeFileName(entry.fileName));
        const QString folder = QDir::toNativeSeparators(folders.folderFor(entry.type));
        FUZZ_CHECK(entry.localPath == folder + QDir::separator() + entry.fileName);
        if (entry.isNews())
            FUZZ_CHECK(entry.timestamp() > lastViewed);
        typeLabel(entry.type);
        sizeInMegabytes(entry.size);
        fileNameVersion(entry.fileName);
        withoutQuotes(entry.comment);
    }
    return 0;
}
