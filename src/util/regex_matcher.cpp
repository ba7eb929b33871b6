#include "util/regex_matcher.hpp"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <vector>

#include "util/gbk.hpp"
#include "util/text.hpp"

namespace quillora::util {
namespace {

using namespace literals;

struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct CompileContextFree {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
using Code = std::unique_ptr<pcre2_code, CodeFree>;
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataFree>;
using CompileContext = std::unique_ptr<pcre2_compile_context, CompileContextFree>;
using MatchContext = std::unique_ptr<pcre2_match_context, MatchContextFree>;

// Bounds on the work one search may do, so that a hostile subject cannot make it run for ever.
constexpr uint32_t kMatchLimit = 1'000'000;
constexpr uint32_t kDepthLimit = 10'000;
constexpr uint32_t kHeapLimitKiB = 20'000;

constexpr PCRE2_SIZE kUnset = PCRE2_UNSET;

struct Span {
  PCRE2_SIZE start = kUnset;
  PCRE2_SIZE end = kUnset;
};

PCRE2_SPTR16 units(std::u16string_view text) { return reinterpret_cast<PCRE2_SPTR16>(text.data()); }

MatchContext bounded_match_context() {
  MatchContext context(pcre2_match_context_create(nullptr));
  if (context) {
    pcre2_set_match_limit(context.get(), kMatchLimit);
    pcre2_set_depth_limit(context.get(), kDepthLimit);
    pcre2_set_heap_limit(context.get(), kHeapLimitKiB);
  }
  return context;
}

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The script engines' replacement text for one match: $1 to $99 a capture group (two digits when
// that group exists, else one), $& the match, $` the text before it, $' the text after it, $$ one
// "$"; any other "$" stands for itself, as does a "$n" without group n.
void append_replacement(std::u16string_view with, const std::vector<Span>& groups, std::u16string_view text,
                        std::u16string& out) {
  const auto append_span = [&](Span span) {
    if (span.start != kUnset && span.end >= span.start)
      out.append(text.substr(span.start, span.end - span.start));
  };
  for (std::size_t i = 0; i < with.size(); ++i) {
    const char16_t next = i + 1 < with.size() ? with[i + 1] : u'\0';
    if (with[i] != u'$' || next == u'\0') {
      out += with[i];
    } else if (next == u'$') {
      out += u'$';
      ++i;
    } else if (next == u'&') {
      append_span(groups[0]);
      ++i;
    } else if (next == u'`') {
      out.append(text.substr(0, groups[0].start));
      ++i;
    } else if (next == u'\'') {
      out.append(text.substr(groups[0].end));
      ++i;
    } else if (is_digit(next)) {
      std::size_t group = next - u'0', digits = 1;
      if (i + 2 < with.size() && is_digit(with[i + 2])) {
        const std::size_t two = group * 10 + (with[i + 2] - u'0');
        if (two >= 1 && two < groups.size()) {
          group = two;
          digits = 2;
        }
      }
      if (group >= 1 && group < groups.size()) {
        append_span(groups[group]);
        i += digits;
      } else {
        out += u'$';
      }
    } else {
      out += u'$';
    }
  }
}

}  // namespace

// Immutable once a search has filled it, so that copies can share it.
struct RegexMatcher::State {
  Code code;
  std::string pattern;
  std::u16string subject;
  // One entry per match: the whole match first, then every capture group.
  std::vector<std::vector<Span>> matches;

  std::string text_of(Span span) const {
    if (span.start == kUnset || span.end < span.start) return {};
    return utf16_to_gbk(std::u16string_view(subject).substr(span.start, span.end - span.start));
  }
  // The byte offset in the GBK subject: the GBK length of everything before the match.
  int byte_offset(Span span) const {
    if (span.start == kUnset) return -2;
    return static_cast<int>(utf16_to_gbk(std::u16string_view(subject).substr(0, span.start)).size());
  }
  const Span* span(int match, int group) const {
    if (match < 1 || static_cast<std::size_t>(match) > matches.size()) return nullptr;
    const auto& groups = matches[static_cast<std::size_t>(match) - 1];
    if (group < 0 || static_cast<std::size_t>(group) >= groups.size()) return nullptr;
    return &groups[static_cast<std::size_t>(group)];
  }
};

RegexMatcher::RegexMatcher() = default;
RegexMatcher::~RegexMatcher() = default;
RegexMatcher::RegexMatcher(const RegexMatcher&) = default;
RegexMatcher& RegexMatcher::operator=(const RegexMatcher&) = default;

bool RegexMatcher::search(std::string_view pattern, std::string_view subject, bool case_sensitive,
                          bool multiline, bool global, bool quote_marker) {
  state_.reset();
  auto state = std::make_shared<State>();
  state->pattern = quote_marker ? replace_all(pattern, "#引号"_gbk, "\"") : std::string(pattern);
  state->subject = gbk_to_utf16(subject);
  const std::u16string pattern16 = gbk_to_utf16(state->pattern);

  CompileContext compile_context(pcre2_compile_context_create(nullptr));
  if (!compile_context) return false;
  pcre2_set_newline(compile_context.get(), PCRE2_NEWLINE_LF);
  // JScript-style escapes (\uXXXX) and "$" only at the very end unless multi-line; no PCRE2_UCP, so
  // \w, \d and \s stay ASCII; no PCRE2_DOTALL, so "." stops at a line feed.
  uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX | PCRE2_DOLLAR_ENDONLY;
  if (!case_sensitive) options |= PCRE2_CASELESS;
  if (multiline) options |= PCRE2_MULTILINE;
  int error = 0;
  PCRE2_SIZE error_offset = 0;
  state->code.reset(pcre2_compile(units(pattern16), pattern16.size(), options, &error, &error_offset,
                                  compile_context.get()));
  if (!state->code) return false;

  MatchData data(pcre2_match_data_create_from_pattern(state->code.get(), nullptr));
  MatchContext match_context = bounded_match_context();
  if (!data || !match_context) return false;
  const std::u16string_view text = state->subject;
  uint32_t groups = 0;
  pcre2_pattern_info(state->code.get(), PCRE2_INFO_CAPTURECOUNT, &groups);
  const uint32_t pairs = std::min(groups + 1, pcre2_get_ovector_count(data.get()));
  PCRE2_SIZE start = 0;
  while (start <= text.size()) {
    const int found =
        pcre2_match(state->code.get(), units(text), text.size(), start, 0, data.get(), match_context.get());
    // No match ends the list; a limit hit or another failure ends it too, keeping what was found.
    if (found < 0) break;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    std::vector<Span> spans(groups + 1);
    for (uint32_t g = 0; g < pairs; ++g) spans[g] = {ovector[2 * g], ovector[2 * g + 1]};
    state->matches.push_back(std::move(spans));
    const PCRE2_SIZE begin = ovector[0];
    const PCRE2_SIZE end = ovector[1];
    if (!global || end < begin) break;
    // An empty match moves the next search on by one character, as the script engines do.
    start = end > begin ? end : end + 1;
    if (end == begin && start < text.size() && (text[start] & 0xFC00) == 0xDC00) ++start;
  }
  state_ = std::move(state);
  return true;
}

std::string RegexMatcher::pattern() const { return state_ ? state_->pattern : std::string(); }

std::string RegexMatcher::replace(std::string_view replacement) const {
  if (!state_) return {};
  const std::u16string with = gbk_to_utf16(replacement);
  const std::u16string_view text = state_->subject;
  std::u16string out;
  out.reserve(text.size());
  PCRE2_SIZE copied = 0;
  // The search kept every match (or only the first, without global): each is replaced in turn.
  for (const std::vector<Span>& groups : state_->matches) {
    out.append(text.substr(copied, groups[0].start - copied));
    append_replacement(with, groups, text, out);
    copied = groups[0].end;
  }
  out.append(text.substr(std::min<PCRE2_SIZE>(copied, text.size())));
  return utf16_to_gbk(out);
}

int RegexMatcher::match_count() const { return state_ ? static_cast<int>(state_->matches.size()) : 0; }

std::string RegexMatcher::match_text(int match, int* position) const {
  const Span* span = state_ ? state_->span(match, 0) : nullptr;
  if (position) *position = span ? state_->byte_offset(*span) : -2;
  return span ? state_->text_of(*span) : std::string();
}

std::string RegexMatcher::submatch_text(int match, int group, int* position) const {
  const Span* span = state_ && group >= 1 ? state_->span(match, group) : nullptr;
  if (position) *position = span ? state_->byte_offset(*span) : -2;
  return span ? state_->text_of(*span) : std::string();
}

int RegexMatcher::submatch_count() const {
  if (!state_ || state_->matches.empty()) return 0;
  return static_cast<int>(state_->matches.front().size()) - 1;
}

}  // namespace quillora::util
