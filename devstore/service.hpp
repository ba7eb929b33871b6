#pragma once
// The store's answers: its API, the plugin files, its web pages and the endpoints that the transport
// tests talk to. Every path may start with fault prefixes ("/fault/cut/Api/...") that spoil the
// answer on purpose.
#include <httplib.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "catalogue.hpp"
#include "reply.hpp"

namespace quillora::devstore {

struct ServiceOptions {
  std::filesystem::path state_dir;
  std::uint64_t file_bytes_per_s = 0;  // pace of plugin files (the demo); 0: no pacing
};

// The fault switches of one request, taken from its path prefix.
struct Faults {
  Delivery delivery;
  bool status500 = false, redirect = false, badjson = false, escapes = false, huge = false, big = false;
  std::string prefix;  // every fault segment, "/fault/cut/fault/drip"
};

// byte i of the plugin file called name is (i + file_phase(name)) % 251.
unsigned file_phase(std::string_view name);

class StoreService {
 public:
  StoreService(Catalogue& catalogue, ServiceOptions options);
  void handle(const httplib::Request& req, httplib::Response& res);

 private:
  Reply route(const httplib::Request& req, const std::string& path, const Faults& faults);
  std::optional<Reply> store_api(const httplib::Request& req, const std::string& path, const Faults& faults);
  std::optional<Reply> plugin_file(const std::string& path);
  std::optional<Reply> web_page(const std::string& path);
  std::optional<Reply> test_endpoint(const httplib::Request& req, const std::string& path);
  // "scheme://host:port" + prefix, as the client reached this store.
  std::string base_url(const httplib::Request& req, const std::string& prefix) const;
  void remember_head();

  Catalogue& catalogue_;
  ServiceOptions options_;
  std::mutex last_mutex_;
  std::string last_head_;
};

}  // namespace quillora::devstore
