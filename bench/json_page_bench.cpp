// Reading one catalogue page of 300 plugins the way the page loader reads it: parse, count, then for
// every plugin and every one of the ten members an element document and get_json of the member.
// `json_page_bench --write-page=FILE` writes the page text instead, for the comparison script.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "util/json_document.hpp"

namespace {

constexpr int kPlugins = 300;
constexpr std::string_view kMembers[] = {"plugin_name", "nick_name",   "type_name", "robot_name", "charge",
                                         "down_count",  "update_time", "plugin_id", "detail",     "uid"};

// A reply as the store writes it: members in the store's order, Chinese as \u escapes, "/" as "\/".
std::string make_page() {
  const std::string chinese[] = {R"(\u667a\u80fd\u95ee\u7b54)", R"(\u7fa4\u7ba1\u5bb6)",
                                 R"(\u5929\u6c14\u67e5\u8be2)", R"(\u70b9\u6b4c\u52a9\u624b)"};
  std::string page = "[";
  for (int i = 0; i < kPlugins; ++i) {
    const std::string& name = chinese[i % 4];
    if (i > 0) page += ',';
    page += R"({"plugin_id":")" + std::to_string(100000 + i) + R"(","plugin_name":")" + name +
            std::to_string(i) + R"(","nick_name":"\u4f5c\u8005)" + std::to_string(i % 37) + R"(","uid":")" +
            std::to_string(5000 + i % 37) +
            R"(","type_name":"\u5a31\u4e50\u5de5\u5177","robot_name":"vexa",)" + R"("charge":")" +
            std::to_string(1 + i % 3) + R"(","down_count":")" + std::to_string(i * 97 % 10007) +
            R"(","update_time":")" + std::to_string(1700000000 + i * 3600) + R"(","detail":")" + name +
            R"(\uff0c\u652f\u6301\u81ea\u5b9a\u4e49\u56de\u590d v1.0\/2.0"})";
  }
  return page + "]";
}

const std::string& page_text() {
  static const std::string page = make_page();
  return page;
}

void JsonPageRead(benchmark::State& state) {
  const std::string& text = page_text();
  std::size_t bytes = 0;
  for (auto _ : state) {
    quillora::util::JsonDocument page;
    page.parse(text);
    const int count = page.count();
    for (int i = 0; i < count; ++i) {
      for (const std::string_view member : kMembers) {
        const quillora::util::JsonDocument item = page.element_object(i);
        const std::string cell = item.get_json(member);
        bytes += cell.size();
        benchmark::DoNotOptimize(cell.data());
      }
    }
  }
  state.counters["page_bytes"] = static_cast<double>(text.size());
  state.counters["cell_bytes_per_page"] =
      static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(JsonPageRead)->Unit(benchmark::kMicrosecond);

void JsonPageParseOnly(benchmark::State& state) {
  const std::string& text = page_text();
  for (auto _ : state) {
    quillora::util::JsonDocument page;
    benchmark::DoNotOptimize(page.parse(text));
  }
}
BENCHMARK(JsonPageParseOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  constexpr std::string_view kWrite = "--write-page=";
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]).starts_with(kWrite)) {
      std::ofstream out(argv[i] + kWrite.size(), std::ios::binary);
      out << page_text();
      return out.good() ? 0 : 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
