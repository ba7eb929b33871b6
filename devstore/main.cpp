// quillora-store: the local Quillora store for the tests and the demo.
//   quillora-store --state-dir DIR [--http-port N] [--https-port N] [--catalogue FILE] [--file-rate BYTES]
//                  [--latency MS]
// Listens on 127.0.0.1 only, prints one JSON line with its URLs and CA file once both ports accept
// connections, and stops cleanly on SIGTERM or SIGINT.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "catalogue.hpp"
#include "listener.hpp"
#include "service.hpp"
#include "tls_material.hpp"

namespace {
namespace fs = std::filesystem;
using quillora::devstore::Listener;

struct Options {
  fs::path state_dir;
  int http_port = 0;
  int https_port = 0;
  fs::path catalogue;
  std::uint64_t file_rate = 0;
  std::chrono::milliseconds latency{0};
};

constexpr const char* usage =
    "usage: quillora-store --state-dir DIR [--http-port N] [--https-port N] [--catalogue FILE]"
    " [--file-rate BYTES_PER_S] [--latency MS]\n";

bool parse_number(const char* text, std::uint64_t limit, std::uint64_t& out) {
  char* end = nullptr;
  unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0' || value > limit) return false;
  out = value;
  return true;
}

bool parse_options(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    std::uint64_t number = 0;
    if (flag == "--state-dir") {
      options.state_dir = value;
    } else if (flag == "--catalogue") {
      options.catalogue = value;
    } else if (flag == "--http-port" && parse_number(value, 65535, number)) {
      options.http_port = static_cast<int>(number);
    } else if (flag == "--https-port" && parse_number(value, 65535, number)) {
      options.https_port = static_cast<int>(number);
    } else if (flag == "--file-rate" && parse_number(value, UINT64_MAX, number)) {
      options.file_rate = number;
    } else if (flag == "--latency" && parse_number(value, 60'000, number)) {
      options.latency = std::chrono::milliseconds(number);
    } else {
      return false;
    }
  }
  return !options.state_dir.empty();
}

// The sample catalogue of the source tree, else the one installed beside the binary.
fs::path default_catalogue() {
  std::error_code ec;
  fs::path source = fs::path(QUILLORA_DEVSTORE_DIR) / "catalogue.json";
  if (fs::exists(source, ec)) return source;
  return fs::read_symlink("/proc/self/exe", ec).parent_path() / "catalogue.json";
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}
}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse_options(argc, argv, options)) {
    std::cerr << usage;
    return 2;
  }
  // A client that goes away mid-answer is an ordinary event here, not a reason to die.
  signal(SIGPIPE, SIG_IGN);
  // The stop signals are taken by the main thread alone, with sigwait; every thread inherits the mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  std::error_code ec;
  fs::create_directories(options.state_dir, ec);
  if (ec) {
    std::cerr << "quillora-store: cannot create " << options.state_dir << ": " << ec.message() << "\n";
    return 1;
  }
  std::string error;
  auto catalogue = quillora::devstore::Catalogue::load(
      options.catalogue.empty() ? default_catalogue() : options.catalogue, error);
  if (!catalogue) {
    std::cerr << "quillora-store: " << error << "\n";
    return 1;
  }
  catalogue->load_tokens(options.state_dir);
  auto tls = quillora::devstore::load_tls_material(options.state_dir, error);
  if (!tls.context) {
    std::cerr << "quillora-store: " << error << "\n";
    return 1;
  }

  quillora::devstore::StoreService service(
      *catalogue, {.state_dir = options.state_dir, .file_bytes_per_s = options.file_rate});
  Listener http(nullptr), https(tls.context.get());
  for (Listener* listener : {&http, &https}) {
    auto handler = [&service, latency = options.latency](const httplib::Request& req,
                                                         httplib::Response& res) {
      // A store across a network answers a round trip later than one on loopback.
      if (latency.count() > 0) std::this_thread::sleep_for(latency);
      service.handle(req, res);
    };
    listener->Get(".*", handler).Post(".*", handler).Put(".*", handler).Delete(".*", handler);
    listener->Patch(".*", handler).Options(".*", handler);
  }
  int http_port = http.bind_loopback(options.http_port);
  int https_port = https.bind_loopback(options.https_port);
  if (http_port < 0 || https_port < 0) {
    std::cerr << "quillora-store: cannot listen on 127.0.0.1 port "
              << (http_port < 0 ? options.http_port : options.https_port) << "\n";
    return 1;
  }
  std::thread http_thread([&] { http.listen_after_bind(); });
  std::thread https_thread([&] { https.listen_after_bind(); });
  // Both accept loops run before the line goes out, so that stop() below always finds them running.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(http.is_running() && https.is_running()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::cout << "{\"http_url\":" << json_string("http://127.0.0.1:" + std::to_string(http_port))
            << ",\"https_url\":" << json_string("https://127.0.0.1:" + std::to_string(https_port))
            << ",\"ca_file\":" << json_string(tls.ca_file.string()) << "}" << std::endl;

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  quillora::devstore::stopping() = true;
  if (http.is_running()) http.stop();
  if (https.is_running()) https.stop();
  http_thread.join();
  https_thread.join();
  return 0;
}
