#pragma once
// Reading the header block of a response: status text, cookies set, redirection target.
#include <string>

#include "net/web_request.hpp"

namespace quillora::net {

// Fills response_headers (with every "Set-Cookie" spelt in that case), received_cookies, location
// and, unless keep_message, message with the status text. Lets the window breathe after each line.
void process_response_headers(const std::string& block, bool keep_message, WebResponse& response);

}  // namespace quillora::net
