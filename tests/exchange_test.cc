#include "session/exchange.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

// Sets the time zone of this process for the life of the object.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    const char* old = getenv("TZ");
    had_old_ = old != nullptr;
    if (had_old_)
      old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (had_old_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_old_ = false;
  std::string old_;
};

TEST(TimeOfDayTest, IsLocalTimeWithLeadingZeros) {
  struct Case {
    const char* zone;
    time_t when;
    const char* stamp;
  } cases[] = {
      {"UTC0", 9 * 3600 + 5 * 60 + 3, "09:05:03"},
      {"UTC0", 0, "00:00:00"},
      {"UTC0", 86399, "23:59:59"},
      // Five and a half hours east of UTC: 09:05:03 UTC is 14:35:03 there.
      {"XST-5:30", 9 * 3600 + 5 * 60 + 3, "14:35:03"},
      // Three hours west: the day before, 21:00:00.
      {"YST3", 0, "21:00:00"},
  };
  for (const Case& c : cases) {
    ScopedTimeZone zone(c.zone);
    char stamp[kTimeStampSize];
    FormatTimeOfDay(c.when, stamp);
    EXPECT_STREQ(stamp, c.stamp) << c.zone << " " << c.when;
  }
}

}  // namespace
