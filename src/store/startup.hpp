#pragma once
#include "store/store_context.hpp"

namespace quillora::store {

// The window's created event: host detection, current page 1, saved account and login check, page
// count, first page load. Returns false when no host robot was found and the program must end.
bool on_window_created(StoreContext& ctx);

}  // namespace quillora::store
