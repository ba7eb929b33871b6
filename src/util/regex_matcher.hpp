#pragma once
// One regular-expression search over GBK text with its match list (PCRE2, 16-bit, so that
// positions are UTF-16 units). VBScript-style options: case ignored, multi-line and global by
// default; "." never matches a line feed; \w is ASCII.
#include <memory>
#include <string>
#include <string_view>

namespace quillora::util {

class RegexMatcher {
 public:
  RegexMatcher();
  ~RegexMatcher();
  RegexMatcher(const RegexMatcher&);
  RegexMatcher& operator=(const RegexMatcher&);

  // True when the search ran (an empty match list included); false for a rejected pattern.
  bool search(std::string_view pattern, std::string_view subject, bool case_sensitive = false,
              bool multiline = true, bool global = true, bool quote_marker = false);
  void idle() {}
  std::string pattern() const;
  // The subject with the matches of the last search replaced (every one, or the first without
  // global). In the replacement, $1 to $99, $&, $`, $' and $$ mean what they mean to the script
  // engines; any other "$" is itself.
  std::string replace(std::string_view replacement = {}) const;
  int match_count() const;
  // Match and group numbers are 1-based. position, when given, receives a 0-based byte offset
  // of the returned text in the subject (-2 when not found).
  std::string match_text(int match, int* position = nullptr) const;
  std::string submatch_text(int match, int group, int* position = nullptr) const;
  int submatch_count() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace quillora::util
