#include "proxysettings.h"

#include "settingskeys.h"

#include <QCoreApplication>
#include <QNetworkReply>
#include <QSettings>

namespace updates {

ProxySettings readProxySettings(const QSettings& settings)
{
    ProxySettings s;
    s.enabled = rvx::settings::flag(settings, "rvxProxyServerEnabled");
    s.host = rvx::settings::text(settings, "rvxProxyServerIP");
    s.port = rvx::settings::text(settings, "rvxProxyServerPort");
    s.needsCredentials = rvx::settings::flag(settings, "rvxProxyServerNeedsCreds");
    s.username = rvx::settings::text(settings, "rvxProxyServerUsername");
    s.password = rvx::settings::text(settings, "rvxProxyServerPassword");
    return s;
}

QNetworkProxy networkProxy(const ProxySettings& settings)
{
    if (!settings.enabled)
        return QNetworkProxy(QNetworkProxy::NoProxy);
    QNetworkProxy proxy(QNetworkProxy::HttpProxy);
    proxy.setHostName(settings.host);
    bool ok = false;
    const quint16 port = settings.port.toUShort(&ok, 10);
    proxy.setPort(ok ? port : 0);
    if (settings.needsCredentials) {
        proxy.setUser(settings.username);
        proxy.setPassword(settings.password);
    }
    return proxy;
}

QNetworkProxy networkProxy(const QSettings& settings)
{
    return networkProxy(readProxySettings(settings));
}

int proxyFailureCode(int code, const QString& errorText)
{
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
        return QNetworkReply::ProxyConnectionRefusedError;
    case QNetworkReply::HostNotFoundError:
        return QNetworkReply::ProxyNotFoundError;
    case QNetworkReply::TimeoutError:
        return QNetworkReply::ProxyTimeoutError;
    case QNetworkReply::UnknownNetworkError:
        break;
    default:
        return code;
    }
    // The tunnel's own texts (translated like the network layer translates them).
    const auto is = [&errorText](const char* text) {
        return errorText == QCoreApplication::translate("QHttpSocketEngine", text);
    };
    if (is("Proxy connection refused"))
        return QNetworkReply::ProxyConnectionRefusedError;
    if (is("Proxy server not found") || is("Proxy host not found"))
        return QNetworkReply::ProxyNotFoundError;
    if (is("Proxy server connection timed out"))
        return QNetworkReply::ProxyTimeoutError;
    if (is("Proxy connection closed prematurely"))
        return QNetworkReply::ProxyConnectionClosedError;
    if (is("Proxy authentication failed") ||
        errorText.startsWith(QLatin1String("Proxy authentication failed")))
        return QNetworkReply::ProxyAuthenticationRequiredError;
    return QNetworkReply::UnknownProxyError;
}

} // namespace updates
