// The timed pause over a settable clock and a pump that advances it: clock set back, midnight,
// nested calls, secs changed by a handler, 0 and negative, and an unreadable clock text.
#include <functional>

#include "corvane/tarnel.h"
#include "corvane/clock.h"
#include "runtime/date_text.h"
#include "tests/support/test_support.h"

namespace corvane {
namespace {

using corvane::testing::ErrorOf;

// A clock the test sets; waiting advances it by the time waited.
class FakeClock final : public platform::Clock {
 public:
  rt::LocalTime now{2026, 12, 6, 23, 52, 6, 400};
  long long waited_ms = 0;
  rt::LocalTime Now() override { return now; }
  String DateSeparator() override { return u"/"; }
  String TimeSeparator() override { return u":"; }

  // Moves the clock on by `ms`, across minutes, hours and days (30-day months suffice here).
  void Advance(long long ms) {
    waited_ms += ms;
    long long total = now.millisecond + ms;
    now.millisecond = static_cast<int>(total % 1000);
    total = now.second + total / 1000;
    now.second = static_cast<int>(total % 60);
    total = now.minute + total / 60;
    now.minute = static_cast<int>(total % 60);
    total = now.hour + total / 60;
    now.hour = static_cast<int>(total % 24);
    now.day += static_cast<int>(total / 24);
  }
};

class FakePump final : public platform::MessagePump {
 public:
  explicit FakePump(FakeClock& clock) : clock_(clock) {}
  std::function<void()> handler;  // runs on every ProcessWaiting
  int processed = 0;
  void ProcessWaiting() override {
    ++processed;
    if (handler) handler();
  }
  void WaitForMessage(int milliseconds) override { clock_.Advance(milliseconds); }

 private:
  FakeClock& clock_;
};

class TimedPauseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::InstallClock(&clock);
    platform::InstallPump(&pump);
  }
  void TearDown() override {
    platform::InstallClock(nullptr);
    platform::InstallPump(nullptr);
  }
  Variant Pause(Long secs) {
    return tarnel.TimedPause([secs] { return secs; });
  }
  FakeClock clock;
  FakePump pump{clock};
  Tarnel tarnel;
};

TEST_F(TimedPauseTest, LastsUntilTheClockHasMovedSecsWholeSeconds) {
  struct Row {
    Long secs;
    long long min_ms, max_ms;  // time waited, from 23:52:06.400
  };
  const Row rows[] = {{0, 0, 0}, {-5, 0, 0}, {1, 600, 1000}, {3, 2600, 3000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.secs);
    clock.now.second = 6;
    clock.now.millisecond = 400;
    clock.waited_ms = 0;
    pump.processed = 0;
    EXPECT_TRUE(Pause(row.secs).is_empty());
    EXPECT_GE(clock.waited_ms, row.min_ms);
    EXPECT_LE(clock.waited_ms, row.max_ms + 2);
    if (row.secs <= 0) {
      EXPECT_EQ(pump.processed, 0) << "no message processing";
    }
  }
}

TEST_F(TimedPauseTest, FollowsTheWallClock) {
  // Across midnight: 23:59:58 + 5 s ends at 00:00:03 the next day.
  clock.now = {2026, 12, 6, 23, 59, 58, 0};
  Pause(5);
  EXPECT_EQ(clock.now.day, 7);
  EXPECT_EQ(clock.now.second, 3);
  // Set back by an hour during a 10-second pause: it lasts an hour and 10 seconds.
  clock.now = {2026, 12, 6, 10, 0, 0, 0};
  clock.waited_ms = 0;
  bool set_back = false;
  pump.handler = [&] {
    if (!set_back && clock.now.second == 2) {
      clock.now.hour -= 1;
      set_back = true;
    }
  };
  Pause(10);
  EXPECT_GE(clock.waited_ms, 3600'000 + 9'000);
  EXPECT_LE(clock.waited_ms, 3600'000 + 10'002);
}

TEST_F(TimedPauseTest, ReadsSecsBeforeEveryTestAndLetsNestedCallsFinish) {
  Long secs = 100;
  int passes = 0;
  pump.handler = [&] {
    if (++passes == 3) secs = 0;  // a handler shortens the pause
  };
  tarnel.TimedPause([&] { return secs; });
  EXPECT_EQ(passes, 3);

  // A nested pause of 5 s from the first pass of a 2-second one: the outer ends right after.
  clock.now = {2026, 12, 6, 10, 0, 6, 400};
  clock.waited_ms = 0;
  int depth = 0, nested = 0;
  pump.handler = [&] {
    if (depth++ == 0 && nested == 0) {
      ++nested;
      Pause(5);
    }
    --depth;
  };
  Pause(2);
  EXPECT_EQ(nested, 1);
  EXPECT_LE(clock.waited_ms, 4'602) << "from 06.400 to the inner end at 11.000";
}

TEST_F(TimedPauseTest, AnUnreadableClockTextFailsWith13) {
  clock.now.month = 13;
  EXPECT_EQ(ErrorOf([&] { Pause(1); }), 13);
  EXPECT_EQ(pump.processed, 0);
}

TEST(DateText, WritesAndReadsThePattern) {
  struct Row {
    rt::LocalTime time;
    const char16_t* text;
  };
  const Row rows[] = {
      {{2026, 12, 6, 23, 52, 6, 0}, u"12/06/2026 11:52:06 PM"},
      {{2026, 1, 2, 0, 5, 9, 0}, u"01/02/2026 12:05:09 AM"},
      {{2026, 1, 2, 12, 0, 0, 0}, u"01/02/2026 12:00:00 PM"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(rt::FormatTimePattern(row.time, u"/", u":"), row.text);
  EXPECT_EQ(rt::ReadTimePattern(u"01/01/2027 12:00:01 AM", u"/", u":") -
                rt::ReadTimePattern(u"12/31/2026 11:59:59 PM", u"/", u":"),
            2);
  EXPECT_EQ(rt::ReadTimePattern(u"03/01/2024 12:00:00 AM", u"/", u":") -
                rt::ReadTimePattern(u"02/28/2024 12:00:00 AM", u"/", u":"),
            2 * 86400)
      << "a leap year";
  EXPECT_EQ(rt::ReadTimePattern(u"06.12.2026 11.52.06 PM", u".", u".") -
                rt::ReadTimePattern(u"06.12.2026 11.52.00 PM", u".", u"."),
            6)
      << "read in the order written";
  for (const char16_t* bad :
       {u"", u"13/01/2026 12:00:00 AM", u"02/30/2026 12:00:00 AM", u"01/01/2026 13:00:00 AM",
        u"01/01/2026 12:00:00 XM", u"01-01-2026 12:00:00 AM"})
    EXPECT_EQ(ErrorOf([&] { rt::ReadTimePattern(bad, u"/", u":"); }), 13);
}

}  // namespace
}  // namespace corvane
