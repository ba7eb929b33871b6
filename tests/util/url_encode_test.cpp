#include "util/url_encode.hpp"

#include <gtest/gtest.h>

#include "util/gbk.hpp"

namespace quillora::util {
namespace {

using namespace literals;

TEST(UrlEncode, Options) {
  struct Case {
    std::string text;
    bool keep, utf8;
    std::string expected;
  };
  const Case cases[] = {
      {"a-b.c_d~e/f", true, true, "a-b.c%5Fd%7Ee%2Ff"},
      {"中"_gbk, true, true, "%E4%B8%AD"},
      {"中"_gbk, true, false, "%D6%D0"},
      {"a b", true, true, "a%20b"},
      {"a\n", true, false, "a%0A"},
      {"a1", false, false, "%61%31"},
      {"", true, true, ""},
      {"张三"_gbk, true, true, "%E5%BC%A0%E4%B8%89"},
  };
  for (const Case& c : cases) EXPECT_EQ(url_encode(c.text, c.keep, c.utf8), c.expected) << c.expected;
}

}  // namespace
}  // namespace quillora::util
