#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <optional>

#include "store/catalogue.hpp"
#include "store/row_actions.hpp"
#include "support/zone_guard.hpp"
#include "util/gbk.hpp"

namespace quillora::store {
namespace {
using namespace util::literals;

// Every page test runs at UTC+8, where the store's example times are given.
class CatalogueRowsTest : public ::testing::Test {
 protected:
  test::ZoneGuard zone_{"CST-8"};

 private:
};

TEST_F(CatalogueRowsTest, CellsFollowTheColumnRules) {
  // Written the way the store writes it: \u escapes, "\/", numbers and strings mixed.
  const char* reply = R"([
    {"plugin_id":"101","plugin_name":"\u5929\u6c14 \"Pro\"","nick_name":"a\\b","type_name":"x\/y",
     "robot_name":"Vexa","charge":"1","down_count":12,"update_time":"1498203900",
     "detail":"l1\r\nl2\ttab","uid":"7"},
    {"plugin_id":102,"plugin_name":"n","charge":2,"update_time":1234567,"detail":null},
    {"charge":"3","update_time":""},
    {"charge":"4"},
    {"charge":"01"}
  ])";
  auto rows = rows_from_reply(reply);
  ASSERT_EQ(rows.size(), 5u);
  const PluginRow first{
      "天气 \\Pro\\"_gbk, "a\\\\b", "x/y", "Vexa", "免费"_gbk, "12", "2017-6-23 15:45:00", "101",
      "l1\\r\\nl2\\ttab", "7"};
  EXPECT_EQ(rows[0], first);
  EXPECT_EQ(rows[1][app::col_plugin_id], "102");
  EXPECT_EQ(rows[1][app::col_charge], "收费"_gbk);
  EXPECT_EQ(rows[1][app::col_updated], "2009-2-14 07:16:40");
  EXPECT_EQ(rows[1][app::col_detail], "null");
  EXPECT_EQ(rows[1][app::col_author_uid], "");  // missing member
  EXPECT_EQ(rows[2][app::col_charge], "半收费"_gbk);
  EXPECT_EQ(rows[2][app::col_updated], "1970-1-1 08:00:00");  // empty: "000" is the epoch
  EXPECT_EQ(rows[3][app::col_charge], "");
  EXPECT_EQ(rows[3][app::col_updated], "1970-1-1 08:00:00");  // missing: the same
  EXPECT_EQ(rows[4][app::col_charge], "");
  // The double click shows the escaped line break as two line breaks; \t stays as it is.
  EXPECT_EQ(description_text(rows[0][app::col_detail]), "l1\r\n\r\nl2\\ttab");
}

TEST_F(CatalogueRowsTest, RepliesThatAreNotAPage) {
  EXPECT_TRUE(rows_from_reply("").empty());
  EXPECT_TRUE(rows_from_reply("[]").empty());
  EXPECT_TRUE(rows_from_reply("<html>500</html>").empty());
  EXPECT_TRUE(rows_from_reply(R"([{"plugin_name":"a")").empty());
  EXPECT_TRUE(rows_from_reply("function(){return [1]}()").empty());
  // Millions of tiny elements would take gigabytes as rows: past the limit the reply is no page.
  auto elements = [](int count) {
    std::string reply = "[{}";
    for (int i = 1; i < count; ++i) reply += ",{}";
    return reply + "]";
  };
  EXPECT_EQ(rows_from_reply(elements(max_page_rows)).size(), static_cast<std::size_t>(max_page_rows));
  EXPECT_TRUE(rows_from_reply(elements(max_page_rows + 1)).empty());
  // An error object of the store: one row per member, empty but for the time.
  auto rows = rows_from_reply(R"({"error":1,"content":"x"})");
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) {
    PluginRow expected{};
    expected[app::col_updated] = "1970-1-1 08:00:00";
    EXPECT_EQ(row, expected);
  }
}

TEST(StripQuotes, RemovesEveryDoubleQuote) {
  EXPECT_EQ(strip_quotes(R"("a\"b")"), "a\\b");
  EXPECT_EQ(strip_quotes(""), "");
  EXPECT_EQ(strip_quotes("\"\"\""), "");
}

TEST(DescriptionText, CarriageReturnFirstThenLineFeed) {
  struct {
    const char* cell;
    const char* shown;
  } cases[] = {
      {"a\\r\\nb", "a\r\n\r\nb"}, {"a\\nb", "a\r\nb"}, {"a\\tb", "a\\tb"},
      {"\\\\n", "\\\r\n"},        {"a\\Rb", "a\\Rb"},  {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(description_text(c.cell), c.shown) << c.cell;
}

}  // namespace
}  // namespace quillora::store
