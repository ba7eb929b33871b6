#include <gtest/gtest.h>

#include "store/account.hpp"
#include "util/base64.hpp"

namespace quillora::store {
namespace {

std::string hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(StoreCipher, IsRc4WithoutDiscard) {
  // Published RC4 test vectors, then the two keys of the settings file.
  EXPECT_EQ(hex(store_cipher("Plaintext", "Key")), "bbf316e8d940af0ad3");
  EXPECT_EQ(hex(store_cipher("pedia", "Wiki")), "1021bf0420");
  EXPECT_EQ(hex(store_cipher("Attack at dawn", "Secret")), "45a01f645fc35b383552544b9bf5");
  EXPECT_EQ(util::base64_encode(store_cipher("p&ss", "vorku385")), "DZtSvA==");
  EXPECT_EQ(util::base64_encode(store_cipher("demo123", "vorku385")), "GdhMoDd1DQ==");
}

TEST(StoreCipher, SameLengthAndItsOwnInverse) {
  EXPECT_EQ(store_cipher("", "vorku385"), "");
  std::string bytes("a\0b\xff\x80", 5);
  std::string sealed = store_cipher(bytes, "drenmofaxe920");
  EXPECT_EQ(sealed.size(), bytes.size());
  EXPECT_NE(sealed, bytes);
  EXPECT_EQ(store_cipher(sealed, "drenmofaxe920"), bytes);
}

}  // namespace
}  // namespace quillora::store
