#include "store/row_actions.hpp"

namespace quillora::store {

std::string description_text(const std::string& detail_cell) { return detail_cell; }
void show_details(StoreContext&) {}
void open_row_menu(StoreContext&) {}
void open_update_history(StoreContext&) {}
void open_author_page(StoreContext&) {}
std::string send_recommendation(StoreContext&, const std::string&) { return {}; }
void recommend(StoreContext&) {}
void open_web_edition(StoreContext&) {}
void show_user_group(StoreContext&) {}
void open_author_signup(StoreContext&) {}

}  // namespace quillora::store
