#include "store/settings_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "support/temp_dir.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;

std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spill(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary);
  out << bytes;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::filesystem::path file = dir.path() / "config.ini";
  std::string section = "登录"_gbk;
  std::string account = "账号"_gbk;
};

TEST_F(SettingsFileTest, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(read_setting(file, section, "uid"), "");
  spill(file, "[other]\r\nuid=1\r\n");
  EXPECT_EQ(read_setting(file, section, "uid"), "");
  spill(file, "[" + section + "]\r\ntoken=1\r\n");
  EXPECT_EQ(read_setting(file, section, "uid"), "");
  EXPECT_TRUE(delete_setting(dir.path() / "absent.ini", section, "uid"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent.ini"));
}

TEST_F(SettingsFileTest, NewFileHoldsKeysInWriteOrderWithCrLf) {
  ASSERT_TRUE(write_setting(file, section, account, "张三"_gbk));
  ASSERT_TRUE(write_setting(file, section, "token", "dG9r"));
  ASSERT_TRUE(write_setting(file, section, "uid", "42"));
  EXPECT_EQ(slurp(file),
            "[" + section + "]\r\n" + account + "=" + "张三"_gbk + "\r\ntoken=dG9r\r\nuid=42\r\n");
  EXPECT_EQ(read_setting(file, section, account), "张三"_gbk);
  EXPECT_EQ(read_setting(file, section, "UID"), "42");  // key names ignore ASCII case
}

TEST_F(SettingsFileTest, FirstSignInWritesTheFixtureFile) {
  // The four writes of a sign-in as 张三 with the password p&ss and this token, in their order.
  ASSERT_TRUE(write_setting(file, section, account, "张三"_gbk));
  ASSERT_TRUE(write_setting(file, section, "密码"_gbk, "DZtSvA=="));
  ASSERT_TRUE(write_setting(file, section, "token", "6YXVUfxIj50cGoN1I0uiBXSExAEmX8SOm4ZYuTEzgUU="));
  ASSERT_TRUE(write_setting(file, section, "uid", "10002"));
  std::string fixture = slurp(std::filesystem::path(QUILLORA_SOURCE_DIR) / "tests/store/fixtures/config.ini");
  ASSERT_FALSE(fixture.empty());
  EXPECT_EQ(slurp(file), fixture);
}

TEST_F(SettingsFileTest, ReplacesInPlaceAndAppendsToItsSection) {
  spill(file, "; kept\r\n[" + section + "]\r\nuid=1\r\ntoken=a\r\n\r\n[other]\r\nx=y\n");
  ASSERT_TRUE(write_setting(file, section, "uid", "2"));
  ASSERT_TRUE(write_setting(file, section, "new", "v"));
  ASSERT_TRUE(write_setting(file, "other", "z", "w"));
  EXPECT_EQ(slurp(file),
            "; kept\r\n[" + section + "]\r\nuid=2\r\ntoken=a\r\nnew=v\r\n\r\n[other]\r\nx=y\r\nz=w\r\n");
  ASSERT_TRUE(delete_setting(file, section, "token"));
  EXPECT_EQ(slurp(file), "; kept\r\n[" + section + "]\r\nuid=2\r\nnew=v\r\n\r\n[other]\r\nx=y\r\nz=w\r\n");
}

TEST_F(SettingsFileTest, ValuesKeepTheirBytes) {
  // "=" inside the value, blanks at both ends, and GBK characters whose second byte is "\" or "[".
  std::string value = " a=b \x95\x5C\x81\x5B ";
  ASSERT_TRUE(write_setting(file, section, "v", value));
  EXPECT_EQ(read_setting(file, section, "v"), value);
  EXPECT_NE(slurp(file).find("v=" + value + "\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, GbkKeysDoNotFoldTrailBytes) {
  // Two double-byte characters that differ only in the ASCII case of their second byte.
  ASSERT_TRUE(write_setting(file, section, "\x81\x41", "upper"));
  ASSERT_TRUE(write_setting(file, section, "\x81\x61", "lower"));
  EXPECT_EQ(read_setting(file, section, "\x81\x41"), "upper");
  EXPECT_EQ(read_setting(file, section, "\x81\x61"), "lower");
}

TEST_F(SettingsFileTest, LongValuesReadCutTo10239Bytes) {
  std::string value(12000, 'x');
  ASSERT_TRUE(write_setting(file, section, "v", value));
  EXPECT_EQ(read_setting(file, section, "v"), std::string(10239, 'x'));
}

TEST_F(SettingsFileTest, LineBreaksCannotInjectLines) {
  ASSERT_TRUE(write_setting(file, section, "uid", "1"));
  EXPECT_FALSE(write_setting(file, section, "uid", "2\r\ntoken=forged"));
  EXPECT_FALSE(write_setting(file, section, "a\nb", "1"));
  EXPECT_EQ(read_setting(file, section, "uid"), "1");
  EXPECT_EQ(read_setting(file, section, "token"), "");
}

TEST_F(SettingsFileTest, WritesAreAtomicAndPrivate) {
  spill(file, "[" + section + "]\r\nuid=1\r\n");
  ::chmod(file.c_str(), 0644);
  ASSERT_TRUE(write_setting(file, section, "token", "t"));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // Nothing but the file itself is left in the directory.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(SettingsFileTest, FailedWritesLeaveTheOldFileWhole) {
  // A missing directory is not created.
  EXPECT_FALSE(write_setting(dir.path() / "missing" / "config.ini", section, "uid", "1"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
  // A read-only directory: the write fails and the file keeps its content.
  spill(file, "[" + section + "]\r\nuid=1\r\n");
  std::filesystem::permissions(dir.path(),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  bool written = write_setting(file, section, "uid", "2");
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
  if (::geteuid() != 0) {  // root writes anyway
    EXPECT_FALSE(written);
  }
  if (!written) {
    EXPECT_EQ(slurp(file), "[" + section + "]\r\nuid=1\r\n");
  }
}

TEST_F(SettingsFileTest, UnreadableFileIsNotOverwritten) {
  std::filesystem::create_directory(file);  // a directory where the file should be
  EXPECT_FALSE(write_setting(file, section, "uid", "1"));
  EXPECT_TRUE(std::filesystem::is_directory(file));
  EXPECT_EQ(read_setting(file, section, "uid"), "");
}

}  // namespace
}  // namespace quillora::store
