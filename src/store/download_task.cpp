#include "store/download_task.hpp"

namespace quillora::store {

void request_download(StoreContext&) {}
bool download_task(StoreContext&, const std::string&) { return false; }
void show_download_status(StoreContext&) {}
bool confirm_close(StoreContext&) { return true; }

}  // namespace quillora::store
