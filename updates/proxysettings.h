#pragma once

// The web proxy of the Options dialog, as the downloads from the mirror use it.

#include <QNetworkProxy>
#include <QString>

class QSettings;

namespace updates {

// The proxy keys of the settings store.
struct ProxySettings
{
    bool enabled = false;          // rvxProxyServerEnabled
    QString host;                  // rvxProxyServerIP
    QString port;                  // rvxProxyServerPort, decimal digits as typed
    bool needsCredentials = false; // rvxProxyServerNeedsCreds
    QString username;              // rvxProxyServerUsername
    QString password;              // rvxProxyServerPassword
};

// The proxy keys as stored (absent keys read as off and empty).
ProxySettings readProxySettings(const QSettings& settings);

// The proxy every request to the mirror goes through: an HTTP proxy with the host, the port
// (base 10; 0 when it is not a port number) and, when credentials are needed, the user name
// and password; no proxy at all (direct connections) when the proxy is off.
QNetworkProxy networkProxy(const ProxySettings& settings);
QNetworkProxy networkProxy(const QSettings& settings);

// The error code to report for a request through an HTTP proxy that failed before any answer
// arrived. A proxy that cannot be reached is reported by the network layer as if the mirror
// had refused the connection or could not be found (plain HTTP through the proxy), or as an
// unknown network error (a tunnelled HTTPS request); the administrator is told the proxy:
// refused 101, not found 103, timed out 104, closed 102, authentication 105, anything else
// at the proxy 199. `errorText` is the reply's own error text, which tells the tunnel's
// failures apart. Other codes are returned unchanged.
int proxyFailureCode(int code, const QString& errorText);

} // namespace updates
