#include "store/account.hpp"

namespace quillora::store {

std::string store_cipher(std::string_view data, std::string_view) { return std::string(data); }
void restore_saved_account(StoreContext&) {}
bool check_saved_login(StoreContext&) { return false; }
void sign_in(StoreContext&) {}
void open_register_page(StoreContext&) {}

}  // namespace quillora::store
