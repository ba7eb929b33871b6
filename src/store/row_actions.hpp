#pragma once
// What the user does with a listed plugin, and the store's fixed web links.
#include <string>

#include "store/store_context.hpp"

namespace quillora::store {

// The description as the double click shows it: "\r" then "\n" escapes made line breaks.
std::string description_text(const std::string& detail_cell);

void show_details(StoreContext& ctx);
void open_row_menu(StoreContext& ctx);
void open_update_history(StoreContext& ctx);
void open_author_page(StoreContext& ctx);
// Sends the recommendation of plugin_id; returns the reply (the CLI reads it).
std::string send_recommendation(StoreContext& ctx, const std::string& plugin_id);
void recommend(StoreContext& ctx);
void open_web_edition(StoreContext& ctx);
void show_user_group(StoreContext& ctx);
void open_author_signup(StoreContext& ctx);

}  // namespace quillora::store
