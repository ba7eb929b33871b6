#pragma once
// Where the store lives. The deployment hosts are constants; --store-url / --store-tls-url point the
// program at another store (the local one in tests and the demo), whose web editions are then its
// own pages "/web/<robot id>".
#include <string>

#include "app/core/options.hpp"

namespace quillora::store {

struct StoreEndpoints {
  std::string http_base;   // "http://host[:port]", no trailing "/"
  std::string https_base;  // "https://host[:port]"
  std::string ca_file;     // extra CA bundle for the store's certificate, may be empty
  bool local = false;      // true when the bases were given on the command line

  static StoreEndpoints deployment();
  static StoreEndpoints from_options(const app::Options& options);

  std::string http(const std::string& path) const { return http_base + path; }
  std::string https(const std::string& path) const { return https_base + path; }
  // The web edition of the store for a host robot ("http://" + its web host, or the main host).
  std::string web_edition_url(int robot_id) const;
};

}  // namespace quillora::store
