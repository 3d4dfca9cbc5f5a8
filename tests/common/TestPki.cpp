#include "tests/common/TestPki.h"

#include <cstdio>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace nettest {

void PkeyFree::operator()(EVP_PKEY* key) const {
    EVP_PKEY_free(key);
}
void X509Free::operator()(X509* cert) const {
    X509_free(cert);
}
void CtxFree::operator()(SSL_CTX* context) const {
    SSL_CTX_free(context);
}

namespace {

long serial = 1;

Key newKey() {
    return Key(EVP_EC_gen("P-256"));
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (extension != nullptr) {
        X509_add_ext(cert, extension, -1);
        X509_EXTENSION_free(extension);
    }
}

Cert newCert(EVP_PKEY* key, const std::string& commonName, long from, long to) {
    Cert cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), from);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), to);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    return cert;
}

Identity makeServer(const Identity& issuer, const std::string& altNames, long fromSeconds, long toSeconds,
                    const std::string& usage) {
    Identity leaf{newKey(), nullptr};
    leaf.cert = newCert(leaf.key.get(), "test server", fromSeconds, toSeconds);
    X509_set_issuer_name(leaf.cert.get(), X509_get_subject_name(issuer.cert.get()));
    addExtension(leaf.cert.get(), issuer.cert.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(leaf.cert.get(), issuer.cert.get(), NID_key_usage, "critical,digitalSignature");
    addExtension(leaf.cert.get(), issuer.cert.get(), NID_ext_key_usage, usage);
    addExtension(leaf.cert.get(), issuer.cert.get(), NID_subject_alt_name, altNames);
    addExtension(leaf.cert.get(), issuer.cert.get(), NID_authority_key_identifier, "keyid:always");
    X509_sign(leaf.cert.get(), issuer.key.get(), EVP_sha256());
    return leaf;
}

} // namespace

Identity TestPki::authority(const std::string& commonName, const Identity* issuer) {
    Identity ca{newKey(), nullptr};
    ca.cert = newCert(ca.key.get(), commonName, -3600, 86400 * 30);
    const Identity& signer = issuer != nullptr ? *issuer : ca;
    X509_set_issuer_name(ca.cert.get(), X509_get_subject_name(signer.cert.get()));
    addExtension(ca.cert.get(), signer.cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(ca.cert.get(), signer.cert.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(ca.cert.get(), ca.cert.get(), NID_subject_key_identifier, "hash");
    if (issuer != nullptr)
        addExtension(ca.cert.get(), signer.cert.get(), NID_authority_key_identifier, "keyid:always");
    X509_sign(ca.cert.get(), signer.key.get(), EVP_sha256());
    return ca;
}

Identity TestPki::server(const Identity& issuer, const std::string& altNames, long fromSeconds,
                         long toSeconds) {
    return makeServer(issuer, altNames, fromSeconds, toSeconds, "serverAuth");
}

Identity TestPki::server(const Identity& issuer, const std::string& altNames, const std::string& usage) {
    return makeServer(issuer, altNames, -3600, 86400, usage);
}

std::string TestPki::der(const Cert& cert) {
    unsigned char* bytes = nullptr;
    const int length = i2d_X509(cert.get(), &bytes);
    std::string encoded(length > 0 ? reinterpret_cast<const char*>(bytes) : "", length > 0 ? length : 0);
    OPENSSL_free(bytes);
    return encoded;
}

bool TestPki::writePem(const Cert& cert, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return false;
    bool ok = PEM_write_X509(file, cert.get()) == 1;
    std::fclose(file);
    return ok;
}

bool TestPki::writeKeyPem(const Key& key, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return false;
    bool ok = PEM_write_PrivateKey(file, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(file);
    return ok;
}

ServerContext TestPki::context(const Identity& identity, int minVersion, int maxVersion, int securityLevel) {
    ServerContext context(SSL_CTX_new(TLS_server_method()));
    if (securityLevel >= 0)
        SSL_CTX_set_security_level(context.get(), securityLevel);
    if (minVersion != 0)
        SSL_CTX_set_min_proto_version(context.get(), minVersion);
    if (maxVersion != 0)
        SSL_CTX_set_max_proto_version(context.get(), maxVersion);
    SSL_CTX_use_certificate(context.get(), identity.cert.get());
    SSL_CTX_use_PrivateKey(context.get(), identity.key.get());
    return context;
}

ServerContext TestPki::context(const Identity& identity, const std::vector<const Identity*>& chain) {
    ServerContext made = context(identity);
    for (const Identity* authority : chain)
        SSL_CTX_add1_chain_cert(made.get(), authority->cert.get());
    return made;
}

} // namespace nettest
