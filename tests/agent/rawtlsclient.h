#pragma once

// A plain OpenSSL client for the TLS tests: it offers exactly the protocol range it is given,
// old versions included, so that refusing them is the server's doing.

#include <QtGlobal>

#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// A blocking OpenSSL client limited to one protocol range, on its own thread.
struct RawClient
{
    std::atomic<int> result{0}; // 0 running, 1 handshake done, -1 refused
    std::thread thread;

    RawClient(quint16 port, int minVersion, int maxVersion)
    {
        thread = std::thread([this, port, minVersion, maxVersion]() {
            SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
            // Level 0 lets this client offer the old protocols at all: the server must refuse them.
            SSL_CTX_set_security_level(ctx, 0);
            SSL_CTX_set_cipher_list(ctx, "ALL:@SECLEVEL=0");
            SSL_CTX_set_min_proto_version(ctx, minVersion);
            SSL_CTX_set_max_proto_version(ctx, maxVersion);
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            int ok = -1;
            if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
                SSL* ssl = SSL_new(ctx);
                SSL_set_fd(ssl, fd);
                ok = SSL_connect(ssl) == 1 ? 1 : -1;
                SSL_free(ssl);
            }
            ::close(fd);
            SSL_CTX_free(ctx);
            result = ok;
        });
    }
    ~RawClient() { thread.join(); }
};
