#pragma once
// The catalogue: page count, page loads on worker threads, the four paging buttons.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/plugin_columns.hpp"
#include "store/store_context.hpp"

namespace quillora::store {

using PluginRow = std::array<std::string, app::plugin_column_count>;  // GBK cells

void query_page_count(StoreContext& ctx);
void start_page_load(StoreContext& ctx);
// Fetches and converts one page; the pure part of a page load (used by the CLI too).
std::vector<PluginRow> fetch_catalogue_page(const StoreEndpoints& endpoints, int robot_id, int page);
std::vector<PluginRow> rows_from_reply(std::string_view reply);

void first_page(StoreContext& ctx);
void previous_page(StoreContext& ctx);
void next_page(StoreContext& ctx);
void last_page(StoreContext& ctx);

std::string strip_quotes(std::string_view text);
std::string timestamp_to_text(std::string_view text);

}  // namespace quillora::store
