#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <optional>
#include <string>

#include "store/catalogue.hpp"
#include "support/zone_guard.hpp"

namespace quillora::store {
namespace {

using test::ZoneGuard;

struct TimestampCase {
  const char* zone;
  const char* text;  // the member text with "000" appended, as the list passes it
  bool clock_24_hour;
  const char* shown;
};

TEST(TimestampToText, BothFormsInSeveralZones) {
  const TimestampCase cases[] = {
      // Milliseconds: local time of the machine.
      {"CST-8", "1498203900000", true, "2017-6-23 15:45:00"},
      {"UTC0", "1498203900000", true, "2017-6-23 07:45:00"},
      {"EST5EDT,M3.2.0,M11.1.0", "1498203900000", true, "2017-6-23 03:45:00"},
      {"EST5EDT,M3.2.0,M11.1.0", "1483228800000", true, "2016-12-31 19:00:00"},
      {"CST-8", "000", true, "1970-1-1 08:00:00"},  // a missing member
      {"UTC0", "000", true, "1970-1-1 00:00:00"},
      {"UTC0", "-1000", true, "1969-12-31 23:59:59"},
      {"UTC0", "1500", true, "1970-1-1 00:00:01"},
      {"UTC0", "  1498203900000 ", true, "2017-6-23 07:45:00"},
      {"UTC0", "abc000", true, ""},
      {"UTC0", "12ab3000", true, ""},
      {"UTC0", "", true, ""},
      {"UTC0", "9999999999999999000", true, ""},  // beyond the range of a date
      // Ten characters: seconds after 1970-01-01 08:00:00 whatever the zone.
      {"UTC0", "1234567000", true, "2009-2-14 07:16:40"},
      {"EST5EDT,M3.2.0,M11.1.0", "1234567000", true, "2009-2-14 07:16:40"},
      {"CST-8", "1234600000", true, "2009-2-14 16:26:40"},
      {"CST-8", "1234600000", false, "2009-2-14 04:26:40"},
      {"UTC0", "0000000000", false, "1970-1-01 08:00:00"},
      {"UTC0", "0000014400", true, "1970-1-01 12:00:00"},
      {"UTC0", "0000014400", false, "1970-1-01 12:00:00"},
      {"UTC0", "9999999000", true, "2286-11-21 01:30:00"},
  };
  for (const auto& c : cases) {
    ZoneGuard zone(c.zone);
    EXPECT_EQ(timestamp_to_text(c.text, c.clock_24_hour), c.shown)
        << "TZ=" << c.zone << " text=" << c.text << " 24h=" << c.clock_24_hour;
  }
}

TEST(TimestampToText, ClockFollowsTheTimePicture) {
  struct {
    const char* picture;
    bool clock_24_hour;
  } cases[] = {
      {"%H:%M:%S", true},  {"%T", true},      {"%r", false},       {"%I:%M:%S %p", false},
      {"%l:%M %p", false}, {"%OI:%M", false}, {"%%I %H:%M", true}, {"", true},
  };
  for (const auto& c : cases) EXPECT_EQ(time_format_is_24_hour(c.picture), c.clock_24_hour) << c.picture;
}

TEST(TimestampToText, CLocaleUsesTheTwentyFourHourClock) {
  std::optional<std::string> old;
  if (const char* value = std::getenv("LC_ALL")) old = value;
  ::setenv("LC_ALL", "C", 1);
  EXPECT_TRUE(locale_uses_24_hour_clock());
  EXPECT_EQ(timestamp_to_text("1234600000"), "2009-2-14 16:26:40");
  if (old)
    ::setenv("LC_ALL", old->c_str(), 1);
  else
    ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace quillora::store
