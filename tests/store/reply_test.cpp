#include "store/reply.hpp"

#include <gtest/gtest.h>

#include "util/gbk.hpp"

namespace quillora::store {
namespace {

using namespace util::literals;

TEST(Reply, FieldsAndSuccess) {
  struct Case {
    std::string reply;
    std::string error;
    bool ok;
  };
  const Case cases[] = {
      {R"({"error":0,"content":"ok"})", "0", true},    {R"({"error":"0","content":"ok"})", "\"0\"", false},
      {R"({"error": 0,"content":"ok"})", " 0", false}, {R"({"content":"ok","error":0})", "", false},
      {R"({"error":01,"content":"x"})", "01", false},  {"", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(reply_field(c.reply, ReplyField::error), c.error) << c.reply;
    EXPECT_EQ(reply_ok(c.reply), c.ok) << c.reply;
  }
  const std::string login = R"({"error":0,"content":"","token":"t","uid":""})";
  EXPECT_EQ(reply_field(login, ReplyField::token), "t");
  EXPECT_EQ(reply_field(login, ReplyField::uid), "");
  EXPECT_EQ(reply_field(login, ReplyField::content), "");
  EXPECT_EQ(reply_field(R"({"error":1,"content":"x","url":"http:\/\/h\/a.zip"})", ReplyField::url),
            R"(http:\/\/h\/a.zip)");
  // A marker is found anywhere, also at the end of a longer key.
  EXPECT_EQ(reply_field(R"({"myuid":"9","uid":"1"})", ReplyField::uid), "9");
  // An escaped quote ends the field.
  EXPECT_EQ(reply_field(R"({"content":"say \"hi\""})", ReplyField::content), "say \\");
}

TEST(Reply, PageCount) {
  const std::pair<std::string, int> cases[] = {
      {R"({"error":0,"content":"3"})", 3},
      {R"({"error":0,"content":" 12 pages"})", 12},
      {R"({"content":"３"})"_gbk, 3},
      {R"({"content":""})", 0},
      {R"({"content":"none"})", 0},
      {"", 0},
      {R"({"content":"99999999999"})", 2147483647},
  };
  for (const auto& [reply, count] : cases) EXPECT_EQ(read_page_count(reply), count) << reply;
}

TEST(Reply, DecodeMessage) {
  const std::pair<std::string, std::string> cases[] = {
      {R"(\u767b\u5f55\u6210\u529f)", "登录成功"_gbk},
      {"It's", "It's"},
      {R"(\u2019)", "'"},
      {"’"_gbk, "'"},
      {"a\r\nb", "a\r\nb"},
      {"a{$}b", "a\r\nb"},
      {"\rab", "ab"},
      {R"(http:\/\/h\/a.zip)", "http://h/a.zip"},
      {"100%41", "100A"},
      {"abc\\", "abc\\"},
      {"", ""},
      {"tab\\there", "tab\there"},
      {"\\x41\\0z", "A"},  // the text ends at a zero character
      {"\\q", "q"},
      {"50% off", "50% off"},
      {"a\nb", "a\nb"},  // a raw LF: the literal is malformed and the fallback keeps it
      {R"(\u4e2d%u6587)", "中文"_gbk},
      {R"(\ud83d\ude00)", "?"},  // outside GBK
      {"中文"_gbk, "中文"_gbk},
      // 礬 is B5 5C: its trail byte is not a backslash escape.
      {"礬u"_gbk, "礬u"_gbk},
  };
  for (const auto& [message, decoded] : cases) EXPECT_EQ(decode_message(message), decoded) << message;
}

TEST(Reply, UnescapeFallbackAndHexValue) {
  const std::pair<std::string, std::string> cases[] = {
      {"%u4e2d%u6587", "中文"_gbk}, {"%uff0cx", "%uff0cx"}, {"50%", "50%"}, {"%41%4", "A%4"},
      {"%u00e9", "%u00e9"},         {"%00a", "a"},          {"a%", "a%"},   {"%u4", "?"},
  };
  for (const auto& [text, decoded] : cases) EXPECT_EQ(unescape_fallback(text), decoded) << text;

  const std::pair<std::string, std::uint64_t> values[] = {
      {"4e2d", 0x4E2D}, {"4E2D", 0x4E2D}, {"zz", 595}, {"", 0}, {"0123456789abcdef0", 0x123456789ABCDEF0},
  };
  for (const auto& [digits, value] : values) EXPECT_EQ(hex_value(digits), value) << digits;
}

}  // namespace
}  // namespace quillora::store
