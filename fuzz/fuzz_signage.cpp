// The rsync daemon's configuration file (its playlists), the module list the rsync client
// prints, and playlist source addresses. Adding a playlist and removing it again gives back
// the file as it was.

#include "fuzzcheck.h"
#include "signage.h"

using namespace signage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const QStringList existing = playlists(input);

    // The name to add: the input's first line when it is an acceptable name.
    QString name = QString::fromUtf8(input.left(input.indexOf('\n')).left(40));
    if (playlistNameProblem(name, existing))
        name = QStringLiteral("fuzzlist");
    if (!playlistNameProblem(name, existing)) {
        const QByteArray added = withSection(input, name, QStringLiteral("/srv/signage/lobby"));
        FUZZ_CHECK(playlists(added) == existing + QStringList{name});
        QByteArray expected = input;
        if (!expected.isEmpty() && !expected.endsWith('\n'))
            expected += '\n';
        FUZZ_CHECK(withoutSection(added, name) == expected);
    }
    for (const QString& playlist : existing)
        withoutSection(input, playlist);

    for (const QString& module : parseModules(input)) {
        FUZZ_CHECK(!module.isEmpty());
        FUZZ_CHECK(!module.contains(QLatin1Char(' ')) && !module.contains(QLatin1Char('\t')));
        FUZZ_CHECK(!module.contains(QLatin1Char('\n')));
    }

    QString server;
    QString playlist;
    const QString source = QString::fromUtf8(input);
    if (parseSourceUrl(source, &server, &playlist)) {
        FUZZ_CHECK(!server.isEmpty() && !server.contains(QLatin1Char('/')));
        FUZZ_CHECK(!playlist.endsWith(QLatin1Char('/')));
        QString server2;
        QString playlist2;
        FUZZ_CHECK(parseSourceUrl(sourceUrl(server, playlist), &server2, &playlist2));
        FUZZ_CHECK(server2 == server && playlist2 == playlist);
    }
    return 0;
}
