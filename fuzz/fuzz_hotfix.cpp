// Hotfix file names in the hotfix store: the name a file shows for a firmware version.
// Input: the version, a line break, the file name.

#include "fuzzcheck.h"
#include "hotfix.h"

using namespace upgrade;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const int cut = input.indexOf(QLatin1Char('\n'));
    const QString version = cut < 0 ? QString() : input.left(cut);
    const QString fileName = cut < 0 ? input : input.mid(cut + 1);
    const std::optional<QString> shown = hotfixName(fileName, version);
    if (shown) {
        FUZZ_CHECK(!shown->isEmpty());
        FUZZ_CHECK(!shown->contains(QLatin1Char('%')));
        FUZZ_CHECK(fileName.contains(QLatin1Char('%') + version + QLatin1Char('%') + *shown));
    }
    hotfixSentence(fileName, version);
    return 0;
}
