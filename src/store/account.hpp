#pragma once
// Sign-in and the saved account.
#include <string>
#include <string_view>

#include "store/store_context.hpp"

namespace quillora::store {

// RC4 with the key's bytes, no discard; encryption and decryption are the same.
std::string store_cipher(std::string_view data, std::string_view key);

void restore_saved_account(StoreContext& ctx);
bool check_saved_login(StoreContext& ctx);
void sign_in(StoreContext& ctx);
void open_register_page(StoreContext& ctx);

}  // namespace quillora::store
