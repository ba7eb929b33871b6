#include "util/json_document.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "util/gbk.hpp"

namespace quillora::util {
namespace {

using namespace literals;

TEST(JsonDocument, ParseResultAndCount) {
  struct Case {
    std::string text;
    bool parsed;
    int count;
  };
  const Case cases[] = {
      {"", false, 0},
      {"[]", true, 0},
      {"{}", true, 0},
      {"null", false, 0},
      {R"([{"a":1},{"a":2},{"a":3}])", true, 3},
      {R"({"a":1,"b":[1,2]})", true, 2},
      {R"({"a":1,"a":2})", true, 1},  // a repeated name is one member
      {"\"text\"", true, 0},
      {" [1] ", true, 1},
      // Texts that only a script evaluator would take are refused like any invalid JSON.
      {"{'a':1}", false, 0},
      {"{a:1}", false, 0},
      {"[1,2,]", false, 0},
      {"/*c*/{}", false, 0},
      {"[1]+[2]", false, 0},
      {"alert(1)", false, 0},
      {"{\"a\":1}x", false, 0},
      {"[NaN]", false, 0},
      {"[\"a\nb\"]", false, 0},
      {std::string(100000, '['), false, 0},
  };
  for (const Case& c : cases) {
    JsonDocument document;
    EXPECT_EQ(document.parse(c.text), c.parsed) << c.text.substr(0, 40);
    EXPECT_EQ(document.count(), c.count) << c.text.substr(0, 40);
    if (!c.parsed) {
      EXPECT_EQ(document.kind_of(), JsonKind::null);
      EXPECT_EQ(document.get_json("a"), "");
      EXPECT_EQ(document.to_text(), "");
    }
  }
}

TEST(JsonDocument, NestingIsBounded) {
  JsonDocument document;
  EXPECT_TRUE(document.parse(std::string(200, '[') + std::string(200, ']')));
  EXPECT_FALSE(document.parse(std::string(300, '[') + std::string(300, ']')));
}

TEST(JsonDocument, GetJsonFollowsTheSerialiserRules) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(
      R"({"cn":"\u4e2d\u6587","nul":null,"n":42,"f":1.0,"h":1.5,"big":1e21,"small":1e-7,"tiny":0.000001,)"
      R"("neg":-0.0,"exact":12345678901234567890,"t":true,"path":"a\/b","ctl":"\t\n\r\b\f\u0001\u007f",)"
      R"("fmt":"\u00ad\u200c\u2028\ufeff\uffff","quote":"\"\\","obj":{"b":[1,{"c":null}],"a":"x"},)"
      R"("astral":"\ud83d\ude00"})"));
  struct Case {
    std::string path;
    std::string json;
  };
  const Case cases[] = {
      {"cn", "\"中文\""_gbk},
      {"nul", "null"},
      {"n", "42"},
      {"f", "1"},
      {"h", "1.5"},
      {"big", "1e+21"},
      {"small", "1e-7"},
      {"tiny", "0.000001"},
      {"neg", "0"},
      {"exact", "12345678901234567890"},
      {"t", "true"},
      {"path", "\"a/b\""},
      {"ctl", R"("\t\n\r\b\f\u0001\u007f")"},
      {"fmt", R"("\u00ad\u200c\u2028\ufeff\uffff")"},
      {"quote", R"("\"\\")"},
      {"obj", R"({"b":[1,{"c":null}],"a":"x"})"},
      {"obj.b[1]", R"({"c":null})"},
      {"obj.b[1].c", "null"},
      {"astral", "\"?\""},  // GBK has no emoji
      {"missing", ""},
      {"obj.missing.deeper", ""},
      {"[0]", ""},
      {"", ""},
      {"obj.", ""},
      {"obj..a", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(document.get_json(c.path), c.json) << c.path;
}

TEST(JsonDocument, HugeNumbersAreRefusedOrNull) {
  JsonDocument document;
  // The parser refuses numbers outside a double's range; a number that would be infinite never
  // reaches the serialiser as text, but set_number can write one.
  if (document.parse(R"({"a":1e400})")) {
    EXPECT_EQ(document.get_json("a"), "null");
  }
  document.initialise();
  document.set_number("a", std::numeric_limits<double>::infinity());
  document.set_number("b", std::numeric_limits<double>::quiet_NaN());
  document.set_number("c", 3);
  EXPECT_EQ(document.to_text(), R"({"a":null,"b":null,"c":3})");
}

TEST(JsonDocument, GbkTextInAndOut) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(R"({"name":"中文插件","list":["甲","乙"]})"_gbk));
  EXPECT_EQ(document.get_json("name"), "\"中文插件\""_gbk);
  EXPECT_EQ(document.get_text("name"), "中文插件"_gbk);
  EXPECT_EQ(document.get_json("list"), R"(["甲","乙"])"_gbk);
  document.set_text("name", "张三"_gbk);
  EXPECT_EQ(document.get_json("name"), "\"张三\""_gbk);
}

TEST(JsonDocument, PageReadTheWayTheLoaderDoes) {
  JsonDocument page;
  ASSERT_TRUE(page.parse(R"([{"plugin_name":"\u63d2\u4ef6","down_count":12,"uid":"7"},)"
                         R"({"plugin_name":"b","down_count":"3"},{"plugin_name":null}])"));
  ASSERT_EQ(page.count(), 3);
  const std::string expected[3][3] = {
      {"\"插件\""_gbk, "12", "\"7\""}, {"\"b\"", "\"3\"", ""}, {"null", "", ""}};
  for (int i = 0; i < 3; ++i) {
    const JsonDocument item = page.element_object(i);
    EXPECT_EQ(item.get_json("plugin_name"), expected[i][0]);
    EXPECT_EQ(item.get_json("down_count"), expected[i][1]);
    EXPECT_EQ(item.get_json("uid"), expected[i][2]);
  }
  const JsonDocument past_end = page.element_object(3);
  EXPECT_EQ(past_end.get_json("plugin_name"), "");
  EXPECT_EQ(past_end.count(), 0);
  EXPECT_EQ(page.element_object(-1).get_json("plugin_name"), "");
  // An element document outlives the page it came from.
  JsonDocument kept = page.element_object(0);
  page.parse("[]");
  EXPECT_EQ(kept.get_json("uid"), "\"7\"");
}

TEST(JsonDocument, PathsAndKinds) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(R"({"a":[10,{"b":"x"}],"o":{"k":1},"s":"t","n":2,"z":null,"f":false})"));
  struct Case {
    std::string path;
    JsonKind kind;
  };
  const Case cases[] = {
      {"", JsonKind::object},       {"a", JsonKind::array},      {"o", JsonKind::object},
      {"s", JsonKind::string},      {"n", JsonKind::number},     {"z", JsonKind::null},
      {"f", JsonKind::other},       {"missing", JsonKind::null}, {"missing.b", JsonKind::other},
      {"a[1].b", JsonKind::string}, {"a[5]", JsonKind::null},    {"z.b", JsonKind::other},
      {"s.b", JsonKind::null},      {"[0]", JsonKind::other},    {"a[x]", JsonKind::other},
  };
  for (const Case& c : cases) EXPECT_EQ(document.kind_of(c.path), c.kind) << c.path;

  EXPECT_EQ(document.count("a"), 2);
  EXPECT_EQ(document.count("o"), 1);
  EXPECT_EQ(document.count("s"), 0);
  EXPECT_TRUE(document.has_member("o.k"));
  EXPECT_FALSE(document.has_member("z"));
  EXPECT_FALSE(document.has_member("nope"));
  EXPECT_EQ(document.get_number("n"), 2);
  EXPECT_EQ(document.get_number("a[0]"), 10);
  EXPECT_EQ(document.get_number("s"), 0);
  EXPECT_EQ(document.get_number("nope"), 0);
  EXPECT_EQ(document.get_text("n"), "2");
  EXPECT_EQ(document.get_text("z"), "");
  EXPECT_EQ(document.get_text("a", true), R"([10,{"b":"x"}])");
  EXPECT_EQ(document.element_text(1, "a", true), R"({"b":"x"})");
  EXPECT_EQ(document.element_text(0, "a"), "10");
  EXPECT_EQ(document.element_text(7, "a"), "");
  EXPECT_EQ(document.get_object("a[1]").get_json("b"), "\"x\"");
  EXPECT_EQ(document.get_object("nope").kind_of(), JsonKind::null);

  std::vector<std::string> names{"old"};
  EXPECT_EQ(document.member_names(names), 6);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "o", "s", "n", "z", "f"}));
  EXPECT_EQ(document.member_names(names, "a"), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(document.member_names(names, "nope.x"), 0);
  EXPECT_TRUE(names.empty());

  JsonDocument array;
  ASSERT_TRUE(array.parse(R"([[1,2],{"k":"v"}])"));
  EXPECT_EQ(array.get_text("[1].k"), "v");
  EXPECT_EQ(array.count("[0]"), 2);
  EXPECT_EQ(array.get_json("[0]"), "");  // get_json always names a member
}

TEST(JsonDocument, Writes) {
  JsonDocument document;
  EXPECT_EQ(document.to_text(), "{}");
  document.set_text("s", R"(it\'s a\\b \x41\u4e2d)");
  EXPECT_EQ(document.get_text("s"), "it's a\\b A中"_gbk);
  document.set_text("bad", "it's");  // an unescaped quote makes the statement invalid
  document.set_text("bad", "line\nbreak");
  EXPECT_FALSE(document.has_member("bad"));
  document.set_json("o", R"({"x":[1,2]})");
  document.set_json("o.x", "[3]");
  document.set_json("o.y", "{bad json}");
  document.set_json("nope.y", "1");  // a missing intermediate member changes nothing
  document.set_text("e", "", true);
  document.set_number("n", 2.5);
  EXPECT_EQ(document.to_text(), R"({"s":"it's a\\b A中","o":{"x":[3]},"e":{},"n":2.5})"_gbk);

  document.push("a", "s");  // a string member becomes an array holding only the pushed value
  document.push("{\"k\":1}", "s", true);
  document.push("1", "fresh", true);
  EXPECT_EQ(document.get_json("s"), R"(["a",{"k":1}])");
  EXPECT_EQ(document.get_json("fresh"), "[1]");
  document.remove_member("o");
  document.remove_member("s[0]");
  EXPECT_EQ(document.to_text(), R"({"s":[null,{"k":1}],"e":{},"n":2.5,"fresh":[1]})");

  document.reset_as(JsonKind::array);
  document.push("x");
  document.set_element(3, "y");
  document.set_element(0, "5", true);
  EXPECT_EQ(document.to_text(), R"([5,null,null,"y"])");
  document.set_element(2'000'000'000, "z");  // would need two billion elements: refused
  document.remove_element(-1);
  document.remove_element(1);
  document.remove_element(9);
  EXPECT_EQ(document.to_text(), R"([5,null])");
  document.set_root("[1,[2]]", true);
  EXPECT_EQ(document.get_json("x"), "");
  EXPECT_EQ(document.count(), 2);
  document.set_root("plain");
  EXPECT_EQ(document.to_text(), "\"plain\"");
  document.reset_as(JsonKind::string);  // any other kind leaves the root alone
  EXPECT_EQ(document.to_text(), "\"plain\"");
  document.clear();
  EXPECT_EQ(document.to_text(), "{}");
}

TEST(JsonDocument, CopiesShareUntilAParse) {
  JsonDocument first;
  ASSERT_TRUE(first.parse(R"({"a":1})"));
  JsonDocument copy = first;
  first.set_number("b", 2);
  EXPECT_EQ(copy.to_text(), R"({"a":1,"b":2})");
  ASSERT_TRUE(first.parse(R"({"c":3})"));
  EXPECT_EQ(copy.to_text(), R"({"a":1,"b":2})");
  EXPECT_EQ(first.to_text(), R"({"c":3})");
  EXPECT_EQ(first.get_json("a"), "");  // a second parse discards everything of the first

  JsonDocument element = first.get_object("");
  element.set_number("d", 4);
  EXPECT_EQ(first.to_text(), R"({"c":3})");
  EXPECT_EQ(element.to_text(), R"({"c":3,"d":4})");
}

}  // namespace
}  // namespace quillora::util
