#include "store/catalogue.hpp"

namespace quillora::store {

void query_page_count(StoreContext&) {}
void start_page_load(StoreContext&) {}
std::vector<PluginRow> fetch_catalogue_page(const StoreEndpoints&, int, int) { return {}; }
std::vector<PluginRow> rows_from_reply(std::string_view) { return {}; }
void first_page(StoreContext&) {}
void previous_page(StoreContext&) {}
void next_page(StoreContext&) {}
void last_page(StoreContext&) {}
std::string strip_quotes(std::string_view text) { return std::string(text); }
std::string timestamp_to_text(std::string_view) { return {}; }

}  // namespace quillora::store
