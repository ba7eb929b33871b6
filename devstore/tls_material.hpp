#pragma once
// The store's own certificate authority and its server certificate for 127.0.0.1 and localhost,
// made on first start in the state directory and reused afterwards, so that a client is given the CA
// and verifies the store instead of trusting it blindly.
#include <openssl/ssl.h>

#include <filesystem>
#include <memory>
#include <string>

namespace quillora::devstore {

struct SslCtxFree {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
using SslContext = std::unique_ptr<SSL_CTX, SslCtxFree>;

struct TlsMaterial {
  std::filesystem::path ca_file;  // PEM certificate of the CA, for the clients
  SslContext context;             // server context holding the server certificate and key
};

// Loads the material from state_dir, making it first when it is not there. On failure the context
// is empty and error says why.
TlsMaterial load_tls_material(const std::filesystem::path& state_dir, std::string& error);

}  // namespace quillora::devstore
