#include "tls_material.hpp"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

namespace quillora::devstore {
namespace {
struct X509Free {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FileClose {
  void operator()(FILE* file) const { std::fclose(file); }
};
using Cert = std::unique_ptr<X509, X509Free>;
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using File = std::unique_ptr<FILE, FileClose>;

constexpr long ten_years = 10L * 365 * 24 * 3600;

std::string openssl_error(const std::string& what) {
  char text[256] = {};
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  return what + ": " + text;
}

bool add_extension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (extension == nullptr) return false;
  bool ok = X509_add_ext(cert, extension, -1) == 1;
  X509_EXTENSION_free(extension);
  return ok;
}

// A certificate for key, named common_name, signed by issuer_key (issuer == nullptr: self-signed).
Cert make_certificate(EVP_PKEY* key, const char* common_name, X509* issuer, EVP_PKEY* issuer_key,
                      const std::vector<std::pair<int, const char*>>& extensions) {
  Cert cert(X509_new());
  if (!cert) return nullptr;
  unsigned char serial[16];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7f;  // positive
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  bool ok = number != nullptr && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get())) != nullptr;
  BN_free(number);
  X509_NAME* name = X509_get_subject_name(cert.get());
  ok = ok && X509_set_version(cert.get(), 2) == 1 &&
       X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24 * 3600) != nullptr &&
       X509_gmtime_adj(X509_getm_notAfter(cert.get()), ten_years) != nullptr &&
       X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Quillora"),
                                  -1, -1, 0) == 1 &&
       X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                  reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0) == 1 &&
       X509_set_issuer_name(cert.get(), issuer != nullptr ? X509_get_subject_name(issuer) : name) == 1 &&
       X509_set_pubkey(cert.get(), key) == 1;
  for (const auto& [nid, value] : extensions) {
    ok = ok && add_extension(cert.get(), issuer != nullptr ? issuer : cert.get(), nid, value);
  }
  ok = ok && X509_sign(cert.get(), issuer_key, EVP_sha256()) > 0;
  return ok ? std::move(cert) : nullptr;
}

// Writes through a temporary file and a rename, so that a store killed meanwhile leaves no half file.
bool write_pem(const std::filesystem::path& path, X509* cert, EVP_PKEY* key) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    File file(std::fopen(temporary.c_str(), "wb"));
    if (!file) return false;
    if (key != nullptr) ::fchmod(fileno(file.get()), 0600);
    bool ok = cert != nullptr
                  ? PEM_write_X509(file.get(), cert) == 1
                  : PEM_write_PrivateKey(file.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (!ok || std::fflush(file.get()) != 0) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  return !ec;
}

bool make_material(const std::filesystem::path& dir, std::string& error) {
  Key ca_key(EVP_EC_gen("P-256"));
  Key server_key(EVP_EC_gen("P-256"));
  if (!ca_key || !server_key) {
    error = openssl_error("key generation");
    return false;
  }
  Cert ca = make_certificate(ca_key.get(), "Quillora local store CA", nullptr, ca_key.get(),
                             {{NID_basic_constraints, "critical,CA:TRUE"},
                              {NID_key_usage, "critical,keyCertSign,cRLSign"},
                              {NID_subject_key_identifier, "hash"},
                              {NID_authority_key_identifier, "keyid:always"}});
  if (!ca) {
    error = openssl_error("CA certificate");
    return false;
  }
  Cert server = make_certificate(server_key.get(), "127.0.0.1", ca.get(), ca_key.get(),
                                 {{NID_basic_constraints, "critical,CA:FALSE"},
                                  {NID_key_usage, "critical,digitalSignature,keyEncipherment"},
                                  {NID_ext_key_usage, "serverAuth"},
                                  {NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
                                  {NID_subject_key_identifier, "hash"},
                                  {NID_authority_key_identifier, "keyid:always"}});
  if (!server) {
    error = openssl_error("server certificate");
    return false;
  }
  // ca.pem last: its presence tells a later start that the set is complete.
  if (!write_pem(dir / "server-key.pem", nullptr, server_key.get()) ||
      !write_pem(dir / "server.pem", server.get(), nullptr) ||
      !write_pem(dir / "ca-key.pem", nullptr, ca_key.get()) ||
      !write_pem(dir / "ca.pem", ca.get(), nullptr)) {
    error = "cannot write the certificates into " + dir.string();
    return false;
  }
  return true;
}
}  // namespace

TlsMaterial load_tls_material(const std::filesystem::path& state_dir, std::string& error) {
  TlsMaterial material;
  material.ca_file = std::filesystem::absolute(state_dir / "ca.pem");
  std::error_code ec;
  if (!std::filesystem::exists(material.ca_file, ec) && !make_material(state_dir, error)) return material;
  SslContext context(SSL_CTX_new(TLS_server_method()));
  if (!context) {
    error = openssl_error("SSL_CTX_new");
    return material;
  }
  SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
  std::string cert = (state_dir / "server.pem").string(), key = (state_dir / "server-key.pem").string();
  if (SSL_CTX_use_certificate_file(context.get(), cert.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_use_PrivateKey_file(context.get(), key.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(context.get()) != 1) {
    error = openssl_error("server certificate in " + state_dir.string());
    return material;
  }
  material.context = std::move(context);
  return material;
}

}  // namespace quillora::devstore
