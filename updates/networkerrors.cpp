#include "networkerrors.h"

namespace updates {

QString networkErrorText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("Server refused connection");
    case 2:
        return QString();
    case 3:
        return QStringLiteral("Server not found!");
    case 4:
        return QStringLiteral("A timeout occurred");
    case 5:
        return QStringLiteral("Operation was cancelled");
    case 6:
        return QStringLiteral("SSL handshake error");
    case 99:
        return QStringLiteral("Unknown network error");
    case 101:
        return QStringLiteral("Proxy connection was refused");
    case 102:
        return QStringLiteral("Proxy connection closed");
    case 103:
        return QStringLiteral("Proxy not found");
    case 104:
        return QStringLiteral("Proxy timed out");
    case 105:
        return QStringLiteral("Proxy requires authentication");
    case 199:
        return QStringLiteral("Unknown proxy");
    case 201:
        return QStringLiteral("Access to content denied");
    case 202:
        return QStringLiteral("Content operation not permitted");
    case 203:
        return QStringLiteral("File not found");
    case 204:
        return QStringLiteral("Authentication required");
    case 205:
        return QStringLiteral("Error resending data");
    case 299:
        return QStringLiteral("Unknown content type");
    case 301:
        return QStringLiteral("Unknown protocol");
    case 302:
        return QStringLiteral("Invalid operation for protocol");
    case 399:
        return QStringLiteral("Protocol failure");
    default:
        return QStringLiteral("Unknown error");
    }
}

} // namespace updates
