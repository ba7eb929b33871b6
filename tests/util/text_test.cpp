#include "util/text.hpp"

#include <gtest/gtest.h>

#include "util/gbk.hpp"

namespace quillora::util {
namespace {

using namespace literals;

TEST(TextBetween, CutsBetweenTheFirstMarkers) {
  struct Case {
    std::string text, left, right, expected;
  };
  const Case cases[] = {
      {"abcdef", "b", "e", "cd"},
      {"abcdef", "b", "c", ""},
      {"abcdef", "x", "e", ""},
      {"abcdef", "b", "x", ""},
      {"[1][2]", "[", "]", "1"},
      {"say \"hi\" now", "#引号"_gbk, "#引号"_gbk, "hi"},
      {"a#引号b#引号c"_gbk, "#引号"_gbk, "#引号"_gbk, ""},
      {R"({"error":0,"content":"ok"})", R"(content":")", "\"", "ok"},
      // 礬 is B5 5C in GBK: its trail byte is a backslash, which must not be found as a marker.
      {"x" + "礬"_gbk + "\\y\\z", "\\", "z", "y\\"},
      {"", "a", "b", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text_between(c.text, c.left, c.right), c.expected) << c.text << " / " << c.left;
  }
}

TEST(TextBetween, StartPositionAndCase) {
  EXPECT_EQ(text_between("<a>1</a><a>2</a>", "<a>", "</a>", 4), "2");
  EXPECT_EQ(text_between("Charset=GBK;", "charset=", ";"), "");
  EXPECT_EQ(text_between("Charset=GBK;", "charset=", ";", 1, true), "GBK");
}

TEST(FindText, NeverStartsOnASecondByte) {
  // 臕 is C5 41: its second byte is "A".
  const std::string text = "臕"_gbk + "A";
  EXPECT_EQ(find_text(text, "A"), 3u);
  EXPECT_EQ(find_text(text, "a", 1, true), 3u);
  EXPECT_EQ(find_text("abc", "c", 3), 3u);
  EXPECT_EQ(find_text("abc", "c", 4), 0u);
  EXPECT_EQ(find_text("abc", ""), 0u);
  EXPECT_EQ(find_text("abc", "a", 0), 0u);
}

TEST(ReplaceAll, EveryOccurrenceLeftToRight) {
  EXPECT_EQ(replace_all("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replace_all("a\r\nb\r\n", "\r\n", "{$}"), "a{$}b{$}");
  EXPECT_EQ(replace_all("abc", "", "x"), "abc");
  EXPECT_EQ(replace_all("臕"_gbk + "A", "A", "-"), "臕"_gbk + "-");
}

TEST(SplitText, KeepsInnerEmptiesDropsTheEmptyRest) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(split_text("a,,b,", ","), (Pieces{"a", "", "b"}));
  EXPECT_EQ(split_text("a,b,c", ","), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(split_text(",", ","), (Pieces{""}));
  EXPECT_EQ(split_text("", ","), Pieces{});
  EXPECT_EQ(split_text("abc", ""), (Pieces{"abc"}));
}

TEST(TrimBlanks, HalfAndFullWidthBlanksOnly) {
  EXPECT_EQ(trim_blanks("  a b  "), "a b");
  EXPECT_EQ(trim_blanks("　中　 "_gbk), "中"_gbk);
  EXPECT_EQ(trim_blanks("\tx\n"), "\tx\n");
  EXPECT_EQ(trim_blanks("   "), "");
  // 啊 (B0 A1) followed by A1 A1: only the full-width blank goes.
  EXPECT_EQ(trim_blanks("啊　"_gbk), "啊"_gbk);
}

TEST(ReadInteger, AtoiAfterFullWidthForms) {
  struct Case {
    std::string text;
    int expected;
  };
  const Case cases[] = {
      {"3", 3},
      {"  42abc", 42},
      {"-7", -7},
      {"+8", 8},
      {"", 0},
      {"abc", 0},
      {"３"_gbk, 3},
      {"　１２"_gbk, 12},
      {"－５"_gbk, -5},
      {"\"3\"", 0},
      {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) EXPECT_EQ(read_integer(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace quillora::util
