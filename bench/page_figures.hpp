// What the page benchmarks share: medians, microseconds, and the bare work under a page load (one
// HTTP fetch of the page and one parse of its text) that the click is compared with.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "net/web_request.hpp"
#include "util/json_document.hpp"

namespace quillora::bench {

using Clock = std::chrono::steady_clock;

inline double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct FetchAndParse {
  double micros = 0;
  std::size_t bytes = 0;
  int count = 0;  // the page's plugins; 0 or less when it did not parse
};

inline FetchAndParse fetch_and_parse(const std::string& url, const std::string& ca_file) {
  const auto start = Clock::now();
  const auto response = net::web_request({.url = url, .ca_file = ca_file});
  util::JsonDocument page;
  page.parse(response.text);
  const int count = page.count();
  const auto end = Clock::now();
  return {micros(end - start), response.raw_body.size(), count};
}

}  // namespace quillora::bench
