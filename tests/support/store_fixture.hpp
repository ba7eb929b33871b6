#pragma once
// Starts the local store (quillora-store) as a child process on free loopback ports, with its own
// temporary state directory, and stops it again. A failure to start is reported as a test failure.
//
//   quillora::test::StoreServer store;
//   ASSERT_TRUE(store.start());
//   auto endpoints = store.endpoints();              // http, https and the CA, ready for the client
//   auto faulty = store.endpoints("/fault/cut");     // the same store, every answer cut halfway
//
// The store is told to end with the thread that started it (so that a crashed test leaves no store
// behind): start it from the test's own thread or a fixture's SetUp, not from a short-lived thread.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "store/store_endpoints.hpp"
#include "support/temp_dir.hpp"

namespace quillora::test {

class StoreServer {
 public:
  struct Options {
    std::string base_path;               // prefix of every endpoint URL, such as "/fault/cut"
    std::filesystem::path catalogue;     // another catalogue file; empty: the sample one
    std::uint64_t file_bytes_per_s = 0;  // pace of the plugin files; 0: full speed
  };

  StoreServer();
  explicit StoreServer(Options options);
  ~StoreServer();  // stops the store
  StoreServer(const StoreServer&) = delete;
  StoreServer& operator=(const StoreServer&) = delete;

  // Starts the store and waits (with a deadline) for its line of URLs. False, with a test failure
  // added, when it does not come up.
  bool start();
  // SIGTERM, then waits for the exit; true when the store ended cleanly (status 0).
  bool stop();
  // SIGKILL: the store dies mid-flight, as in a crash.
  void kill();
  // Starts the store again on the same ports and state directory (stopping it first if it runs).
  bool restart();
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  const std::string& http_url() const { return http_url_; }    // "http://127.0.0.1:P"
  const std::string& https_url() const { return https_url_; }  // "https://127.0.0.1:Q"
  const std::string& ca_file() const { return ca_file_; }
  const std::filesystem::path& state_dir() const { return state_dir_.path(); }
  int http_port() const { return http_port_; }
  int https_port() const { return https_port_; }

  // Endpoints of this store for the client, under the base path given at construction or here.
  store::StoreEndpoints endpoints() const { return endpoints(options_.base_path); }
  store::StoreEndpoints endpoints(std::string_view base_path) const;

  // The bytes of the plugin file called name (its length is given by the catalogue): byte i is
  // (i + phase) % 251, the phase derived from the name.
  static std::string plugin_file_bytes(std::string_view name, std::uint64_t size);
  // The sample catalogue of the source tree.
  static std::filesystem::path sample_catalogue();

 private:
  bool launch(int http_port, int https_port, bool report = true);

  Options options_;
  TempDir state_dir_;
  pid_t pid_ = -1;
  std::string http_url_, https_url_, ca_file_;
  int http_port_ = 0, https_port_ = 0;
};

}  // namespace quillora::test
