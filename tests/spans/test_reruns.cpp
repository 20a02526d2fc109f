// Each span's estimates are those of an adjustment of that span alone: the
// OUTSPAN= rows of a run are compared with separate runs on the spans'
// dates. The spans also leave the variable's own tables untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/dates.h"
#include "support/run_support.h"

namespace x11sa::test {
namespace {

struct SpanRows {
  std::vector<double> dates, a1, c18, d10, d11;
};

// The OUTSPAN= rows of one variable by span number.
std::map<int, SpanRows> spans_of(const Table& t, const std::string& var) {
  std::map<int, SpanRows> out;
  for (long r = 0; r < t.rows; ++r) {
    if (t.text.at("VARNAME")[r] != var) continue;
    SpanRows& s = out[static_cast<int>(t.num.at("SPAN")[r])];
    s.dates.push_back(t.num.at("DATE")[r]);
    s.a1.push_back(t.num.at("A1")[r]);
    s.d10.push_back(t.num.at("D10")[r]);
    s.d11.push_back(t.num.at("D11")[r]);
    if (t.num.count("C18") != 0) s.c18.push_back(t.num.at("C18")[r]);
  }
  return out;
}

void expect_close(const std::vector<double>& got, const std::vector<double>& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t k = 0; k < got.size(); ++k)
    EXPECT_NEAR(got[k], want[k], 1e-9 * std::max(1.0, std::fabs(want[k]))) << what << " at " << k;
}

std::string period_text(double date, bool monthly) {
  return monthly ? format_monyy(date, 7) : format_yyq(date, 6);
}

struct Case {
  std::string data, var, statement;  // the MONTHLY or QUARTERLY statement without START=/END=
  std::string range;                 // START=/END= of the whole run, if any
  bool monthly = true;
  bool trading_day = false;
  std::string extra;  // further statements
  // The table holding the trading-day factors D11 is adjusted by: C18 with
  // prior daily weights; without them C16, C18 itself being written missing.
  std::string td_table = "c16";
};

// Runs the case with OUTSPAN= and checks every span against a run on its dates.
std::map<int, SpanRows> check_spans(const Case& c, int expect_spans) {
  ScratchDir dir;
  dir.copy_data(c.data + ".csv");
  const auto run = run_in(dir, fmt::format("proc x11 data={} outspan=sp noprint;\n {} {};\n {}\n var {};\n sspan;\nrun;\n",
                                           c.data, c.statement, c.range, c.extra, c.var));
  EXPECT_LE(run.level(), 4) << run.log;
  const Table sp = read_table(dir.path() / "sp.csv");
  EXPECT_EQ(sp.num.count("C18") != 0, c.trading_day);
  auto spans = spans_of(sp, c.var);
  EXPECT_EQ(static_cast<int>(spans.size()), expect_spans);
  // A1 is the series as read.
  const Table input = read_table(dir.path() / (c.data + ".csv"));
  std::map<double, double> original;
  for (long r = 0; r < input.rows; ++r) original[input.num.at("date")[r]] = input.num.at(c.var)[r];
  for (const auto& [number, rows] : spans) {
    const std::string from = period_text(rows.dates.front(), c.monthly);
    const std::string to = period_text(rows.dates.back(), c.monthly);
    const auto one = run_in(dir, fmt::format("proc x11 data={} noprint;\n {} start={} end={};\n {}\n var {};\n"
                                             " output out=o{} d10=f d11=sa{};\nrun;\n",
                                             c.data, c.statement, from, to, c.extra, c.var, number,
                                             c.trading_day ? " " + c.td_table + "=td" : ""));
    EXPECT_LE(one.level(), 4) << one.log;
    const Table o = read_table(dir.path() / fmt::format("o{}.csv", number));
    const std::string what = fmt::format("{} span {} ({} to {})", c.var, number, from, to);
    for (std::size_t k = 0; k < rows.dates.size(); ++k) EXPECT_EQ(rows.a1[k], original.at(rows.dates[k])) << what;
    expect_close(rows.d10, o.num.at("f"), what + " D10");
    expect_close(rows.d11, o.num.at("sa"), what + " D11");
    if (c.trading_day) expect_close(rows.c18, o.num.at("td"), what + " C18");
  }
  return spans;
}

TEST(SpanReruns, MonthlyWithTradingDay) {
  // 192 months: four spans of 96 months, from January 1974 to January 1977.
  const auto spans =
      check_spans({"seatbelts", "drivers", "monthly date=date tdregr=adjust", "", true, true, ""}, 4);
  ASSERT_EQ(spans.size(), 4u);
  EXPECT_EQ(spans.at(1).dates.size(), 96u);
  EXPECT_EQ(format_iso_date(spans.at(1).dates.front()), "1974-01-01");
  EXPECT_EQ(format_iso_date(spans.at(4).dates.front()), "1977-01-01");
  EXPECT_EQ(format_iso_date(spans.at(4).dates.back()), "1984-12-01");
}

TEST(SpanReruns, MonthlyWithPriorDailyWeights) {
  check_spans({"seatbelts", "drivers", "monthly date=date tdregr=adjust", "", true, true,
               "pdweights mon=1 tue=1 wed=1 thu=1 fri=1.1 sat=0.9 sun=0.8;", "c18"},
              4);
}

TEST(SpanReruns, SpansWidenedToStartInJanuary) {
  // 154 months: the first span would start in November 1970; every span
  // is widened by ten months.
  const auto spans = check_spans(
      {"seatbelts", "drivers", "monthly date=date", "start=JAN1969 end=OCT1981", true, false, ""}, 4);
  ASSERT_EQ(spans.size(), 4u);
  EXPECT_EQ(spans.at(1).dates.size(), 106u);
  EXPECT_EQ(format_iso_date(spans.at(1).dates.front()), "1970-01-01");
  EXPECT_EQ(format_iso_date(spans.at(4).dates.back()), "1981-10-01");
}

// TRENDADJ weighs the B7 trend by calendar positions: the span's own, the
// spans starting in April.
TEST(SpanReruns, TrendAdjustedFromAprilOn) {
  check_spans({"airline", "passengers", "monthly date=date trendadj", "start=APR1949 end=SEP1960", true, false, ""}, 4);
}

TEST(SpanReruns, Quarterly) {
  const auto spans = check_spans({"ukgas", "gas", "quarterly date=date", "", false, false, ""}, 4);
  ASSERT_EQ(spans.size(), 4u);
  EXPECT_EQ(spans.at(1).dates.size(), 32u);
  EXPECT_EQ(format_iso_date(spans.at(1).dates.front()), "1976-01-01");
}

TEST(SpanReruns, Additive) {
  check_spans({"nottingham", "temp", "monthly date=date additive", "", true, false, ""}, 4);
}

TEST(SpanReruns, TwoSpansOfAirline) {
  // 3X9 filters need spans of 132 months: two fit in 144.
  check_spans({"airline", "passengers", "monthly date=date", "", true, false,
               "macurves jan=3x9 feb=3x9 mar=3x9 apr=3x9 may=3x9 jun=3x9 jul=3x9 aug=3x9 sep=3x9 oct=3x9 "
               "nov=3x9 dec=3x9;"},
              2);
}

// The spans run after each variable's tables are written and change none of
// them; YRAHEADOUT is off for the spans and back on for the next variable.
TEST(SpanReruns, VariablesKeepTheirTables) {
  ScratchDir dir;
  dir.copy_data("seatbelts.csv");
  const std::string body =
      " monthly date=date tdregr=adjust;\n var drivers front;\n"
      " output out={} b1=b1a b1b c18=tda tdb d10=fa fb d11=saa sab d13=ia ib;\n";
  const auto plain = run_in(dir, "proc x11 data=seatbelts yraheadout noprint;\n" + fmt::format(fmt::runtime(body), "plain") + "run;\n");
  const auto spans = run_in(dir, "proc x11 data=seatbelts yraheadout outspan=sp noprint;\n" + fmt::format(fmt::runtime(body), "spans") +
                                     " sspan;\nrun;\n");
  ASSERT_LE(plain.level(), 4) << plain.log;
  ASSERT_LE(spans.level(), 4) << spans.log;
  const Table a = read_table(dir.path() / "plain.csv");
  const Table b = read_table(dir.path() / "spans.csv");
  ASSERT_EQ(a.rows, 204);  // 192 months and the year ahead
  ASSERT_EQ(b.rows, a.rows);
  for (const char* col : {"b1a", "b1b", "tda", "tdb", "fa", "fb", "saa", "sab", "ia", "ib"}) {
    const auto& x = a.num.at(col);
    const auto& y = b.num.at(col);
    for (long r = 0; r < a.rows; ++r) {
      if (is_missing(x[r])) {
        EXPECT_TRUE(is_missing(y[r])) << col << " " << r;
      } else {
        EXPECT_EQ(x[r], y[r]) << col << " " << r;
      }
    }
  }
  // The year-ahead factors are there for both variables.
  EXPECT_FALSE(is_missing(b.num.at("fb")[200]));
  EXPECT_FALSE(is_missing(b.num.at("fa")[200]));
  const Table sp = read_table(dir.path() / "sp.csv");
  EXPECT_EQ(spans_of(sp, "drivers").size(), 4u);
  EXPECT_EQ(spans_of(sp, "front").size(), 4u);
  EXPECT_EQ(sp.rows, 2 * 4 * 96);
}

}  // namespace
}  // namespace x11sa::test
