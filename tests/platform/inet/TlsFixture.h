#pragma once

// A locally made CA, server certificates signed by it or by a stranger, and a one-shot TLS
// server that answers 200 to one request.

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace pictavo::test {

struct Identity
{
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    ~Identity()
    {
        X509_free(cert);
        EVP_PKEY_free(key);
    }
};

// Days are relative to now; a negative notAfter makes an expired certificate.
inline void makeCertificate(Identity& out, const char* commonName, const Identity* issuer, long notBeforeDays,
                            long notAfterDays, bool ca)
{
    out.key = EVP_EC_gen("P-256");
    out.cert = X509_new();
    X509_set_version(out.cert, 2);
    static long serial = 1;
    ASN1_INTEGER_set(X509_get_serialNumber(out.cert), ++serial);
    X509_gmtime_adj(X509_getm_notBefore(out.cert), notBeforeDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(out.cert), notAfterDays * 86400);
    X509_set_pubkey(out.cert, out.key);
    X509_NAME* name = X509_get_subject_name(out.cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName),
                               -1, -1, 0);
    X509_set_issuer_name(out.cert, issuer ? X509_get_subject_name(issuer->cert) : name);
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer ? issuer->cert : out.cert, out.cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext =
        X509V3_EXT_conf_nid(nullptr, &ctx, NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
    X509_add_ext(out.cert, ext, -1);
    X509_EXTENSION_free(ext);
    if (!ca) {
        ext = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name,
                                  (std::string("DNS:") + commonName).c_str());
        X509_add_ext(out.cert, ext, -1);
        X509_EXTENSION_free(ext);
    }
    X509_sign(out.cert, issuer ? issuer->key : out.key, EVP_sha256());
}

inline void writePem(const std::string& path, X509* cert)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    PEM_write_X509(f, cert);
    std::fclose(f);
}

// Serves one TLS connection with the given identity; records whether a request arrived.
class TlsServer
{
public:
    explicit TlsServer(const Identity& id)
    {
        m_ctx = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(m_ctx, id.cert);
        SSL_CTX_use_PrivateKey(m_ctx, id.key);
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 4);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~TlsServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
        SSL_CTX_free(m_ctx);
    }
    int port() const { return m_port; }
    bool served() const { return m_served; }

private:
    void run()
    {
        pollfd p{m_listen, POLLIN, 0};
        while (!m_stop && ::poll(&p, 1, 50) <= 0) {
        }
        if (m_stop)
            return;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        SSL* ssl = SSL_new(m_ctx);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            std::string data;
            char buffer[4096];
            size_t end = std::string::npos;
            long length = 0;
            for (;;) {
                const int n = SSL_read(ssl, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                data.append(buffer, n);
                if (end == std::string::npos && (end = data.find("\r\n\r\n")) != std::string::npos) {
                    const size_t at = data.find("Content-Length: ");
                    length = at < end ? std::atol(data.c_str() + at + 16) : 0;
                }
                if (end != std::string::npos && data.size() >= end + 4 + length)
                    break;
            }
            const std::string answer =
                "HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nsecure";
            SSL_write(ssl, answer.data(), static_cast<int>(answer.size()));
            m_served = true;
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ::close(fd);
    }

    SSL_CTX* m_ctx;
    int m_listen;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_served{false};
    std::thread m_thread;
};

} // namespace pictavo::test
