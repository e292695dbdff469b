#include "tds/Tls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace tds {

namespace {

std::string lastError(const char *what)
{
    std::string text = what;
    if (const unsigned long code = ERR_get_error()) {
        char buf[256];
        ERR_error_string_n(code, buf, sizeof buf);
        text += ": ";
        text += buf;
    }
    ERR_clear_error();
    return text;
}

} // namespace

std::shared_ptr<TlsContext> TlsContext::fromFiles(const std::string &certificate, const std::string &key)
{
    SSL_CTX *ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx)
        throw TlsError(lastError("cannot create a TLS context"));
    std::shared_ptr<TlsContext> context(new TlsContext(ctx));
    // TLS 1.2 is what TDS 7.x clients negotiate inside the login packets; 1.3's messages after
    // the handshake (session tickets) would arrive where those clients no longer expect them.
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    if (SSL_CTX_use_certificate_chain_file(ctx, certificate.c_str()) != 1)
        throw TlsError(lastError(("cannot read the certificate " + certificate).c_str()));
    if (SSL_CTX_use_PrivateKey_file(ctx, key.c_str(), SSL_FILETYPE_PEM) != 1)
        throw TlsError(lastError(("cannot read the private key " + key).c_str()));
    if (SSL_CTX_check_private_key(ctx) != 1)
        throw TlsError(lastError("the private key does not belong to the certificate"));
    return context;
}

TlsContext::~TlsContext() { SSL_CTX_free(m_ctx); }

TlsChannel::TlsChannel(std::shared_ptr<TlsContext> context) : m_context(std::move(context))
{
    m_ssl = SSL_new(m_context->handle());
    m_in = BIO_new(BIO_s_mem());
    m_out = BIO_new(BIO_s_mem());
    if (!m_ssl || !m_in || !m_out)
        throw TlsError(lastError("cannot start TLS"));
    BIO_set_mem_eof_return(m_in, -1);
    SSL_set_bio(m_ssl, m_in, m_out);
    SSL_set_accept_state(m_ssl);
}

TlsChannel::~TlsChannel() { SSL_free(m_ssl); }

void TlsChannel::fail(const char *what) { throw TlsError(lastError(what)); }

std::string TlsChannel::drainOutput()
{
    std::string out;
    char buf[16384];
    int n;
    while ((n = BIO_read(m_out, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    return out;
}

std::string TlsChannel::handshake(std::string_view incoming)
{
    std::lock_guard lock(m_mutex);
    if (!incoming.empty() && BIO_write(m_in, incoming.data(), static_cast<int>(incoming.size())) <= 0)
        fail("TLS handshake buffer");
    const int rc = SSL_do_handshake(m_ssl);
    if (rc == 1) {
        m_established = true;
    } else {
        const int e = SSL_get_error(m_ssl, rc);
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE)
            fail("TLS handshake failed");
    }
    return drainOutput();
}

bool TlsChannel::established() const
{
    std::lock_guard lock(m_mutex);
    return m_established;
}

std::string TlsChannel::version() const
{
    std::lock_guard lock(m_mutex);
    return SSL_get_version(m_ssl);
}

std::string TlsChannel::encrypt(std::string_view plain)
{
    std::lock_guard lock(m_mutex);
    std::string out;
    while (!plain.empty()) {
        const int n = SSL_write(m_ssl, plain.data(), static_cast<int>(std::min<std::size_t>(plain.size(), 16384)));
        if (n <= 0)
            fail("TLS write failed");
        plain.remove_prefix(static_cast<std::size_t>(n));
        out += drainOutput();
    }
    return out;
}

std::string TlsChannel::decrypt(std::string_view records)
{
    std::lock_guard lock(m_mutex);
    if (!records.empty() && BIO_write(m_in, records.data(), static_cast<int>(records.size())) <= 0)
        fail("TLS read buffer");
    std::string out;
    char buf[16384];
    for (;;) {
        const int n = SSL_read(m_ssl, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        const int e = SSL_get_error(m_ssl, n);
        if (e == SSL_ERROR_WANT_READ)
            break;
        if (e == SSL_ERROR_ZERO_RETURN)
            throw TlsError("the client closed TLS");
        fail("TLS record rejected");
    }
    return out;
}

} // namespace tds
