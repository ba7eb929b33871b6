#include "util/gbk.hpp"

#include <gtest/gtest.h>

namespace quillora::util {
namespace {

using namespace literals;

TEST(Gbk, CodePage936Forms) {
  struct Case {
    std::string gbk;
    std::string utf8;
  };
  const Case cases[] = {
      {"\xD6\xD0\xCE\xC4", "中文"}, {"\x80", "€"},  {"\xA1\xAF", "’"},
      {"\xA1\xA1", "　"},           {"abc", "abc"}, {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gbk_to_utf8(c.gbk), c.utf8);
    EXPECT_EQ(utf8_to_gbk(c.utf8), c.gbk);
  }
  EXPECT_EQ("登录成功！"_gbk, "\xB5\xC7\xC2\xBC\xB3\xC9\xB9\xA6\xA3\xA1");
}

TEST(Gbk, MissingCharactersBecomeQuestionMarks) {
  EXPECT_EQ(utf8_to_gbk("a😀b"), "a?b");
  EXPECT_EQ(utf8_to_gbk("ก"), "?");                // Thai
  EXPECT_EQ(utf16_to_gbk(u"\xD800x"), "?x");       // unpaired surrogate
  EXPECT_EQ(utf8_to_gbk("a\xFF\xE4\xB8"), "a??");  // invalid and cut-off UTF-8
}

TEST(Gbk, WideBytes) {
  EXPECT_EQ(text_to_wide("a中"_gbk), std::string("a\0\x2D\x4E\0\0", 6));
  EXPECT_EQ(text_to_wide("a", true), std::string("a\0", 2));
  EXPECT_EQ(text_to_wide(""), "");
  EXPECT_EQ(wide_to_text(std::string("a\0\x2D\x4E\0\0z\0", 8)), "a中"_gbk);
  EXPECT_EQ(wide_to_text(std::string("a\0b", 3)), "a");  // odd last byte ignored
  // e followed by a combining acute accent composes to é, which GBK has.
  EXPECT_EQ(wide_to_text(std::string("e\0\x01\x03", 4)), "\xA8\xA6");
}

TEST(Gbk, AnyCharsetByName) {
  EXPECT_EQ(charset_to_gbk("\xE4\xB8\xAD\xE6\x96\x87", "utf-8"), "中文"_gbk);
  EXPECT_EQ(charset_to_gbk("\xA4\xA4\xA4\xE5", "big5"), "中文"_gbk);
  EXPECT_EQ(charset_to_gbk("\xFF\xFE-N", "UTF-16"), "中"_gbk);
  EXPECT_EQ(charset_to_gbk("caf\xE9", "iso-8859-1"), "caf\xA8\xA6");
  EXPECT_EQ(charset_to_gbk("\xA1!", "TIS-620"), "?!");  // Thai: not in GBK
  EXPECT_EQ(charset_to_gbk("raw\x81", "no-such-charset"), "raw\x81");
  EXPECT_EQ(charset_to_gbk("raw", std::string("utf-8\0x", 7)), "raw");
}

}  // namespace
}  // namespace quillora::util
