// The plain flow end to end where the golden programs do not reach: OUT=
// rows of BY groups, rejected variables and groups, the order of BY
// groups, year-ahead factors without a date variable, tables missing
// outside their range, and properties every adjustment must have.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/dates.h"
#include "support/run_support.h"
#include "x11sa/missing.h"

namespace x11sa::test {
namespace {

// Monthly CSV with a BY column `g`, `date` and the given series as columns.
std::string monthly_csv(const std::vector<std::pair<std::string, int>>& groups,  // group, months
                        int year, const std::vector<std::string>& names,
                        const std::function<double(int, int, int)>& value) {  // group, var, month
  std::ostringstream s;
  s.precision(17);
  s << "g,date";
  for (const auto& n : names) s << ',' << n;
  s << '\n';
  for (std::size_t gi = 0; gi < groups.size(); ++gi)
    for (int t = 0; t < groups[gi].second; ++t) {
      const int y = year + t / 12;
      const int m = t % 12 + 1;
      s << groups[gi].first << ',' << y << '-' << (m < 10 ? "0" : "") << m << "-01";
      for (std::size_t v = 0; v < names.size(); ++v) s << ',' << value(static_cast<int>(gi), static_cast<int>(v), t);
      s << '\n';
    }
  return s.str();
}

double seasonal_series(int g, int v, int t) {
  const double season[12] = {0.9, 0.92, 1.05, 1.0, 0.98, 1.07, 1.18, 1.17, 1.06, 0.92, 0.82, 0.93};
  return (100.0 + 2.0 * t + 10.0 * g + 5.0 * v) * season[t % 12] * (1.0 + 0.01 * std::sin(0.7 * t + v));
}

TEST(Flow, ByGroupsShortGroupsAndRejectedVariables) {
  ScratchDir dir;
  // Group b has 35 months and is skipped; in group c variable y has a zero.
  dir.write("in.csv", monthly_csv({{"a", 40}, {"b", 35}, {"c", 36}}, 1990, {"x", "y"}, [](int g, int v, int t) {
              return g == 2 && v == 1 && t == 3 ? 0.0 : seasonal_series(g, v, t);
            }));
  const auto run = run_in(dir,
                          "proc x11 data=in noprint; monthly date=date; var x y; by g;\n"
                          "output out=o d11=sx sy; run;");
  // The short group is a data error of its own, reported in the step's level.
  EXPECT_EQ(run.level(), 108) << run.log;
  EXPECT_TRUE(run.logged("fewer than the three years"));
  const Table t = read_table(dir.path() / "o.csv");
  EXPECT_EQ(t.names, (std::vector<std::string>{"g", "date", "sx", "sy"}));
  ASSERT_EQ(t.rows, 40 + 36);
  EXPECT_EQ(t.text.at("g")[39], "a");
  EXPECT_EQ(t.text.at("g")[40], "c");
  EXPECT_DOUBLE_EQ(t.num.at("date")[40], date_from_mdy(1, 1, 1990));
  for (long i = 40; i < 76; ++i) {
    EXPECT_FALSE(is_missing(t.num.at("sx")[static_cast<std::size_t>(i)]));
    EXPECT_TRUE(is_missing(t.num.at("sy")[static_cast<std::size_t>(i)]));  // rejected: written missing
  }
  EXPECT_TRUE(run.logged("zero or below"));
}

// In a panel every message about a group or one of its variables says which.
TEST(Flow, EveryMessageOfAByGroupNamesItsGroupAndVariable) {
  ScratchDir dir;
  // a: seasonal; b: too short; c: a zero in a multiplicative series; d: noise,
  // for which no ARIMA model meets the criteria.
  unsigned noise = 12345;
  dir.write("in.csv", monthly_csv({{"a", 96}, {"b", 30}, {"c", 96}, {"d", 96}}, 1990, {"x"}, [&](int g, int v, int t) {
              if (g == 2 && t == 50) return 0.0;
              if (g != 3) return seasonal_series(g, v, t);
              noise = noise * 1103515245u + 12345u;
              return 100.0 + static_cast<double>((noise >> 16) % 1000) / 10.0;
            }));
  const auto run = run_in(dir, "proc x11 data=in; monthly date=date; var x; by g; arima; tables d11;\n"
                               "output out=o d11=s; run;", true);
  EXPECT_TRUE(run.logged("WARNING: g=b: Variable x has only 30 observations")) << run.log;
  EXPECT_TRUE(run.logged("NOTE: g=b: BY group 2 is skipped.")) << run.log;
  EXPECT_TRUE(run.logged("ERROR: g=c: Variable x has a value of zero or below")) << run.log;
  EXPECT_TRUE(run.logged("WARNING: g=d, variable x: No ARIMA model meets the acceptance criteria")) << run.log;
  // Nothing else of the groups is logged without its group.
  std::istringstream lines(run.log);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("ERROR") || line.starts_with("WARNING")) {
      EXPECT_NE(line.find(": g="), std::string::npos) << line;
    }
  }
  EXPECT_EQ(run.log.find("g=d: The data set"), std::string::npos) << run.log;

  // The JSON has the same messages with their group and variable apart, the
  // HTML each where it came, and does not call the step failed for group b.
  const nlohmann::json doc = nlohmann::json::parse(read_file(dir.path() / "report.json"));
  const nlohmann::json& log = doc["steps"][0]["log"];
  const auto found = [&](std::string_view by, std::string_view variable, std::string_view severity) {
    return std::any_of(log.begin(), log.end(), [&](const nlohmann::json& m) {
      return m["by"] == by && m["variable"] == variable && m["severity"] == severity;
    });
  };
  EXPECT_TRUE(found("g=b", "", "WARNING") && found("g=c", "", "ERROR") && found("g=d", "x", "WARNING")) << log;
  const std::string html = read_file(dir.path() / "report.html");
  EXPECT_NE(html.find("<p class=\"log warning\">WARNING: g=d, variable x: No ARIMA model"), std::string::npos);
  EXPECT_EQ(html.find("the step failed"), std::string::npos);
}

TEST(Flow, GroupWithADataErrorIsSkippedWithByVariables) {
  ScratchDir dir;
  std::string csv = monthly_csv({{"a", 40}, {"b", 40}}, 1990, {"x"}, seasonal_series);
  // A repeated date in group a.
  csv.replace(csv.find("a,1990-03-01"), 12, "a,1990-02-01");
  dir.write("in.csv", csv);
  const auto run = run_in(dir, "proc x11 data=in noprint; monthly date=date; var x; by g; output out=o d11=s; run;");
  EXPECT_TRUE(run.logged("not consecutive")) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 40);
  EXPECT_EQ(t.text.at("g")[0], "b");
  // The step reports the skipped group in its exit level.
  EXPECT_EQ(run.level(), 108);
  EXPECT_EQ(run.result.exit_status, 1);
  // Without BY variables the same error ends the step and writes nothing.
  const auto run2 = run_in(dir, "proc x11 data=in noprint; monthly date=date; var x; output out=p d11=s; run;");
  EXPECT_EQ(run2.level(), 1008);
  EXPECT_FALSE(dir.exists("p.csv"));
}

TEST(Flow, ByOrderIsCheckedUnlessNotsorted) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv({{"b", 36}, {"a", 36}}, 1990, {"x"}, seasonal_series));
  auto run = run_in(dir, "proc x11 data=in noprint; monthly date=date; var x; by g; output out=o d11=s; run;");
  EXPECT_EQ(run.level(), 1012);
  EXPECT_TRUE(run.logged("row 37")) << run.log;
  EXPECT_FALSE(dir.exists("o.csv"));
  run = run_in(dir, "proc x11 data=in noprint; monthly date=date; var x; by descending g; output out=o d11=s; run;");
  EXPECT_EQ(run.level(), 0) << run.log;
  run = run_in(dir, "proc x11 data=in noprint; monthly date=date; var x; by g notsorted; output out=o d11=s; run;");
  EXPECT_EQ(run.level(), 0) << run.log;
  EXPECT_EQ(read_table(dir.path() / "o.csv").rows, 72);
}

TEST(Flow, YearAheadFactorsAndDatesWithoutDateVariable) {
  ScratchDir dir;
  std::ostringstream csv;
  csv.precision(17);
  csv << "x\n";
  for (int t = 0; t < 60; ++t) csv << seasonal_series(0, 0, t) << '\n';
  dir.write("in.csv", csv.str());
  const auto run = run_in(dir,
                          "proc x11 data=in noprint yraheadout; monthly start=jul1990;\n"
                          "output out=o d10=f d11=s; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  EXPECT_EQ(t.names, (std::vector<std::string>{"_DATE_", "f", "s"}));
  ASSERT_EQ(t.rows, 72);
  EXPECT_DOUBLE_EQ(t.num.at("_DATE_")[0], date_from_mdy(7, 1, 1990));
  EXPECT_DOUBLE_EQ(t.num.at("_DATE_")[71], date_from_mdy(6, 1, 1996));
  const auto& f = t.num.at("f");
  for (int j = 60; j < 72; ++j) {
    EXPECT_NEAR(f[static_cast<std::size_t>(j)], (3.0 * f[static_cast<std::size_t>(j - 12)] - f[static_cast<std::size_t>(j - 24)]) * 0.5, 1e-9);
    EXPECT_TRUE(is_missing(t.num.at("s")[static_cast<std::size_t>(j)]));
  }
}

TEST(Flow, TablesAreDefinedOverTheirRangeAndMissingOutside) {
  ScratchDir dir;
  // Variable y starts 10 months into the group; x covers it all.
  std::string csv = monthly_csv({{"a", 60}}, 1990, {"x", "y"}, seasonal_series);
  // Blank the first ten values of y.
  std::istringstream in(csv);
  std::ostringstream out;
  std::string line;
  int row = -1;
  while (std::getline(in, line)) {
    if (row >= 0 && row < 10) line = line.substr(0, line.rfind(',') + 1);
    out << line << '\n';
    ++row;
  }
  dir.write("in.csv", out.str());
  std::string tables;
  for (const char* tname : {"B1", "B2", "B3", "B5", "B7", "B10", "B13", "B17", "C1", "C4", "C17", "D8", "D10",
                            "D11", "D12", "D13", "E1", "E5", "E6", "F1"})
    tables += std::string(" ") + tname + "=x" + tname + " y" + tname;
  const auto run = run_in(dir, "proc x11 data=in noprint; monthly date=date; var x y; output out=o" + tables + "; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  for (const char* tname : {"B1", "B5", "B7", "B10", "B13", "B17", "C1", "C17", "D8", "D10", "D11", "D12", "D13", "E1"}) {
    const auto& y = t.num.at(std::string("y") + tname);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(is_missing(y[static_cast<std::size_t>(i)])) << tname << " " << i;
    for (int i = 10; i < 60; ++i) EXPECT_TRUE(std::isfinite(y[static_cast<std::size_t>(i)])) << tname << " " << i;
  }
  // Centred averages and changes leave their ends missing.
  const auto& b2 = t.num.at("yB2");
  EXPECT_TRUE(is_missing(b2[15]));
  EXPECT_FALSE(is_missing(b2[16]));
  EXPECT_FALSE(is_missing(b2[53]));
  EXPECT_TRUE(is_missing(b2[54]));
  EXPECT_TRUE(is_missing(t.num.at("yE5")[10]));
  EXPECT_FALSE(is_missing(t.num.at("yE5")[11]));
  EXPECT_TRUE(is_missing(t.num.at("xE6")[0]));
}

TEST(Flow, ConstantSeriesGivesNeutralFactors) {
  for (const bool additive : {false, true}) {
    ScratchDir dir;
    dir.write("in.csv", monthly_csv({{"a", 72}}, 1990, {"x"}, [](int, int, int) { return 250.0; }));
    const auto run = run_in(dir, std::string("proc x11 data=in noprint; monthly date=date") +
                                     (additive ? " additive" : "") +
                                     "; output out=o d10=f d11=s d12=c d13=i; run;");
    ASSERT_EQ(run.result.exit_status, 0) << run.log;
    const Table t = read_table(dir.path() / "o.csv");
    // The filter weights are rounded to three decimals, so their sums miss
    // 1 by up to 0.002: factors stay within that rounding of neutral.
    const double neutral = additive ? 0.0 : 100.0;
    const double rounding = additive ? 250.0 * 0.002 : 100.0 * 0.002;
    for (long i = 0; i < t.rows; ++i) {
      EXPECT_NEAR(t.num.at("f")[static_cast<std::size_t>(i)], neutral, rounding) << i;
      EXPECT_NEAR(t.num.at("s")[static_cast<std::size_t>(i)], 250.0, 250.0 * 0.002) << i;
      EXPECT_NEAR(t.num.at("c")[static_cast<std::size_t>(i)], 250.0, 250.0 * 0.004) << i;
    }
  }
}

TEST(Flow, PureSeasonalPatternOnALinearTrendIsRecovered) {
  ScratchDir dir;
  const double season[12] = {90, 92, 105, 100, 98, 107, 118, 117, 106, 92, 82, 93};
  double mean = 0;
  for (double s : season) mean += s / 12.0;
  dir.write("in.csv", monthly_csv({{"a", 120}}, 1990, {"x"}, [&](int, int, int t) {
              return (500.0 + 3.0 * t) * season[t % 12] / mean;
            }));
  const auto run = run_in(dir, "proc x11 data=in noprint; monthly date=date; output out=o d10=f d11=s; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  // The centred average of a seasonal product with a trend is not exactly
  // the trend, so the recovery is close, not exact: within 0.25 percent.
  for (long i = 24; i < 96; ++i) {
    const double want = season[i % 12] / mean * 100.0;
    EXPECT_NEAR(t.num.at("f")[static_cast<std::size_t>(i)], want, 0.0025 * want) << i;
    const double trend = 500.0 + 3.0 * static_cast<double>(i);
    EXPECT_NEAR(t.num.at("s")[static_cast<std::size_t>(i)], trend, 0.0025 * trend) << i;
  }
}

TEST(Flow, TdcomputeAfterTheDataRejectsTheVariable) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv({{"a", 48}}, 1990, {"x"}, seasonal_series));
  const auto run = run_in(dir, "proc x11 data=in noprint; monthly date=date tdregr=adjust tdcompute=1993; run;");
  EXPECT_TRUE(run.logged("12 months after the TDCOMPUTE= date")) << run.log;
  EXPECT_EQ(run.level(), 1008);
}

TEST(Flow, OutputFolderThatCannotBeWritten) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv({{"a", 48}}, 1990, {"x"}, seasonal_series));
  const auto run = run_in(dir,
                          "libname bad '" + (dir.path() / "no" / "such").string() +
                              "'; proc x11 data=in noprint; monthly date=date; output out=bad.o d11=s; run;");
  EXPECT_EQ(run.result.exit_status, 1);
  EXPECT_TRUE(run.logged("does not exist")) << run.log;
}

}  // namespace
}  // namespace x11sa::test
