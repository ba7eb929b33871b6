#pragma once
// The catalogue: page count, page loads on worker threads, the four paging buttons.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/plugin_columns.hpp"
#include "store/store_context.hpp"

namespace quillora::store {

using PluginRow = app::Window::Row;  // GBK cells in column order

void query_page_count(StoreContext& ctx);
void start_page_load(StoreContext& ctx);
// Fetches and converts one page; the pure part of a page load (used by the CLI too).
std::vector<PluginRow> fetch_catalogue_page(const StoreEndpoints& endpoints, int robot_id, int page);
// A catalogue reply longer than this, or with more elements, shows as an empty page. No store page
// comes near either (300 plugins take about 100 KB); parsing takes about twenty times a reply's size,
// and each element becomes ten cells of a few hundred bytes even when it is empty.
inline constexpr std::size_t max_page_bytes = 4 * 1024 * 1024;
inline constexpr int max_page_rows = 20000;
std::vector<PluginRow> rows_from_reply(std::string_view reply);

void first_page(StoreContext& ctx);
void previous_page(StoreContext& ctx);
void next_page(StoreContext& ctx);
void last_page(StoreContext& ctx);

std::string strip_quotes(std::string_view text);
// The update time as shown: the member text with "000" appended goes in. Ten characters are whole
// seconds after 1970-01-01 08:00:00 (no time zone applied), any other length is milliseconds since
// the epoch shown in local time. The first form follows the user's locale for the 24-hour clock.
std::string timestamp_to_text(std::string_view text);
std::string timestamp_to_text(std::string_view text, bool clock_24_hour);

// Whether the user's time locale (LC_ALL, LC_TIME, LANG) writes times on the 24-hour clock.
bool locale_uses_24_hour_clock();
// The rule behind it, over a strftime time picture such as nl_langinfo(T_FMT) gives.
bool time_format_is_24_hour(std::string_view time_format);

}  // namespace quillora::store
