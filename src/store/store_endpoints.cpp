#include "store/store_endpoints.hpp"

#include <map>

namespace quillora::store {
namespace {
constexpr const char* main_host = "mall.quillora.net";

// The web edition of the store for each host robot that has one.
const std::map<int, std::string>& web_hosts() {
  static const std::map<int, std::string> hosts{
      {1, "vexa.quillora.net"},   {2, "lumo.quillora.net"},  {3, "brisko.quillora.net"},
      {4, "zinvo.quillora.net"},  {5, "ostrel.quillora.net"}, {8, "kestra.quillora.net"},
  };
  return hosts;
}

std::string without_trailing_slash(std::string url) {
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url;
}
}  // namespace

StoreEndpoints StoreEndpoints::deployment() {
  return {.http_base = std::string("http://") + main_host,
          .https_base = std::string("https://") + main_host,
          .ca_file = {},
          .local = false};
}

StoreEndpoints StoreEndpoints::from_options(const app::Options& options) {
  StoreEndpoints endpoints = deployment();
  if (!options.store_url.empty()) {
    endpoints.http_base = without_trailing_slash(options.store_url);
    endpoints.local = true;
  }
  if (!options.store_tls_url.empty()) {
    endpoints.https_base = without_trailing_slash(options.store_tls_url);
    endpoints.local = true;
  }
  endpoints.ca_file = options.ca_file;
  return endpoints;
}

std::string StoreEndpoints::web_edition_url(int robot_id) const {
  const auto& hosts = web_hosts();
  auto it = hosts.find(robot_id);
  if (it == hosts.end()) return http_base;
  // A local store serves the web editions itself; the deployment hosts are out of reach there.
  if (local) return http_base + "/web/" + std::to_string(robot_id);
  return "http://" + it->second;
}

}  // namespace quillora::store
