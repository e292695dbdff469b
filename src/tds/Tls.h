#pragma once
// TLS through memory buffers: the connection decides where the records travel (inside login
// packets during the handshake, straight on the socket after it), OpenSSL only transforms them.

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace tds {

class TlsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TlsContext {
public:
    // Loads the certificate chain and the private key (PEM); throws TlsError with OpenSSL's reason.
    static std::shared_ptr<TlsContext> fromFiles(const std::string &certificate, const std::string &key);
    ~TlsContext();
    SSL_CTX *handle() const { return m_ctx; }

private:
    explicit TlsContext(SSL_CTX *ctx) : m_ctx(ctx) {}
    SSL_CTX *m_ctx;
};

// One connection's TLS state. Safe to use from the reading and the writing thread at once.
class TlsChannel {
public:
    explicit TlsChannel(std::shared_ptr<TlsContext> context);
    ~TlsChannel();
    TlsChannel(const TlsChannel &) = delete;
    TlsChannel &operator=(const TlsChannel &) = delete;

    // Takes handshake bytes from the client and returns those to send back (possibly none).
    std::string handshake(std::string_view incoming);
    bool established() const;
    std::string version() const;

    std::string encrypt(std::string_view plain);
    // Returns the plain text the records complete so far; throws TlsError for a broken record.
    std::string decrypt(std::string_view records);

private:
    std::string drainOutput();
    [[noreturn]] void fail(const char *what);

    std::shared_ptr<TlsContext> m_context;
    mutable std::mutex m_mutex;
    SSL *m_ssl = nullptr;
    BIO *m_in = nullptr;  // owned by m_ssl
    BIO *m_out = nullptr; // owned by m_ssl
    bool m_established = false;
};

} // namespace tds
