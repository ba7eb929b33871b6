#include "util/json_document.hpp"

#include <simdjson.h>

#include <charconv>
#include <optional>

#include "util/gbk.hpp"
#include "util/json_writer.hpp"
#include "util/script_text.hpp"

namespace quillora::util {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// Nesting deeper than this is refused at parse time, which also bounds every recursion over a
// document. Replies nest three levels deep.
constexpr std::size_t kMaxDepth = 256;
// A catalogue page is well below a megabyte; a reply this large is refused rather than converted.
constexpr std::size_t kMaxTextBytes = 64u << 20;
// A write may not grow an array by more than this many elements at once.
constexpr std::int64_t kMaxArrayGrowth = 1 << 20;

bool ascii_only(std::string_view text) {
  unsigned char any = 0;
  for (const char c : text) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

// GBK in, UTF-8 for the parser; ASCII (the usual reply, its Chinese written as \u escapes) is both.
// The result has room for the parser's padding, so that parsing needs no further copy.
std::string utf8_of(std::string_view gbk) {
  if (!ascii_only(gbk)) return gbk_to_utf8(gbk);
  std::string utf8;
  utf8.reserve(gbk.size() + simdjson::SIMDJSON_PADDING);
  utf8.assign(gbk);
  return utf8;
}
std::string gbk_of(std::string utf8) { return ascii_only(utf8) ? utf8 : utf8_to_gbk(utf8); }

// One parsed text. Immutable, so any number of documents can read it at once.
struct Parsed {
  simdjson::dom::document document;
  element root;
};

std::shared_ptr<const Parsed> parse_utf8(std::string utf8) {
  if (utf8.size() > kMaxTextBytes) return nullptr;
  utf8.reserve(utf8.size() + simdjson::SIMDJSON_PADDING);
  thread_local simdjson::dom::parser parser(simdjson::SIMDJSON_MAXSIZE_BYTES);
  if (parser.max_depth() != kMaxDepth && parser.allocate(std::max<std::size_t>(utf8.size(), 64), kMaxDepth)) {
    return nullptr;
  }
  auto parsed = std::make_shared<Parsed>();
  if (parser.parse_into_document(parsed->document, utf8.data(), utf8.size(), false).get(parsed->root)) {
    return nullptr;
  }
  return parsed;
}

// A reply too large for any page is refused before it is converted.
std::shared_ptr<const Parsed> parse_gbk(std::string_view gbk) {
  if (gbk.size() > kMaxTextBytes) return nullptr;
  return parse_utf8(utf8_of(gbk));
}

const std::shared_ptr<const Parsed>& empty_object() {
  static const std::shared_ptr<const Parsed> parsed = parse_utf8("{}");
  return parsed;
}

// One step of a path: a member name (UTF-8) or an index in brackets.
struct Step {
  bool is_index = false;
  std::string name;
  std::int64_t index = 0;
  bool huge_index = false;  // more digits than any array can have
};

// How an operation turns its path into a reference, mirroring the statements of the script
// realisation: "da." + path (member), "da" or "da." + path (bare), "da" or "da" + path when the path
// begins with "[" (direct).
enum class PathForm { member, bare, direct };

bool name_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool name_char(char c) { return name_start(c) || (c >= '0' && c <= '9'); }

bool plain_name(std::string_view path) {
  if (path.empty() || !name_start(path[0]) || static_cast<unsigned char>(path[0]) >= 0x80) return false;
  for (const char c : path) {
    if (!name_char(c) || static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Splits a UTF-8 path into steps; nothing when it is not a well-formed reference for the form.
std::optional<std::vector<Step>> parse_path(std::string_view path, PathForm form) {
  std::vector<Step> steps;
  if (path.empty()) {
    if (form == PathForm::member) return std::nullopt;
    return steps;
  }
  std::size_t i = 0;
  bool expect_name = !(form == PathForm::direct && path[0] == '[');
  while (true) {
    if (expect_name) {
      if (i >= path.size() || !name_start(path[i])) return std::nullopt;
      const std::size_t begin = i;
      while (i < path.size() && name_char(path[i])) ++i;
      steps.push_back({.name = std::string(path.substr(begin, i - begin))});
    } else {
      // "[" digits "]", with an optional minus sign as a script would accept.
      if (i >= path.size() || path[i] != '[') return std::nullopt;
      ++i;
      Step step{.is_index = true};
      const bool negative = i < path.size() && path[i] == '-';
      if (negative) ++i;
      const std::size_t begin = i;
      while (i < path.size() && path[i] >= '0' && path[i] <= '9') ++i;
      if (i == begin || i >= path.size() || path[i] != ']') return std::nullopt;
      const std::string_view digits = path.substr(begin, i - begin);
      if (digits.size() > 15) {
        step.huge_index = true;
      } else {
        std::from_chars(digits.data(), digits.data() + digits.size(), step.index);
        if (negative) step.index = -step.index;
      }
      ++i;
      steps.push_back(step);
    }
    if (i == path.size()) return steps;
    if (path[i] == '.') {
      ++i;
      expect_name = true;
    } else {
      expect_name = false;
    }
  }
}

// The last member of that name: a script engine keeps the last of repeated names.
std::optional<element> find_member(simdjson::dom::object object, std::string_view name) {
  std::optional<element> found;
  for (const auto member : object) {
    if (member.key == name) found = member.value;
  }
  return found;
}

std::size_t member_count(simdjson::dom::object object) {
  return json::has_repeated_names(object) ? json::unique_members(object).size() : object.size();
}

enum class Outcome { value, undefined, error };
struct Resolved {
  Outcome outcome = Outcome::error;
  element value;
};

std::string index_name(std::int64_t index) { return std::to_string(index); }

}  // namespace

struct JsonDocument::Impl {
  std::shared_ptr<const Parsed> parsed;  // null: the root is null
  element root;
  // Elements of a root array by index, filled on first indexed access: the page loader reads every
  // element in turn, and walking the array for each would make a page quadratic.
  mutable std::vector<element> root_items;
  mutable bool root_indexed = false;

  Impl() = default;
  Impl(std::shared_ptr<const Parsed> source, element value) : parsed(std::move(source)), root(value) {}
  explicit Impl(std::shared_ptr<const Parsed> source) : parsed(std::move(source)) {
    if (parsed) root = parsed->root;
  }

  bool null_root() const { return !parsed || root.is_null(); }

  void replace(std::shared_ptr<const Parsed> source) {
    parsed = std::move(source);
    root = parsed ? parsed->root : element();
    root_items.clear();
    root_indexed = false;
  }

  std::optional<element> root_item(std::int64_t index) const {
    if (!root_indexed) {
      root_indexed = true;
      simdjson::dom::array array;
      if (!root.get_array().get(array)) {
        root_items.reserve(array.size());
        for (const element item : array) root_items.push_back(item);
      }
    }
    if (index < 0 || static_cast<std::size_t>(index) >= root_items.size()) return std::nullopt;
    return root_items[static_cast<std::size_t>(index)];
  }

  // Follows the path the way a script engine evaluates the reference: a missing last step is
  // undefined; a step below a missing or null value is an error.
  Resolved resolve(std::string_view gbk_path, PathForm form) const {
    if (plain_name(gbk_path)) {
      // The loader's case, one member of the root, without splitting a path.
      if (null_root()) return {};
      simdjson::dom::object object;
      if (root.get_object().get(object)) return {Outcome::undefined, {}};
      const std::optional<element> member = find_member(object, gbk_path);
      return member ? Resolved{Outcome::value, *member} : Resolved{Outcome::undefined, {}};
    }
    const std::string utf8 = ascii_only(gbk_path) ? std::string() : gbk_to_utf8(gbk_path);
    const auto steps = parse_path(utf8.empty() ? gbk_path : utf8, form);
    if (!steps) return {};
    return resolve(*steps);
  }

  Resolved resolve(const std::vector<Step>& steps) const {
    if (null_root()) return {steps.empty() ? Outcome::undefined : Outcome::error, {}};
    element current = root;
    for (std::size_t k = 0; k < steps.size(); ++k) {
      const Step& step = steps[k];
      std::optional<element> next;
      switch (current.type()) {
        case element_type::NULL_VALUE:
          return {};
        case element_type::OBJECT: {
          const std::string name = step.is_index ? index_name(step.index) : std::string();
          if (!step.huge_index) {
            next = find_member(current.get_object().value_unsafe(), step.is_index ? name : step.name);
          }
          break;
        }
        case element_type::ARRAY:
          if (step.is_index && !step.huge_index && step.index >= 0) {
            if (k == 0) {
              next = root_item(step.index);
            } else {
              element item;
              if (!current.get_array().value_unsafe().at(static_cast<std::size_t>(step.index)).get(item))
                next = item;
            }
          }
          break;
        default:
          break;
      }
      if (!next) return {k + 1 == steps.size() ? Outcome::undefined : Outcome::error, {}};
      current = *next;
    }
    return {Outcome::value, current};
  }
};

namespace {

// A mutable copy of the parts of a document that a write changes; untouched values stay references
// into the parsed text and are copied verbatim when the new text is written.
struct Node {
  enum class Kind { source, object, array, text } kind = Kind::source;
  element source;
  std::vector<std::string> names;  // an object's member names, beside their values in items
  std::vector<Node> items;
  std::string text;  // a value already written as JSON

  static Node of_text(std::string json) {
    Node node;
    node.kind = Kind::text;
    node.text = std::move(json);
    return node;
  }

  // Opens an object or array of the parsed text for changes; false for any other value.
  bool open() {
    if (kind == Kind::object || kind == Kind::array) return true;
    if (kind != Kind::source) return false;
    if (source.type() == element_type::OBJECT) {
      kind = Kind::object;
      for (const auto& [key, value] : json::unique_members(source.get_object().value_unsafe())) {
        names.emplace_back(key);
        items.push_back(Node{.source = value});
      }
      return true;
    }
    if (source.type() == element_type::ARRAY) {
      kind = Kind::array;
      const simdjson::dom::array array = source.get_array().value_unsafe();
      for (const element item : array) items.push_back(Node{.source = item});
      return true;
    }
    return false;
  }

  bool null_value() const {
    return (kind == Kind::source && source.is_null()) || (kind == Kind::text && text == "null");
  }
  bool array_value() const {
    return kind == Kind::array || (kind == Kind::source && source.type() == element_type::ARRAY) ||
           (kind == Kind::text && text.starts_with('['));
  }

  Node* member(std::string_view name) {
    for (std::size_t k = 0; k < names.size(); ++k) {
      if (names[k] == name) return &items[k];
    }
    return nullptr;
  }

  // The child a step names, opening this node; null when there is none.
  Node* child(const Step& step) {
    if (!open() || step.huge_index) return nullptr;
    if (kind == Kind::object) return member(step.is_index ? index_name(step.index) : std::string(step.name));
    if (!step.is_index || step.index < 0 || static_cast<std::size_t>(step.index) >= items.size())
      return nullptr;
    return &items[static_cast<std::size_t>(step.index)];
  }

  void write(std::string& out) const {
    switch (kind) {
      case Kind::source:
        json::append_value(out, source);
        return;
      case Kind::text:
        out += text;
        return;
      case Kind::object: {
        out.push_back('{');
        for (std::size_t k = 0; k < names.size(); ++k) {
          if (k > 0) out.push_back(',');
          json::append_string(out, names[k]);
          out.push_back(':');
          items[k].write(out);
        }
        out.push_back('}');
        return;
      }
      case Kind::array:
        out.push_back('[');
        for (std::size_t k = 0; k < items.size(); ++k) {
          if (k > 0) out.push_back(',');
          items[k].write(out);
        }
        out.push_back(']');
        return;
    }
  }
};

// The container that holds the last step of a path, as the script engine finds it for an
// assignment; null when the assignment would fail or change nothing.
Node* parent_of(Node& root, const std::vector<Step>& steps) {
  Node* current = &root;
  for (std::size_t k = 0; k + 1 < steps.size(); ++k) {
    current = current->child(steps[k]);
    if (current == nullptr) return nullptr;
  }
  // Assigning to a member of a string, number or boolean does nothing; of null it fails.
  return current->open() ? current : nullptr;
}

// Sets the last step in its container; false when nothing changes.
bool assign(Node& parent, const Step& step, Node value) {
  if (step.huge_index) return false;
  if (parent.kind == Node::Kind::object) {
    const std::string name = step.is_index ? index_name(step.index) : std::string(step.name);
    if (Node* existing = parent.member(name)) {
      *existing = std::move(value);
    } else {
      parent.names.push_back(name);
      parent.items.push_back(std::move(value));
    }
    return true;
  }
  // A named property or a negative index on an array is not part of its JSON text.
  if (!step.is_index || step.index < 0) return false;
  const auto index = static_cast<std::size_t>(step.index);
  if (step.index >= static_cast<std::int64_t>(parent.items.size()) + kMaxArrayGrowth) return false;
  if (index >= parent.items.size()) parent.items.resize(index + 1, Node::of_text("null"));
  parent.items[index] = std::move(value);
  return true;
}

// A JSON text from the caller, checked and rewritten in the document's own form (UTF-8).
std::optional<std::string> json_value(std::string_view gbk) {
  const auto parsed = parse_gbk(gbk);
  if (!parsed) return std::nullopt;
  std::string out;
  json::append_value(out, parsed->root);
  return out;
}

// A text from the caller read as the body of a single-quoted script string, written as JSON.
std::optional<std::string> string_value(std::string_view gbk) {
  const auto literal = read_script_literal(gbk_to_utf16(gbk));
  if (!literal) return std::nullopt;
  const std::string utf8 = utf16_to_utf8(*literal);
  std::string out;
  json::append_string(out, utf8);
  return out;
}

std::optional<std::string> value_of(std::string_view gbk, bool as_json) {
  return as_json ? json_value(gbk) : string_value(gbk);
}

// The value's plain text: a string without quotes, a number in its script form, null as nothing.
std::string plain_text(element value) {
  switch (value.type()) {
    case element_type::STRING:
      return std::string(value.get_string().value_unsafe());
    case element_type::NULL_VALUE:
      return {};
    default: {
      std::string out;
      json::append_value(out, value);
      return out;
    }
  }
}

}  // namespace

JsonDocument::JsonDocument() { initialise(); }
JsonDocument::~JsonDocument() = default;
JsonDocument::JsonDocument(const JsonDocument&) = default;
JsonDocument& JsonDocument::operator=(const JsonDocument&) = default;
JsonDocument::JsonDocument(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

void JsonDocument::initialise() { impl_ = std::make_shared<Impl>(empty_object()); }

bool JsonDocument::parse(std::string_view text) {
  // A fresh document: copies taken before no longer see this one.
  impl_ = std::make_shared<Impl>(parse_gbk(text));
  return !impl_->null_root();
}

std::string JsonDocument::to_text() const { return get_text({}, true); }

namespace {
// Runs one write on a mutable copy of the root; when it changed something, the new text parsed, to
// become the document. Null when nothing changed or the result cannot be parsed back (too deep).
template <typename Change>
std::shared_ptr<const Parsed> rewritten(const std::shared_ptr<const Parsed>& parsed, element root,
                                        Change&& change) {
  Node node = parsed ? Node{.source = root} : Node::of_text("null");
  if (!change(node)) return nullptr;
  std::string text;
  node.write(text);
  return parse_utf8(std::move(text));
}

// The document with the member at a path (created or replaced) set to a value already written as JSON.
std::shared_ptr<const Parsed> assigned(const std::shared_ptr<const Parsed>& parsed, element root,
                                       std::string_view path, const std::optional<std::string>& json) {
  const auto steps = parse_path(utf8_of(path), PathForm::member);
  if (!steps || !json) return nullptr;
  return rewritten(parsed, root, [&](Node& node) {
    Node* parent = parent_of(node, *steps);
    return parent != nullptr && assign(*parent, steps->back(), Node::of_text(*json));
  });
}
}  // namespace

void JsonDocument::set_text(std::string_view path, std::string_view value, bool as_json) {
  if (as_json) {
    set_json(path, value.empty() ? std::string_view("{}") : value);
  } else if (auto result = assigned(impl_->parsed, impl_->root, path, string_value(value))) {
    impl_->replace(std::move(result));
  }
}

void JsonDocument::set_json(std::string_view path, std::string_view value) {
  if (auto result = assigned(impl_->parsed, impl_->root, path, json_value(value))) {
    impl_->replace(std::move(result));
  }
}

void JsonDocument::set_number(std::string_view path, double number) {
  std::string json;
  json::append_number(json, number);
  set_json(path, json);
}

double JsonDocument::get_number(std::string_view path) const {
  const Resolved found = impl_->resolve(path, PathForm::member);
  if (found.outcome != Outcome::value) return 0;
  const element value = found.value;
  double number = 0;
  switch (value.type()) {
    case element_type::INT64:
      return static_cast<double>(value.get_int64().value_unsafe());
    case element_type::UINT64:
      return static_cast<double>(value.get_uint64().value_unsafe());
    case element_type::DOUBLE:
      return value.get_double().value_unsafe();
    case element_type::BOOL:
      return value.get_bool().value_unsafe() ? 1 : 0;
    case element_type::STRING: {
      const std::string_view text = value.get_string().value_unsafe();
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
      return error == std::errc() && end == text.data() + text.size() ? number : 0;
    }
    default:
      return 0;
  }
}

std::string JsonDocument::get_json(std::string_view path) const {
  const Resolved found = impl_->resolve(path, PathForm::member);
  if (found.outcome != Outcome::value) return {};
  std::string out;
  json::append_value(out, found.value);
  return gbk_of(std::move(out));
}

std::string JsonDocument::get_text(std::string_view path, bool as_json) const {
  const Resolved found = impl_->resolve(path, PathForm::direct);
  if (found.outcome != Outcome::value) return {};
  if (!as_json) return gbk_of(plain_text(found.value));
  std::string out;
  json::append_value(out, found.value);
  return gbk_of(std::move(out));
}

JsonDocument JsonDocument::get_object(std::string_view path) const {
  const Resolved found = impl_->resolve(path, PathForm::direct);
  if (found.outcome != Outcome::value) return JsonDocument(std::make_shared<Impl>());
  return JsonDocument(std::make_shared<Impl>(impl_->parsed, found.value));
}

int JsonDocument::count(std::string_view path) const {
  const Resolved found = impl_->resolve(path, PathForm::direct);
  if (found.outcome != Outcome::value) return 0;
  simdjson::dom::object object;
  if (!found.value.get_object().get(object)) return static_cast<int>(member_count(object));
  simdjson::dom::array array;
  if (!found.value.get_array().get(array)) {
    if (path.empty()) {
      impl_->root_item(0);
      return static_cast<int>(impl_->root_items.size());
    }
    // The tape saturates the size of very large arrays; count them one by one then.
    std::size_t size = array.size();
    if (size >= 0xFFFFFF) {
      size = 0;
      for ([[maybe_unused]] const element item : array) ++size;
    }
    return static_cast<int>(size);
  }
  return 0;
}

void JsonDocument::push(std::string_view value, std::string_view path, bool as_json) {
  const auto steps = parse_path(utf8_of(path), PathForm::bare);
  const auto json = value_of(value, as_json);
  if (!steps || !json) return;
  auto result = rewritten(impl_->parsed, impl_->root, [&](Node& root) {
    Node* target = &root;
    if (!steps->empty()) {
      Node* parent = parent_of(root, *steps);
      if (parent == nullptr) return false;
      target = parent->child(steps->back());
      if (target == nullptr || !target->array_value()) {
        Node fresh = Node::of_text("[]");
        if (!assign(*parent, steps->back(), std::move(fresh))) return false;
        target = parent->child(steps->back());
      }
    } else if (!root.array_value()) {
      root = Node::of_text("[]");
    }
    if (target->kind == Node::Kind::text) *target = Node{.kind = Node::Kind::array};
    if (!target->open()) return false;
    target->items.push_back(Node::of_text(*json));
    return true;
  });
  if (result) impl_->replace(std::move(result));
}

JsonDocument JsonDocument::element_object(int index, std::string_view path) const {
  const Resolved container = impl_->resolve(path, PathForm::bare);
  if (container.outcome != Outcome::value || index < 0) return JsonDocument(std::make_shared<Impl>());
  std::optional<element> item;
  if (path.empty()) {
    if (container.value.type() == element_type::ARRAY) {
      item = impl_->root_item(index);
    } else if (container.value.type() == element_type::OBJECT) {
      item = find_member(container.value.get_object().value_unsafe(), index_name(index));
    }
  } else {
    const Resolved found = impl_->resolve(std::string(path) + "[" + index_name(index) + "]", PathForm::bare);
    if (found.outcome == Outcome::value) item = found.value;
  }
  if (!item) return JsonDocument(std::make_shared<Impl>());
  return JsonDocument(std::make_shared<Impl>(impl_->parsed, *item));
}

std::string JsonDocument::element_text(int index, std::string_view path, bool as_json) const {
  const JsonDocument item = element_object(index, path);
  if (item.impl_->null_root()) return {};
  std::string out;
  if (as_json) {
    json::append_value(out, item.impl_->root);
  } else {
    out = plain_text(item.impl_->root);
  }
  return gbk_of(std::move(out));
}

void JsonDocument::set_element(int index, std::string_view value, bool as_json) {
  const auto json = value_of(value, as_json);
  if (!json || impl_->null_root()) return;
  const Step step{.is_index = true, .index = index};
  auto result = rewritten(impl_->parsed, impl_->root, [&](Node& root) {
    return root.open() && assign(root, step, Node::of_text(*json));
  });
  if (result) impl_->replace(std::move(result));
}

void JsonDocument::remove_element(int index) {
  if (impl_->null_root() || impl_->root.type() != element_type::ARRAY) return;
  auto result = rewritten(impl_->parsed, impl_->root, [&](Node& root) {
    root.open();
    const auto size = static_cast<std::int64_t>(root.items.size());
    const std::int64_t at = index < 0 ? std::max<std::int64_t>(size + index, 0) : index;
    if (at >= size) return false;
    root.items.erase(root.items.begin() + at);
    return true;
  });
  if (result) impl_->replace(std::move(result));
}

void JsonDocument::remove_member(std::string_view path) {
  const auto steps = parse_path(utf8_of(path), PathForm::member);
  if (!steps) return;
  auto result = rewritten(impl_->parsed, impl_->root, [&](Node& root) {
    Node* parent = parent_of(root, *steps);
    if (parent == nullptr) return false;
    const Step& last = steps->back();
    if (parent->kind == Node::Kind::object) {
      const std::string name = last.is_index ? index_name(last.index) : std::string(last.name);
      for (std::size_t k = 0; k < parent->names.size(); ++k) {
        if (parent->names[k] != name) continue;
        parent->names.erase(parent->names.begin() + static_cast<std::ptrdiff_t>(k));
        parent->items.erase(parent->items.begin() + static_cast<std::ptrdiff_t>(k));
        return true;
      }
      return false;
    }
    // Deleting an array element leaves a hole, written as null.
    Node* item = parent->child(last);
    if (item == nullptr) return false;
    *item = Node::of_text("null");
    return true;
  });
  if (result) impl_->replace(std::move(result));
}

void JsonDocument::reset_as(JsonKind kind) {
  if (kind == JsonKind::null || kind == JsonKind::object) {
    impl_->replace(empty_object());
  } else if (kind == JsonKind::array) {
    impl_->replace(parse_utf8("[]"));
  }
}

void JsonDocument::set_root(std::string_view value, bool as_json) {
  const auto json = value_of(value, as_json);
  if (!json) return;
  if (auto parsed = parse_utf8(*std::move(json))) impl_->replace(std::move(parsed));
}

bool JsonDocument::has_member(std::string_view path) const {
  const Resolved found = impl_->resolve(path, PathForm::member);
  return found.outcome == Outcome::value && !found.value.is_null();
}

int JsonDocument::member_names(std::vector<std::string>& names, std::string_view path) const {
  names.clear();
  const Resolved found = impl_->resolve(path, PathForm::bare);
  if (found.outcome != Outcome::value) return 0;
  simdjson::dom::object object;
  simdjson::dom::array array;
  if (!found.value.get_object().get(object)) {
    for (const auto& member : json::unique_members(object))
      names.push_back(gbk_of(std::string(member.first)));
  } else if (!found.value.get_array().get(array)) {
    std::size_t index = 0;
    for ([[maybe_unused]] const element item : array)
      names.push_back(index_name(static_cast<std::int64_t>(index++)));
  }
  return static_cast<int>(names.size());
}

JsonKind JsonDocument::kind_of(std::string_view path) const {
  const Resolved found = impl_->resolve(path, PathForm::bare);
  if (found.outcome == Outcome::error) return JsonKind::other;
  if (found.outcome == Outcome::undefined) return JsonKind::null;
  switch (found.value.type()) {
    case element_type::NULL_VALUE:
      return JsonKind::null;
    case element_type::OBJECT:
      return JsonKind::object;
    case element_type::ARRAY:
      return JsonKind::array;
    case element_type::STRING:
      return JsonKind::string;
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE:
      return JsonKind::number;
    default:
      return JsonKind::other;
  }
}

void JsonDocument::clear() { impl_->replace(empty_object()); }

}  // namespace quillora::util
