#pragma once
// One JSON value read by path ("[0].plugin_name", "a.b"). Parsing is strict JSON (a reply is data,
// never code); member order is the text's. get_json serialises with the json2 rules: no whitespace,
// "/" unescaped, non-ASCII as itself, integers without a decimal point, non-finite numbers as null.
// Texts enter and leave as GBK. Reading is cheap: documents taken from a parsed one (element_object,
// get_object) share its parsed form; a write rebuilds the document once.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillora::util {

enum class JsonKind : int { null = 0, number = 2, object = 4, array = 5, string = 6, other = -1 };

class JsonDocument {
 public:
  JsonDocument();
  ~JsonDocument();
  JsonDocument(const JsonDocument&);
  JsonDocument& operator=(const JsonDocument&);

  void initialise();
  bool parse(std::string_view text);
  std::string to_text() const;
  void set_text(std::string_view path, std::string_view value, bool as_json = false);
  void set_json(std::string_view path, std::string_view value);
  void set_number(std::string_view path, double number);
  double get_number(std::string_view path) const;
  std::string get_json(std::string_view path) const;
  std::string get_text(std::string_view path, bool as_json = false) const;
  JsonDocument get_object(std::string_view path) const;
  int count(std::string_view path = {}) const;
  void push(std::string_view value, std::string_view path = {}, bool as_json = false);
  JsonDocument element_object(int index, std::string_view path = {}) const;
  std::string element_text(int index, std::string_view path = {}, bool as_json = false) const;
  void set_element(int index, std::string_view value, bool as_json = false);
  void remove_element(int index);
  void remove_member(std::string_view path);
  void reset_as(JsonKind kind);
  void set_root(std::string_view value, bool as_json = false);
  bool has_member(std::string_view path) const;
  int member_names(std::vector<std::string>& names, std::string_view path = {}) const;
  JsonKind kind_of(std::string_view path = {}) const;
  void clear();

 private:
  struct Impl;
  explicit JsonDocument(std::shared_ptr<Impl> impl);
  // Copies share one Impl, so a write through one is seen through the other; parse starts a new one.
  std::shared_ptr<Impl> impl_;
};

}  // namespace quillora::util
