#pragma once
// The serialisation rules of JsonDocument (json2 style): no whitespace, "/" unescaped, non-ASCII as
// itself except the invisible and line-separating characters, numbers in their shortest script form,
// non-finite numbers as null. Works on UTF-8; the document converts to GBK at its edge.
#include <simdjson.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillora::util::json {

void append_string(std::string& out, std::string_view utf8);
void append_number(std::string& out, double number);
// The value as text; recursion is bounded by the parser's depth limit.
void append_value(std::string& out, simdjson::dom::element value);

// The members of an object as a script engine holds them: a repeated name keeps its first place
// and takes its last value. Empty when no name repeats (then the object's own order is the answer).
bool has_repeated_names(simdjson::dom::object object);
std::vector<std::pair<std::string_view, simdjson::dom::element>> unique_members(simdjson::dom::object object);

}  // namespace quillora::util::json
