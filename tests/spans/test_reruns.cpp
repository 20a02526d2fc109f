// Each span's estimates are those of an adjustment of that span alone: the
// OUTSPAN= rows of a run are compared with separate runs on the spans'
// dates. The spans also leave the variable's own tables untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/dates.h"
#include "support/run_support.h"
#include "x11sa/missing.h"

namespace x11sa::test {
namespace {

// Runs `statement` (MONTHLY or QUARTERLY, with the START= and END= of the
// whole run if any) on variable `var` of `data` with OUTSPAN=, checks every
// span against a run on its dates, and returns the first date of each span.
std::vector<std::string> check_spans(const std::string& data, const std::string& var, const std::string& statement,
                                     bool trading_day = false) {
  ScratchDir dir;
  dir.copy_data(data + ".csv");
  const auto run = run_in(dir, fmt::format("proc x11 data={} outspan=sp noprint;\n {};\n var {};\n sspan;\nrun;\n",
                                           data, statement, var));
  EXPECT_LE(run.level(), 4) << run.log;
  const Table sp = read_table(dir.path() / "sp.csv");
  EXPECT_EQ(sp.num.count("C18") != 0, trading_day);
  std::map<int, std::map<std::string, std::vector<double>>> spans;  // by span number and column
  for (long r = 0; r < sp.rows; ++r)
    for (const auto& [col, values] : sp.num) spans[static_cast<int>(sp.num.at("SPAN")[r])][col].push_back(values[r]);
  const bool monthly = statement.starts_with("monthly");
  const std::string plain = statement.substr(0, statement.find(" start="));
  std::vector<std::string> firsts;
  for (auto& [number, cols] : spans) {
    const auto& dates = cols["DATE"];
    auto text = [&](double d) { return monthly ? format_monyy(d, 7) : format_yyq(d, 6); };
    firsts.push_back(format_iso_date(dates.front()));
    // Without prior daily weights D11 is adjusted by C16, which OUTSPAN= names C18.
    const auto one = run_in(dir, fmt::format("proc x11 data={} noprint;\n {} start={} end={};\n var {};\n"
                                             " output out=o d10=D10 d11=D11{};\nrun;\n",
                                             data, plain, text(dates.front()), text(dates.back()), var,
                                             trading_day ? " c16=C18" : ""));
    EXPECT_LE(one.level(), 4) << one.log;
    const Table o = read_table(dir.path() / "o.csv");
    for (const char* col : {"D10", "D11", "C18"}) {
      if (o.num.count(col) == 0) continue;
      const auto& want = o.num.at(col);
      const auto& got = cols[col];
      EXPECT_EQ(got.size(), want.size()) << col;
      for (std::size_t k = 0; k < std::min(got.size(), want.size()); ++k)
        EXPECT_NEAR(got[k], want[k], 1e-9 * std::max(1.0, std::fabs(want[k]))) << "span " << number << " " << col;
    }
  }
  return firsts;
}

TEST(SpanReruns, MonthlyWithTradingDay) {
  // 192 months: four spans of 96 months, from January 1974 to January 1977.
  EXPECT_EQ(check_spans("seatbelts", "drivers", "monthly date=date tdregr=adjust", true),
            (std::vector<std::string>{"1974-01-01", "1975-01-01", "1976-01-01", "1977-01-01"}));
}

// TRENDADJ weighs the B7 trend by calendar positions: the span's own, the
// spans starting in April; quarterly spans of eight years.
TEST(SpanReruns, FromAprilWithTrendAdjustmentAndQuarterly) {
  EXPECT_EQ(check_spans("airline", "passengers", "monthly date=date trendadj start=APR1949 end=SEP1960").front(),
            "1949-04-01");
  EXPECT_EQ(check_spans("ukgas", "gas", "quarterly date=date").front(), "1976-01-01");
}

// The spans run after each variable's tables are written and change none of
// them; YRAHEADOUT is off for the spans and back on for the next variable.
TEST(SpanReruns, VariablesKeepTheirTables) {
  ScratchDir dir;
  dir.copy_data("seatbelts.csv");
  auto program = [](const char* out, const char* spans) {
    return fmt::format("proc x11 data=seatbelts yraheadout{} noprint;\n monthly date=date tdregr=adjust;\n"
                       " var drivers front;\n output out={} b1=b1a b1b c18=tda tdb d10=fa fb d11=saa sab d13=ia ib;\n"
                       "{}run;\n", spans[0] != 0 ? " outspan=sp" : "", out, spans);
  };
  ASSERT_LE(run_in(dir, program("plain", "")).level(), 4);
  ASSERT_LE(run_in(dir, program("spans", " sspan;\n")).level(), 4);
  const Table a = read_table(dir.path() / "plain.csv");
  const Table b = read_table(dir.path() / "spans.csv");
  ASSERT_EQ(a.rows, 204);  // 192 months and the year ahead
  ASSERT_EQ(b.rows, a.rows);
  for (const auto& [col, x] : a.num)
    for (long r = 0; r < a.rows; ++r)
      EXPECT_TRUE(is_missing(x[r]) ? is_missing(b.num.at(col)[r]) : x[r] == b.num.at(col)[r]) << col << " " << r;
  EXPECT_FALSE(is_missing(b.num.at("fa")[200]));  // the year ahead for both variables
  EXPECT_FALSE(is_missing(b.num.at("fb")[200]));
  EXPECT_EQ(read_table(dir.path() / "sp.csv").rows, 2 * 4 * 96);
}

}  // namespace
}  // namespace x11sa::test
