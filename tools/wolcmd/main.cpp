#include "wolpacket.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUdpSocket>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    const QString program = QFileInfo(arguments.takeFirst()).fileName();

    // Run without arguments (the server's availability test): print the usage and succeed.
    if (arguments.isEmpty()) {
        std::fputs(qPrintable(wol::usage(program)), stdout);
        return 0;
    }

    wol::Request request;
    QString error;
    if (!wol::parseArguments(arguments, &request, &error)) {
        std::fprintf(stderr, "%s: %s\n%s", qPrintable(program), qPrintable(error),
                     qPrintable(wol::usage(program)));
        return 2;
    }

    QUdpSocket socket;
    const QByteArray packet = wol::magicPacket(request.mac);
    const qint64 sent = socket.writeDatagram(packet, request.destination, request.port);
    if (sent != packet.size()) {
        std::fprintf(stderr, "%s: cannot send to %s port %u: %s\n", qPrintable(program),
                     qPrintable(request.destination.toString()), request.port,
                     qPrintable(socket.errorString()));
        return 1;
    }
    std::printf("Wake-on-LAN packet sent to %s port %u\n", qPrintable(request.destination.toString()),
                request.port);
    return 0;
}
