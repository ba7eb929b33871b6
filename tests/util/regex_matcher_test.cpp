#include "util/regex_matcher.hpp"

#include <gtest/gtest.h>

#include "util/gbk.hpp"

namespace quillora::util {
namespace {

using namespace literals;

constexpr std::string_view kCharsetPattern = R"(<meta.+?charset=[^\w]?([-\w]+))";

TEST(RegexMatcher, CharsetPatternOfHtmlPages) {
  struct Case {
    std::string page;
    std::string charset;
  };
  const Case cases[] = {
      {R"(<META HTTP-EQUIV="Content-Type" CONTENT="text/html; CHARSET=utf-8">)", "utf-8"},
      {R"(<html><meta charset="GB2312"><title>)", "GB2312"},
      {R"(<meta http-equiv="Content-Type" content="text/html; charset=big5">)", "big5"},
      {"<head>\n<meta name=x>\n<meta content='text/html;charset=Shift_JIS'>", "Shift_JIS"},
      {"<meta\ncharset=utf-8>", ""},                                 // "." stops at a line feed
      {"<meta charset=中文>"_gbk, ""},                               // \w is ASCII only
      {"<title>页面</title><meta charset=\"utf-8\">"_gbk, "utf-8"},  // positions in UTF-16 units
      {"no tag here", ""},
  };
  for (const Case& c : cases) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.search(kCharsetPattern, c.page)) << c.page;
    EXPECT_EQ(matcher.submatch_text(1, 1), c.charset) << c.page;
  }
}

TEST(RegexMatcher, RejectedPatternAndQuestionsBeforeAnySearch) {
  RegexMatcher matcher;
  EXPECT_EQ(matcher.match_count(), 0);
  EXPECT_EQ(matcher.submatch_count(), 0);
  EXPECT_EQ(matcher.pattern(), "");
  EXPECT_EQ(matcher.replace("x"), "");
  ASSERT_TRUE(matcher.search("a(b)", "xaby"));
  EXPECT_EQ(matcher.match_count(), 1);
  EXPECT_FALSE(matcher.search("(", "((("));
  EXPECT_EQ(matcher.match_count(), 0);
  EXPECT_EQ(matcher.submatch_count(), 0);
  EXPECT_EQ(matcher.match_text(1), "");
  EXPECT_EQ(matcher.submatch_text(1, 1), "");
  EXPECT_EQ(matcher.pattern(), "");
}

TEST(RegexMatcher, OptionsAndMatchList) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.search("zzz", "abc"));
  EXPECT_EQ(matcher.match_count(), 0);
  EXPECT_EQ(matcher.submatch_text(1, 1), "");

  ASSERT_TRUE(matcher.search("a#引号b"_gbk, "xa\"by", false, true, true, true));
  EXPECT_EQ(matcher.match_text(1), "a\"b");
  EXPECT_EQ(matcher.pattern(), "a\"b");
  ASSERT_TRUE(matcher.search("a#引号b"_gbk, "xa\"by a#引号b"_gbk));
  EXPECT_EQ(matcher.match_text(1), "a#引号b"_gbk);

  ASSERT_TRUE(matcher.search("A", "aAa"));
  EXPECT_EQ(matcher.match_count(), 3);
  ASSERT_TRUE(matcher.search("A", "aAa", true));
  EXPECT_EQ(matcher.match_count(), 1);
  ASSERT_TRUE(matcher.search("a", "aAa", false, true, false));
  EXPECT_EQ(matcher.match_count(), 1);

  ASSERT_TRUE(matcher.search("^b$", "a\nb\nc"));
  EXPECT_EQ(matcher.match_count(), 1);
  ASSERT_TRUE(matcher.search("^b$", "a\nb\nc", false, false));
  EXPECT_EQ(matcher.match_count(), 0);
  ASSERT_TRUE(matcher.search("c$", "abc\n", false, false));
  EXPECT_EQ(matcher.match_count(), 0);

  // Empty matches move on by one character, as script engines do.
  ASSERT_TRUE(matcher.search("x*", "中b"_gbk));
  EXPECT_EQ(matcher.match_count(), 3);
  ASSERT_TRUE(matcher.search("\\u4e2d+", "a中中b"_gbk));
  EXPECT_EQ(matcher.match_text(1), "中中"_gbk);
}

TEST(RegexMatcher, GroupsPositionsAndReplace) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.search("(a)|(b)", "中b中a"_gbk));
  EXPECT_EQ(matcher.match_count(), 2);
  EXPECT_EQ(matcher.submatch_count(), 2);
  int position = 0;
  EXPECT_EQ(matcher.match_text(2, &position), "a");
  EXPECT_EQ(position, 5);  // byte offset in the GBK subject
  EXPECT_EQ(matcher.submatch_text(1, 2, &position), "b");
  EXPECT_EQ(position, 2);
  EXPECT_EQ(matcher.submatch_text(1, 1, &position), "");  // took no part in the match
  EXPECT_EQ(position, -2);
  EXPECT_EQ(matcher.submatch_text(3, 1, &position), "");
  EXPECT_EQ(position, -2);
  EXPECT_EQ(matcher.submatch_text(1, 0), "");
  EXPECT_EQ(matcher.submatch_text(1, 3), "");

  RegexMatcher copy = matcher;
  ASSERT_TRUE(matcher.search("\\d+", "a1b22"));
  EXPECT_EQ(matcher.replace("#"), "a#b#");
  EXPECT_EQ(copy.match_count(), 2);
  ASSERT_TRUE(matcher.search("(\\d)(\\d)", "a12b34", false, true, false));
  EXPECT_EQ(matcher.replace("$2$1"), "a21b34");
  EXPECT_EQ(matcher.replace(), "ab34");
}

TEST(RegexMatcher, ReplacementFollowsTheScriptRules) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.search("(\\d)(\\d)", "a12b34"));
  const struct {
    const char* with;
    const char* result;
  } cases[] = {
      {"$2$1", "a21b43"},  {"[$&]", "a[12]b[34]"}, {"$$", "a$b$"},   {"$", "a$b$"},
      {"x$y", "ax$ybx$y"}, {"US$5", "aUS$5bUS$5"}, {"$0", "a$0b$0"}, {"$10", "a10b30"},
      {"$01", "a1b3"},     {"$`", "aaba12b"},      {"$'", "ab34b"},  {"$2$", "a2$b4$"},
  };
  for (const auto& c : cases) EXPECT_EQ(matcher.replace(c.with), c.result) << c.with;
}

}  // namespace
}  // namespace quillora::util
