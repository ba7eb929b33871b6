// Side by side: a paging click until the page's rows are in the list (the page load's worker, the
// fetch, the reading of every cell, the post to the window thread and the filling of the list)
// against the bare work under it: one HTTP fetch of the same page and one parse of its text.
// The page loader's fetch and cell reading alone is timed too, to show where the time goes.
// Runs alternate which of the two goes first; medians are compared.
// Usage: page_show_bench HTTP_URL CA_FILE [RUNS]   (the store's robot 1 should have a full page)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/core/app_state.hpp"
#include "bench_window.hpp"
#include "net/web_request.hpp"
#include "page_figures.hpp"
#include "store/catalogue.hpp"
#include "store/store_context.hpp"
#include "store/store_endpoints.hpp"

using quillora::bench::Clock;
using quillora::bench::median;
using quillora::bench::micros;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s HTTP_URL CA_FILE [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 31;
  quillora::net::init_transport();
  quillora::store::StoreEndpoints endpoints;
  endpoints.http_base = argv[1];
  endpoints.ca_file = argv[2];
  quillora::app::AppState state;
  state.robot_id = 1;
  state.current_page = 1;
  state.page_count = 1;
  quillora::bench::BenchWindow window;
  quillora::store::StoreContext ctx{state, window, endpoints};
  const std::string url = endpoints.http("/Api/Plugin/lst/robot/1/p/1");

  std::size_t rows = 0, page_bytes = 0;
  // The clock stops when the rows are in the list; the worker's own ending is waited for after it.
  auto click = [&] {
    window.rows.clear();
    const auto start = Clock::now();
    quillora::store::start_page_load(ctx);
    window.run_until([&] { return !window.rows.empty(); }, std::chrono::seconds(10));
    const auto end = Clock::now();
    window.settle();
    rows = window.rows.size();
    return micros(end - start);
  };
  auto bare = [&] {
    const auto fetched = quillora::bench::fetch_and_parse(url, endpoints.ca_file);
    page_bytes = fetched.bytes;
    if (fetched.count <= 0) std::fprintf(stderr, "the page did not parse\n");
    return fetched.micros;
  };

  // Between the two: the page loader's own fetch and reading of every cell, without the window.
  auto loader = [&] {
    const auto start = Clock::now();
    const auto page = quillora::store::fetch_catalogue_page(endpoints, 1, 1);
    const auto end = Clock::now();
    if (page.empty()) std::fprintf(stderr, "the loader read no rows\n");
    return micros(end - start);
  };

  // The same on a thread of its own, as each page load runs: what a fresh thread costs the loader.
  auto fresh_loader = [&] {
    double us = 0;
    std::thread([&] { us = loader(); }).join();
    return us;
  };

  for (int i = 0; i < 3; ++i)
    click(), bare(), loader(), fresh_loader();  // warm-up: connections, ICU, the allocator
  std::vector<double> shown, fetched, loaded, fresh;
  for (int i = 0; i < runs; ++i) {
    if (i % 2 == 0) {
      shown.push_back(click());
      fetched.push_back(bare());
      loaded.push_back(loader());
      fresh.push_back(fresh_loader());
    } else {
      fresh.push_back(fresh_loader());
      loaded.push_back(loader());
      fetched.push_back(bare());
      shown.push_back(click());
    }
  }
  const double shown_us = median(shown), fetched_us = median(fetched);
  std::printf("page                 %zu rows, %zu bytes\n", rows, page_bytes);
  std::printf("click to rows shown  %.0f us (median of %d)\n", shown_us, runs);
  std::printf("bare fetch + parse   %.0f us (median of %d)\n", fetched_us, runs);
  std::printf("loader fetch + cells  %.0f us (median of %d)\n", median(loaded), runs);
  std::printf("  on a fresh thread   %.0f us (median of %d)\n", median(fresh), runs);
  std::printf("ratio                %.2f\n", shown_us / fetched_us);
  return rows > 0 ? 0 : 1;
}
