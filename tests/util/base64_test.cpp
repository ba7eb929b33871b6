#include "util/base64.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "util/events.hpp"

namespace quillora::util {
namespace {

TEST(Base64, EncodesPadded) {
  const std::pair<std::string, std::string> cases[] = {
      {"abc", "YWJj"}, {"ab", "YWI="}, {"a", "YQ=="}, {"", ""}, {std::string("\0\xFF\x10", 3), "AP8Q"}};
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(base64_encode(bytes), text);
    EXPECT_EQ(base64_decode(text), bytes);
  }
}

TEST(Base64, DecodesLeniently) {
  struct Case {
    std::string text;
    bool strip;
    std::string bytes;
  };
  const Case cases[] = {
      {"YW Jj", false, "abc"},
      {"YW\r\nJj", false, "abc"},
      {"Y\xA1\xA1WJj", false, "abc"},
      {"YQ", false, std::string("a\0\0", 3)},
      {"YQ", true, "a"},
      {"QQ", false, std::string("A\0\0", 3)},
      {"", false, ""},
      // A lone LF is an invalid character that ends the last group's scan at its third position.
      {"YW\nJ", false, "a"},
      // An invalid character inside: the group keeps the stale third and fourth entries of the one
      // before, and only the last group's scan shortens the result.
      {"YWJj*WJjYQ==", false,
       "abc\xA9"
       "bca"},
      {"*WJjYQ==", false,
       std::string("\xA8\0\0"
                   "a",
                   4)},
      {"YWJjYQ", true, "abca"},
  };
  for (const Case& c : cases) EXPECT_EQ(base64_decode(c.text, c.strip), c.bytes) << c.text;
}

TEST(Base64, ProcessesEventsAfterEveryGroupOnTheHookThreadOnly) {
  int calls = 0;
  install_event_hook([&] { ++calls; });
  EXPECT_EQ(base64_decode("YWJjYWJj"), "abcabc");
  EXPECT_EQ(calls, 2);
  std::thread([] { base64_decode("YWJj"); }).join();
  EXPECT_EQ(calls, 2);
  install_event_hook({});
  base64_decode("YWJj");
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace quillora::util
