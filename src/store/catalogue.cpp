#include "store/catalogue.hpp"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

#include "net/web_request.hpp"
#include "store/reply.hpp"
#include "util/gbk.hpp"
#include "util/json_document.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;

std::string page_path(std::string_view what, int robot_id, int page) {
  return std::string(what) + std::to_string(robot_id) + "/p/" + std::to_string(page);
}

// The price class as the list shows it; "" for a value the store does not define.
const std::string& charge_text(std::string_view value) {
  static const std::string free_text = "免费"_gbk, paid_text = "收费"_gbk, part_paid_text = "半收费"_gbk,
                           none;
  if (value == "1") return free_text;
  if (value == "2") return paid_text;
  if (value == "3") return part_paid_text;
  return none;
}

// atoi over 64 bits: leading blanks, a sign, then decimal digits up to the first other character.
std::int64_t leading_integer(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100'000'000'000'000'000; ++i)
    value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

// A decimal number as a script engine's Number() reads it: surrounding white space allowed, the whole
// rest must be the number. nullopt when it is not one.
std::optional<double> script_number(std::string_view text) {
  auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  bool negative = text.front() == '-';
  if (text.front() == '-' || text.front() == '+') text.remove_prefix(1);
  if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.'))
    return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

std::string seconds_form(std::int64_t seconds, bool clock_24_hour) {
  using namespace std::chrono;
  // 08:00:00 on the first day, whatever the machine's zone: the store counts from Beijing midnight.
  sys_seconds instant = sys_days{year{1970} / 1 / 1} + hours{8} + std::chrono::seconds{seconds};
  sys_days day = floor<days>(instant);
  year_month_day date{day};
  hh_mm_ss<std::chrono::seconds> time{instant - day};
  long hour = time.hours().count();
  if (!clock_24_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%u-%02u %02ld:%02ld:%02ld", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), hour,
                static_cast<long>(time.minutes().count()), static_cast<long>(time.seconds().count()));
  return buffer;
}

std::string milliseconds_form(std::string_view text) {
  auto number = script_number(text);
  // The range of a script Date: beyond it the date is invalid and shows nothing.
  if (!number || std::fabs(*number) > 8.64e15) return {};
  auto milliseconds = static_cast<std::int64_t>(std::trunc(*number));
  std::int64_t seconds = milliseconds / 1000 - (milliseconds % 1000 < 0 ? 1 : 0);
  std::time_t when = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return {};
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lld-%d-%d %02d:%02d:%02d",
                static_cast<long long>(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec);
  return buffer;
}

struct LocaleDeleter {
  void operator()(locale_t locale) const { freelocale(locale); }
};

PluginRow row_from_element(const util::JsonDocument& element, std::optional<bool>& clock_24_hour) {
  PluginRow row;
  for (int column = 0; column < app::plugin_column_count; ++column) {
    std::string value = strip_quotes(element.get_json(app::plugin_columns[column].member));
    auto& cell = row[static_cast<std::size_t>(column)];
    switch (column) {
      case app::col_charge:
        cell = charge_text(value);
        break;
      case app::col_updated: {
        value += "000";
        if (value.size() == 10 && !clock_24_hour) clock_24_hour = locale_uses_24_hour_clock();
        cell = timestamp_to_text(value, clock_24_hour.value_or(true));
        break;
      }
      default:
        cell = std::move(value);
    }
  }
  return row;
}

}  // namespace

void query_page_count(StoreContext& ctx) {
  std::string url = ctx.endpoints.http(
      page_path("/Api/Plugin/getlstcount/robot/", ctx.state.robot_id, ctx.state.current_page));
  std::string reply;
  ctx.window.run_and_wait(
      [&] { reply = net::web_request({.url = url, .ca_file = ctx.endpoints.ca_file}).text; }, false);
  ctx.state.page_count = read_page_count(reply);
}

void start_page_load(StoreContext& ctx) {
  app::AppState& state = ctx.state;
  app::Window& window = ctx.window;
  // Each load knows its number; only the latest one may put rows into the list, so that two loads
  // running at once never mix their pages. Every load enables the paging buttons at its end.
  std::uint64_t generation = ++state.page_generation;
  // The page is taken now, on the window's thread: a worker that starts late must still fetch the page
  // it was started for, not whichever page a later click has chosen meanwhile.
  const int robot_id = state.robot_id, page = state.current_page;
  window.start_worker([&state, &window, endpoints = ctx.endpoints, generation, robot_id, page] {
    window.post([&state, &window, generation] {
      if (state.page_generation == generation) window.clear_rows();
    });
    auto rows = fetch_catalogue_page(endpoints, robot_id, page);
    window.post([&state, &window, generation, rows = std::move(rows)] {
      if (state.page_generation == generation) {
        window.clear_rows();
        window.append_rows(rows);
      }
      for (auto button : {app::Control::first_page_button, app::Control::last_page_button,
                          app::Control::prev_page_button, app::Control::next_page_button})
        window.set_enabled(button, true);
    });
  });
}

std::vector<PluginRow> fetch_catalogue_page(const StoreEndpoints& endpoints, int robot_id, int page) {
  std::string url = endpoints.http(page_path("/Api/Plugin/lst/robot/", robot_id, page));
  return rows_from_reply(
      net::web_request({.url = url, .ca_file = endpoints.ca_file, .max_body = max_page_bytes}).text);
}

std::vector<PluginRow> rows_from_reply(std::string_view reply) {
  util::JsonDocument page;
  page.parse(reply);
  int count = page.count();
  std::vector<PluginRow> rows;
  if (count < 1 || count > max_page_rows) return rows;
  rows.reserve(static_cast<std::size_t>(count));
  std::optional<bool> clock_24_hour;
  for (int i = 0; i < count; ++i) rows.push_back(row_from_element(page.element_object(i), clock_24_hour));
  return rows;
}

void first_page(StoreContext& ctx) {
  auto& state = ctx.state;
  if (state.page_count < 1) return ctx.window.message_box("商城暂无本机器人的插件"_gbk);
  if (state.current_page == 1) return ctx.window.message_box("已结是首页了"_gbk);
  ctx.window.set_enabled(app::Control::first_page_button, false);
  state.current_page = 1;
  start_page_load(ctx);
}

void previous_page(StoreContext& ctx) {
  auto& state = ctx.state;
  if (state.page_count == 1) return ctx.window.message_box("当前商城列表只有1页"_gbk);
  if (state.page_count < 1) return ctx.window.message_box("商城暂无本机器人的插件"_gbk);
  if (state.current_page == 1) return ctx.window.message_box("已经是首页了"_gbk);
  ctx.window.set_enabled(app::Control::prev_page_button, false);
  state.current_page = state.current_page - 1;
  start_page_load(ctx);
}

void next_page(StoreContext& ctx) {
  auto& state = ctx.state;
  if (state.page_count == 1) return ctx.window.message_box("当前商城列表只有1页"_gbk);
  if (state.page_count < 1) return ctx.window.message_box("商城暂无本机器人的插件"_gbk);
  if (state.current_page == state.page_count) return ctx.window.message_box("已经是末页了"_gbk);
  ctx.window.set_enabled(app::Control::next_page_button, false);
  state.current_page = state.current_page + 1;
  start_page_load(ctx);
}

void last_page(StoreContext& ctx) {
  auto& state = ctx.state;
  if (state.page_count < 1) return ctx.window.message_box("商城暂无本机器人的插件"_gbk);
  if (state.current_page == state.page_count) return ctx.window.message_box("已经是最末页了"_gbk);
  ctx.window.set_enabled(app::Control::last_page_button, false);
  state.current_page = state.page_count.load();
  start_page_load(ctx);
}

std::string strip_quotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '"') out += c;
  return out;
}

std::string timestamp_to_text(std::string_view text) {
  return timestamp_to_text(text, text.size() == 10 ? locale_uses_24_hour_clock() : true);
}

std::string timestamp_to_text(std::string_view text, bool clock_24_hour) {
  if (text.size() == 10) return seconds_form(leading_integer(text), clock_24_hour);
  return milliseconds_form(text);
}

// On Linux the clock comes from the user's LC_TIME locale (LC_ALL, LC_TIME or LANG, as setlocale
// would pick it, without changing the process locale): its time picture nl_langinfo(T_FMT) writes
// the hour with %I or %l, or is %r, on the 12-hour clock; everything else, and a locale that is not
// installed (the C locale's "%H:%M:%S"), counts as the 24-hour clock.
bool locale_uses_24_hour_clock() {
  std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter> locale(
      newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr)));
  if (!locale) return true;
  const char* format = nl_langinfo_l(T_FMT, locale.get());
  return format == nullptr || time_format_is_24_hour(format);
}

bool time_format_is_24_hour(std::string_view time_format) {
  for (std::size_t i = 0; i < time_format.size(); ++i) {
    if (time_format[i] != '%') continue;
    ++i;
    // Flags, width and the E/O modifiers may stand between "%" and the conversion.
    while (i < time_format.size() &&
           std::string_view("_-0^#EO123456789").find(time_format[i]) != std::string_view::npos)
      ++i;
    if (i < time_format.size() && (time_format[i] == 'I' || time_format[i] == 'l' || time_format[i] == 'r'))
      return false;
  }
  return true;
}

}  // namespace quillora::store
