#include "host/dates.h"

#include <climits>
#include <random>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "x11sa/missing.h"

namespace x11sa {
namespace {

// An independent calendar: plain leap-year rules and year-by-year counting.
bool leap(long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int month_length(long y, int m) {
  static constexpr int kLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kLength[m - 1] + (m == 2 && leap(y) ? 1 : 0);
}

long naive_days(long y, int m, int d) {
  long days = 0;
  for (long k = 1960; k < y; ++k) days += leap(k) ? 366 : 365;
  for (long k = y; k < 1960; ++k) days -= leap(k) ? 366 : 365;
  for (int k = 1; k < m; ++k) days += month_length(y, k);
  return days + d - 1;
}

double day(long y, int m, int d) { return static_cast<double>(naive_days(y, m, d)); }

struct Civil {
  long y;
  int m;
  int d;
  void advance() {
    if (++d > month_length(y, m)) {
      d = 1;
      if (++m > 12) m = 1, ++y;
    }
  }
};

TEST(Dates, AnchorsOfTheDayCount) {
  EXPECT_EQ(naive_days(1960, 1, 1), 0);
  EXPECT_EQ(naive_days(1582, 1, 1), -138061);
  EXPECT_EQ(kMinDate, -138061.0);
  EXPECT_EQ(date_from_mdy(1, 1, 1960), 0.0);
  EXPECT_EQ(date_from_mdy(1, 1, 1582), -138061.0);
  EXPECT_EQ(date_from_mdy(1, 1, 2000), 14610.0);
  EXPECT_EQ(kMaxDate, day(20000, 12, 26));
  EXPECT_EQ(date_from_mdy(12, 26, 20000), kMaxDate);
  EXPECT_TRUE(is_missing(date_from_mdy(12, 27, 20000)));
  EXPECT_TRUE(is_missing(date_from_mdy(12, 31, 1581)));
}

// Every day from 1582 to 2400 against the independent calendar.
TEST(Dates, EveryDayConvertsBothWays) {
  Civil c{1582, 1, 1};
  for (long n = -138061; c.y <= 2400; ++n, c.advance()) {
    const double d = static_cast<double>(n);
    ASSERT_EQ(date_from_mdy(c.m, c.d, static_cast<int>(c.y)), d) << c.y << "-" << c.m << "-" << c.d;
    const auto back = civil_date_of(d);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->year, c.y);
    ASSERT_EQ(back->month, c.m);
    ASSERT_EQ(back->day, c.d);
    ASSERT_EQ(year_of_date(d), c.y);
    ASSERT_EQ(month_of_date(d), c.m);
    ASSERT_EQ(quarter_of_date(d), (c.m - 1) / 3 + 1);
  }
  // And the end of the range.
  const auto last = civil_date_of(kMaxDate);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->year, 20000);
  EXPECT_EQ(last->month, 12);
  EXPECT_EQ(last->day, 26);
}

TEST(Dates, InvalidDaysAndUnusableDates) {
  EXPECT_TRUE(is_missing(date_from_mdy(2, 29, 1900)));
  EXPECT_EQ(date_from_mdy(2, 29, 2000), day(2000, 2, 29));
  EXPECT_EQ(date_from_mdy(2, 29, 1996), day(1996, 2, 29));
  for (const auto& [m, d] : {std::pair{13, 1}, {0, 1}, {1, 0}, {1, 32}, {4, 31}, {-1, 5}})
    EXPECT_TRUE(is_missing(date_from_mdy(m, d, 2000))) << m << "/" << d;

  // Fractions of a day belong to the day they fall in.
  EXPECT_EQ(civil_date_of(0.75)->day, 1);
  EXPECT_EQ(civil_date_of(-0.5)->day, 31);
  EXPECT_EQ(civil_date_of(-0.5)->year, 1959);

  for (const double bad : {kMissing, kMinDate - 1, kMaxDate + 1, std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_FALSE(date_in_range(bad));
    EXPECT_FALSE(civil_date_of(bad));
    EXPECT_EQ(month_of_date(bad), 0);
    EXPECT_EQ(quarter_of_date(bad), 0);
    EXPECT_EQ(year_of_date(bad), 0);
    EXPECT_EQ(format_iso_date(bad), ".");
    EXPECT_EQ(format_monyy(bad), ".");
    EXPECT_EQ(format_yyq(bad), ".");
    EXPECT_EQ(format_yyqc(bad), ".");
  }
  EXPECT_TRUE(date_in_range(kMinDate));
  EXPECT_TRUE(date_in_range(kMaxDate));
}

TEST(Dates, IntervalCountsAcrossMonthAndQuarterBoundaries) {
  EXPECT_EQ(interval_boundaries_crossed("MONTH", day(1990, 1, 31), day(1990, 2, 1)), 1.0);
  EXPECT_EQ(interval_boundaries_crossed("MONTH", day(1990, 2, 1), day(1990, 1, 31)), -1.0);
  EXPECT_EQ(interval_boundaries_crossed("MONTH", day(1990, 1, 1), day(1990, 1, 31)), 0.0);
  EXPECT_EQ(interval_boundaries_crossed("MONTH", day(1989, 12, 31), day(1991, 1, 1)), 13.0);
  EXPECT_EQ(interval_boundaries_crossed("MONTH", day(1991, 3, 5), day(1989, 11, 20)), -16.0);
  EXPECT_EQ(interval_boundaries_crossed("QTR", day(1990, 3, 31), day(1990, 4, 1)), 1.0);
  EXPECT_EQ(interval_boundaries_crossed("QTR", day(1990, 1, 1), day(1989, 12, 31)), -1.0);
  EXPECT_EQ(interval_boundaries_crossed("QTR", day(1990, 4, 1), day(1990, 6, 30)), 0.0);
  EXPECT_EQ(interval_boundaries_crossed("QTR", day(1988, 11, 15), day(1990, 2, 1)), 5.0);
  EXPECT_EQ(interval_boundaries_crossed("YEAR", day(1990, 12, 31), day(1991, 1, 1)), 1.0);
  EXPECT_EQ(interval_boundaries_crossed("DAY", day(1990, 12, 31), day(1991, 1, 1)), 1.0);
  EXPECT_EQ(interval_boundaries_crossed("WEEK", day(1960, 1, 2), day(1960, 1, 3)), 1.0);  // Saturday to Sunday
  EXPECT_EQ(interval_boundaries_crossed("WEEK", day(1960, 1, 3), day(1960, 1, 9)), 0.0);  // Sunday to Saturday

  // Names in any case, blank-padded to 8 characters as the procedure passes them.
  EXPECT_EQ(interval_boundaries_crossed("month   ", 0.0, 31.0), 1.0);
  EXPECT_EQ(interval_boundaries_crossed(" Qtr", 0.0, 91.0), 1.0);
  EXPECT_TRUE(is_missing(interval_boundaries_crossed("DECADE", 0.0, 1.0)));
  EXPECT_TRUE(is_missing(interval_boundaries_crossed("", 0.0, 1.0)));
  EXPECT_TRUE(is_missing(interval_boundaries_crossed("MON", 0.0, 1.0)));

  for (const double bad : {kMissing, kMinDate - 1, kMaxDate + 1}) {
    EXPECT_TRUE(is_missing(interval_boundaries_crossed("MONTH", bad, 0.0)));
    EXPECT_TRUE(is_missing(interval_boundaries_crossed("QTR", 0.0, bad)));
  }
  EXPECT_EQ(interval_boundaries_crossed("MONTH", kMinDate, kMaxDate), 12.0 * (20000 - 1582) + 11);
}

TEST(Dates, AdvancingByIntervals) {
  EXPECT_EQ(shifted_interval_start("MONTH", day(1990, 1, 15), 0), day(1990, 1, 1));
  EXPECT_EQ(shifted_interval_start("MONTH", day(1990, 1, 31), 1), day(1990, 2, 1));
  EXPECT_EQ(shifted_interval_start("MONTH", day(1990, 1, 15), -1), day(1989, 12, 1));
  EXPECT_EQ(shifted_interval_start("MONTH", day(1990, 1, 15), -13), day(1988, 12, 1));
  EXPECT_EQ(shifted_interval_start("MONTH", day(1990, 11, 30), 25), day(1992, 12, 1));
  EXPECT_EQ(shifted_interval_start("QTR", day(1990, 5, 20), 0), day(1990, 4, 1));
  EXPECT_EQ(shifted_interval_start("QTR", day(1990, 5, 20), -2), day(1989, 10, 1));
  EXPECT_EQ(shifted_interval_start("QTR", day(1990, 5, 20), 3), day(1991, 1, 1));
  EXPECT_EQ(shifted_interval_start("QTR", day(1990, 12, 31), -8), day(1988, 10, 1));
  EXPECT_EQ(shifted_interval_start("YEAR", day(1990, 5, 20), -1), day(1989, 1, 1));
  EXPECT_EQ(shifted_interval_start("WEEK", day(1960, 1, 6), 1), day(1960, 1, 10));  // Wednesday to next Sunday
  EXPECT_EQ(shifted_interval_start("DAY", 10.0, -20), -10.0);

  EXPECT_TRUE(is_missing(shifted_interval_start("MONTH", kMissing, 1)));
  EXPECT_TRUE(is_missing(shifted_interval_start("MONTH", kMaxDate + 1, -1)));
  EXPECT_TRUE(is_missing(shifted_interval_start("MONTH", kMaxDate, 1)));  // 20001-01-01 lies beyond the range
  EXPECT_EQ(shifted_interval_start("MONTH", kMaxDate, 0), day(20000, 12, 1));
  EXPECT_TRUE(is_missing(shifted_interval_start("MONTH", kMinDate, -1)));
  EXPECT_EQ(shifted_interval_start("QTR", kMinDate + 80, 0), kMinDate);  // 1582-03-22
  EXPECT_TRUE(is_missing(shifted_interval_start("CENTURY", 0.0, 1)));

  // Counts far beyond the range give missing values, not overflowing arithmetic.
  for (const char* interval : {"DAY", "WEEK", "MONTH", "QTR", "YEAR"}) {
    for (const long n : {LONG_MAX, LONG_MIN, LONG_MAX / 7, LONG_MIN / 12, 100'000'000L, -100'000'000L})
      EXPECT_TRUE(is_missing(shifted_interval_start(interval, 0.0, n))) << interval << " " << n;
  }
}

// Advancing by n and counting back must agree, over the whole range.
TEST(Dates, AdvanceAndCountAreInverse) {
  std::mt19937_64 gen(42);
  std::uniform_int_distribution<long> date(static_cast<long>(kMinDate), static_cast<long>(kMaxDate));
  std::uniform_int_distribution<long> steps(-3000, 3000);
  for (int i = 0; i < 20000; ++i) {
    const double d = static_cast<double>(date(gen));
    const long n = steps(gen);
    for (const char* interval : {"MONTH", "QTR"}) {
      const double next = shifted_interval_start(interval, d, n);
      if (is_missing(next)) continue;
      ASSERT_EQ(interval_boundaries_crossed(interval, d, next), static_cast<double>(n))
          << interval << " " << d << " " << n;
      const auto c = civil_date_of(next);
      ASSERT_EQ(c->day, 1);
      if (std::string_view(interval) == "QTR") {
        ASSERT_EQ(c->month % 3, 1);
      }
    }
  }
}

TEST(Dates, Formats) {
  const double jan15 = day(1990, 1, 15);
  EXPECT_EQ(format_monyy(jan15), "JAN90");
  EXPECT_EQ(format_monyy(jan15, 7), "JAN1990");
  EXPECT_EQ(format_monyy(day(2005, 5, 31)), "MAY05");
  EXPECT_EQ(format_yyq(day(2003, 8, 1), 4), "03Q3");
  EXPECT_EQ(format_yyq(day(1999, 12, 31)), "1999Q4");
  EXPECT_EQ(format_yyqc(day(1999, 12, 31)), "1999:4");
  EXPECT_EQ(format_yyqc(day(2000, 4, 1)), "2000:2");
  EXPECT_EQ(format_iso_date(jan15), "1990-01-15");
  EXPECT_EQ(format_iso_date(kMinDate), "1582-01-01");
}

TEST(Dates, Informats) {
  EXPECT_EQ(informat_monyy("JAN90"), day(1990, 1, 1));
  EXPECT_EQ(informat_monyy(" Feb05 "), day(2005, 2, 1));
  EXPECT_EQ(informat_monyy("DEC49"), day(2049, 12, 1));
  EXPECT_EQ(informat_monyy("dec50"), day(1950, 12, 1));
  EXPECT_EQ(informat_monyy("OCT0099"), std::nullopt);  // year 99 lies before the range
  for (const char* bad : {"", "JAN9", "JANX0", "XYZ90", "JAN-9", "JAN 90", "JANUARY90", "JAN19900", "JAN1581"})
    EXPECT_FALSE(informat_monyy(bad)) << bad;

  EXPECT_EQ(informat_yyq("90q4"), day(1990, 10, 1));
  EXPECT_EQ(informat_yyq(" 2005Q2 "), day(2005, 4, 1));
  EXPECT_EQ(informat_yyq("49Q3"), day(2049, 7, 1));
  EXPECT_EQ(informat_yyq("50Q3"), day(1950, 7, 1));
  for (const char* bad : {"", "1990Q5", "1990Q0", "1990Q", "Q1", "199Q1", "1990Q12", "1990-Q1", "199OQ1", "1990:1"})
    EXPECT_FALSE(informat_yyq(bad)) << bad;

  // Formats and informats undo each other.
  for (long n = -138061; n < 60000; n += 97) {
    const double first = shifted_interval_start("MONTH", static_cast<double>(n), 0);
    EXPECT_EQ(informat_monyy(format_monyy(first, 7)), first);
    const double q = shifted_interval_start("QTR", static_cast<double>(n), 0);
    EXPECT_EQ(informat_yyq(format_yyq(q)), q);
  }
}

TEST(Dates, IsoDates) {
  EXPECT_EQ(parse_iso_date("1990-01-15"), day(1990, 1, 15));
  EXPECT_EQ(parse_iso_date("1990-01"), day(1990, 1, 1));
  EXPECT_EQ(parse_iso_date("2000-02-29"), day(2000, 2, 29));
  EXPECT_EQ(parse_iso_date("9999-12-31"), day(9999, 12, 31));
  EXPECT_EQ(parse_iso_date("0000-01-01"), day(0, 1, 1));  // outside the range, reported by callers
  for (const char* bad : {"", "1990-1-15", "1990/01/15", "1990-13-01", "1990-02-30", "1900-02-29", "1990-01-15 ",
                          "90-01-15", "19900115", "1990-00", "+990-01-01", "1990-01-1", "1990-01-", "1990--1"})
    EXPECT_FALSE(parse_iso_date(bad)) << bad;
}

// Date cells as spreadsheets, pandas and R write them.
TEST(DateTexts, AcceptedFormsGiveTheirDay) {
  const struct {
    const char* text;
    long y;
    int m, d;
  } accepted[] = {
      {"1990-01-31", 1990, 1, 31},
      {" 1990-01 ", 1990, 1, 1},
      {"1990-01-31T00:00:00", 1990, 1, 31},
      {"1990-01-31T00:00:00Z", 1990, 1, 31},
      {"1990-01-31t00:00z", 1990, 1, 31},
      {"1990-01-31 00:00:00", 1990, 1, 31},            // pandas, a column with times
      {"1990-01-31T00:00:00.000Z", 1990, 1, 31},       // JavaScript
      {"1990-01-31 00:00:00+00:00", 1990, 1, 31},      // pandas, in UTC
      {"1990-01-31T00:00:00-05:00", 1990, 1, 31},      // local midnight: the date as written
      {"2000-02-29T00:00", 2000, 2, 29},
      {"1990-Q2", 1990, 4, 1},
      {"1990 Q3", 1990, 7, 1},
      {"1990q4", 1990, 10, 1},
      {"1990M01", 1990, 1, 1},
      {"1990m07", 1990, 7, 1},
      {"jan-1990", 1990, 1, 1},
      {"JAN1990", 1990, 1, 1},
      {"September 1990", 1990, 9, 1},
      {"May 1990", 1990, 5, 1},
      {"1582-01-01", 1582, 1, 1},
  };
  for (const auto& c : accepted) {
    EXPECT_EQ(parse_date_text(c.text), day(c.y, c.m, c.d)) << c.text;
    EXPECT_EQ(date_text_problem(c.text), "") << c.text;
  }
}

TEST(DateTexts, RejectedTextsSayWhy) {
  const std::string no_form =
      "it is not in a form dates are read in, such as 1990-01-31, 1990-01, 1990Q1, 1990M01 or Jan 1990";
  const struct {
    const char* text;
    std::string problem;
  } rejected[] = {
      {"1990Q5", "there is no quarter 5"},
      {"1990-Q0", "there is no quarter 0"},
      {"1990-13", "there is no month 13"},
      {"1990M13", "there is no month 13"},
      {"2021-02-29", "February 2021 has no day 29"},
      {"2021-02-29T00:00:00Z", "February 2021 has no day 29"},
      {"1990-01-31T12:30:00", "it has the time of day 12:30:00; a timestamp is read as a date only at midnight "
                              "(00:00:00)"},
      {"1990-01-31 00:00:00.5", "it has the time of day 00:00:00.5; a timestamp is read as a date only at "
                                "midnight (00:00:00)"},
      {"Jan 90", "its year has two digits; write the year in full (Jan 1990)"},
      {"01/02/1990", "dates with slashes are not read, since 01/02/1990 could be in January or in February; "
                     "write them as 1990-01-31"},
      {"1990/01/31", "dates with slashes are not read, since 01/02/1990 could be in January or in February; "
                     "write them as 1990-01-31"},
      {"Jnu 1990", no_form},
      {"Sept 1990", no_form},
      {"1990-1-31", no_form},
      {"1990W05", no_form},
      {"19900131", no_form},
      {"1990-01-31T", no_form},
      {"1990-01-31T00:00:00+1", no_form},
      {"1990-01-31X00:00:00", no_form},
      {"90Q1", no_form},
      {"", no_form},
  };
  for (const auto& c : rejected) {
    EXPECT_FALSE(parse_date_text(c.text)) << c.text;
    EXPECT_EQ(date_text_problem(c.text), c.problem) << c.text;
  }
}

// Every month in each of its forms is the first day of the ISO month.
TEST(DateTexts, EveryFormOfAMonthIsTheSameDay) {
  static constexpr const char* kNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};
  for (int y = 1582; y <= 2400; y += 7) {
    for (int m = 1; m <= 12; ++m) {
      const double first = day(y, m, 1);
      const std::string name = kNames[m - 1];
      for (const std::string& text : {fmt::format("{}-{:02}", y, m), fmt::format("{}M{}", y, m),
                                      fmt::format("{}-M{:02}", y, m), fmt::format("{} {}", name.substr(0, 3), y),
                                      fmt::format("{}-{}", name, y), fmt::format("{}-{:02}-01T00:00Z", y, m)})
        ASSERT_EQ(parse_date_text(text), first) << text;
      if (m % 3 == 1) {
        ASSERT_EQ(parse_date_text(fmt::format("{}Q{}", y, m / 3 + 1)), first) << y << " " << m;
      }
    }
  }
}

}  // namespace
}  // namespace x11sa

namespace x11sa {
namespace {

TEST(IsoDates, AppendedFormMatchesTheFormattedOneAndReadsBack) {
  for (double d = -138061; d <= 2936547; d += 97) {  // up to 9999-12-31
    std::string s;
    append_iso_date(s, d);
    ASSERT_EQ(s, format_iso_date(d)) << d;
    ASSERT_EQ(parse_iso_date(s), d) << s;
  }
  std::string none;
  append_iso_date(none, kMissing);
  EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace x11sa
