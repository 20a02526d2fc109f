// The ARIMA extension as users see it, where the golden programs do not
// reach: OUT= with and without OUTEXTRAP on a quarterly series with ID
// variables, the fallback to the plain flow in the same place of OUT= and of
// the listing, short series, year-ahead factors and TDREGR=PRINT.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>

#include "host/dates.h"
#include "support/run_support.h"
#include "x11sa/missing.h"

namespace x11sa::test {
namespace {

// A monthly CSV `date,<names...>` from January of `year`.
std::string monthly_csv(int months, int year, const std::vector<std::string>& names,
                        const std::function<double(int, int)>& value) {  // variable, month
  std::ostringstream s;
  s.precision(17);
  s << "date";
  for (const auto& n : names) s << ',' << n;
  s << '\n';
  for (int t = 0; t < months; ++t) {
    const int m = t % 12 + 1;
    s << year + t / 12 << '-' << (m < 10 ? "0" : "") << m << "-01";
    for (std::size_t v = 0; v < names.size(); ++v) s << ',' << value(static_cast<int>(v), t);
    s << '\n';
  }
  return s.str();
}

// A trend with an exact seasonal pattern: every ARIMA candidate's
// differences vanish, so none can be estimated.
double exact_pattern(int t) {
  static constexpr double kSeason[12] = {-3, -2, 1, 0, 2, 4, 6, 5, 1, -2, -4, -8};
  return 50.0 + 0.5 * t + kSeason[t % 12];
}

// A seasonal series with irregular movements.
double noisy_seasonal(int t) {
  static constexpr double kSeason[12] = {-6, -4, 1, 0, 3, 7, 9, 8, 2, -3, -7, -10};
  return 80.0 + 0.3 * t + kSeason[t % 12] + 2.5 * std::sin(1.7 * t * t + 0.3) + 1.5 * std::cos(0.9 * t);
}

const std::vector<double>& col(const Table& t, const std::string& name) { return t.num.at(name); }

void expect_same(const std::vector<double>& a, const std::vector<double>& b, std::size_t from, std::size_t count,
                 std::size_t b_from = 0) {
  for (std::size_t i = 0; i < count; ++i) {
    const double x = a.at(from + i), y = b.at(b_from + i);
    if (is_missing(y)) {
      EXPECT_TRUE(is_missing(x)) << "row " << from + i;
    } else {
      EXPECT_NEAR(x, y, 1e-9 * std::max(1.0, std::fabs(y))) << "row " << from + i;
    }
  }
}

const char* kUserModel =
    "arima model=(q=1 sq=1 dif=1 sdif=1 noint) transform=log method=ml backcast=1 forecast=1;\n";

// A quarterly series with ID variables, from 1960.
std::string quarterly_with_ids() {
  std::ostringstream s;
  s << "date,label,code,gas\n";
  std::ifstream in(data_file("ukgas.csv"));
  std::string line;
  std::getline(in, line);
  for (int t = 0; std::getline(in, line); ++t)
    s << 1960 + t / 4 << '-' << (t % 4 == 3 ? "" : "0") << 3 * (t % 4) + 1 << "-01,q" << t << ',' << t << ','
      << line.substr(line.find(',') + 1) << '\n';
  return s.str();
}

// With OUTEXTRAP the rows before and after the data carry their own dates
// and missing ID values, and the extended chain adjusts B1 itself, A15 too;
// without it OUT= holds the observed periods only.
TEST(Extension, OutHoldsTheExtendedPeriodsOnlyWithOutextrap) {
  ScratchDir dir;
  dir.write("q.csv", quarterly_with_ids());
  const std::string body = " quarterly date=date; var gas; id label code;\narima backcast=1 forecast=2;\n"
                           "output out=o b1=b a15=ext d10=s d11=sa; run;";
  const auto run = run_in(dir, "proc x11 data=q noprint outextrap;" + body);
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 108 + 4 + 8);
  const auto& date = col(t, "date");
  EXPECT_DOUBLE_EQ(date[0], date_from_mdy(1, 1, 1959));
  EXPECT_DOUBLE_EQ(date[3], date_from_mdy(10, 1, 1959));
  EXPECT_DOUBLE_EQ(date[4], date_from_mdy(1, 1, 1960));
  EXPECT_DOUBLE_EQ(date[112], date_from_mdy(1, 1, 1987));
  EXPECT_DOUBLE_EQ(date[119], date_from_mdy(10, 1, 1988));
  for (std::size_t r = 0; r < 120; ++r) {
    const bool data = r >= 4 && r < 112;
    EXPECT_EQ(is_missing(col(t, "code")[r]), !data) << r;
    EXPECT_EQ(t.text.at("label")[r].empty(), !data) << r;
    const double b = col(t, "b")[r];
    ASSERT_FALSE(is_missing(b)) << r;
    EXPECT_EQ(col(t, "ext")[r], b) << r;
    EXPECT_NEAR(col(t, "sa")[r] * col(t, "s")[r] / 100.0, b, 1e-9 * b) << r;
  }
  EXPECT_EQ(t.text.at("label")[4], "q0");

  const auto observed = run_in(dir, "proc x11 data=q noprint;" + body);
  ASSERT_EQ(observed.result.exit_status, 0) << observed.log;
  const Table o = read_table(dir.path() / "o.csv");
  ASSERT_EQ(o.rows, 108);
  EXPECT_DOUBLE_EQ(col(o, "date")[0], date_from_mdy(1, 1, 1960));
  expect_same(col(o, "ext"), col(t, "ext"), 0, 108, 4);
}

// The variable whose extension fails (no candidate can be estimated) is
// rewritten by the plain flow in its own place: each column equals the run
// of its variable alone, whichever order the variables come in.
TEST(Extension, FailedExtensionKeepsTheOutLayout) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv(96, 1990, {"bad", "good"},
                                  [](int v, int t) { return v == 0 ? exact_pattern(t) : noisy_seasonal(t); }));
  const std::string head = "proc x11 data=in noprint; monthly date=date additive;\n";
  const auto bad_plain = run_in(dir, head + "var bad; output out=bp d11=sa; run;");
  const auto good_ext = run_in(dir, head + "var good; arima; output out=ge d11=sa a15=ext; run;");
  ASSERT_EQ(bad_plain.result.exit_status, 0) << bad_plain.log;
  ASSERT_EQ(good_ext.result.exit_status, 0) << good_ext.log;
  const Table bp = read_table(dir.path() / "bp.csv");
  const Table ge = read_table(dir.path() / "ge.csv");
  for (const char* vars : {"bad good", "good bad"}) {
    SCOPED_TRACE(vars);
    const auto run = run_in(dir, head + "var " + vars + "; arima;\n" +
                                     "output out=o d11=" + vars + " a15=" + (vars[0] == 'b' ? "xb xg" : "xg xb") +
                                     "; run;");
    ASSERT_EQ(run.result.exit_status, 0) << run.log;
    EXPECT_TRUE(run.logged("could not be estimated or forecast; it is adjusted without forecasts"));
    const Table t = read_table(dir.path() / "o.csv");
    ASSERT_EQ(t.rows, 96);
    expect_same(col(t, "bad"), col(bp, "sa"), 0, 96);
    expect_same(col(t, "good"), col(ge, "sa"), 0, 96);
    expect_same(col(t, "xg"), col(ge, "ext"), 0, 96);
    // A15 does not exist in the plain flow.
    EXPECT_TRUE(is_missing(col(t, "xb")[0]));
  }
}

std::size_t count_lines(const std::string& text, const std::string& line) {
  std::size_t n = 0;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    const auto first = l.find_first_not_of(' ');
    n += first != std::string::npos && l.substr(first) == line ? 1 : 0;
  }
  return n;
}

// No candidate meets MAPECR=1 with CHICR=0.9: the plain flow's tables fill
// the variable's columns, the extension rows missing; the A tables the
// failed extended flow printed are not printed again, and the failure is a
// note in the listing too.
TEST(Extension, NoAcceptableModelFallsBackToThePlainFlow) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv(96, 1990, {"x", "pf"}, [](int v, int t) {
              return v == 0 ? 100.0 + noisy_seasonal(t) : 100.0 + (t % 12 == 0 ? 1.0 : 0.0);
            }));
  const std::string head = "monthly date=date pmfactor=pf charts=none; var x;\n";
  const auto plain = run_in(dir, "proc x11 data=in noprint; " + head + "output out=p d10=s d11=sa; run;");
  ASSERT_EQ(plain.result.exit_status, 0) << plain.log;
  const auto run = run_in(dir, "proc x11 data=in outextrap; " + head +
                                   "arima mapecr=1 chicr=0.9 backcast=1; output out=o d10=s d11=sa; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  EXPECT_TRUE(run.logged("No ARIMA model meets the acceptance criteria for variable x"));
  const Table p = read_table(dir.path() / "p.csv");
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 96 + 24);
  for (const char* name : {"s", "sa"}) {
    expect_same(col(t, name), col(p, name), 12, 96);
    for (std::size_t r : {0, 11, 108, 119}) EXPECT_TRUE(is_missing(col(t, name)[r])) << r;
  }
  EXPECT_EQ(count_lines(run.listing, "A1   Original Series"), 1u);
  EXPECT_EQ(count_lines(run.listing, "A2   Prior Monthly Adjustment Factors"), 1u);
  EXPECT_EQ(count_lines(run.listing, "A3   Original Series Adjusted for Prior Monthly Factors"), 1u);
  EXPECT_NE(run.listing.find("No ARIMA model meets the acceptance criteria"), std::string::npos);
  EXPECT_EQ(count_lines(run.listing, "D10   Final Seasonal Factors"), 1u);
}

// Five years are needed for the automatic choice (message 44): a shorter
// variable runs the plain flow, with room for backcasts in its arrays, and
// TRENDADJ's weights still follow the calendar of the observations. A model
// the user gives is fitted to a shorter series.
TEST(Extension, ShortSeriesAndTheAutomaticChoice) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv(48, 1990, {"x"}, [](int, int t) { return 200.0 + noisy_seasonal(t); }));
  const std::string body = "monthly date=date trendadj; var x; output out=o b7=b7 d11=d11 d12=d12";
  const auto plain = run_in(dir, "proc x11 data=in noprint; " + body + "; run;");
  ASSERT_EQ(plain.result.exit_status, 0) << plain.log;
  const Table want = read_table(dir.path() / "o.csv");
  const auto aut = run_in(dir, "proc x11 data=in noprint; " + body + "; arima backcast=1; run;");
  ASSERT_EQ(aut.result.exit_status, 0) << aut.log;
  EXPECT_TRUE(aut.logged("Variable x has fewer than five years of observations"));
  const Table got = read_table(dir.path() / "o.csv");
  for (const char* c : {"b7", "d11", "d12"}) expect_same(col(got, c), col(want, c), 0, 48);

  const auto user = run_in(dir, "proc x11 data=in noprint outextrap; " + body +
                                    " a13=fit; arima model=(q=1 sq=1 dif=1 sdif=1); run;");
  ASSERT_EQ(user.result.exit_status, 0) << user.log;
  EXPECT_FALSE(user.logged("fewer than five years"));
  const Table u = read_table(dir.path() / "o.csv");
  ASSERT_EQ(u.rows, 48 + 12);
  EXPECT_FALSE(is_missing(col(u, "fit")[55]));
  EXPECT_FALSE(is_missing(col(u, "d11")[55]));
}

// YRAHEADOUT in an extended flow without OUTEXTRAP: the year after the last
// observation comes from the last two observed years of D10.
TEST(Extension, YearAheadFactorsFollowTheLastObservation) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const auto run = run_in(dir, std::string("proc x11 data=airline noprint yraheadout; monthly date=date;\n"
                                           "var passengers;\n") +
                                   kUserModel + "output out=o d10=s; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 156);
  const auto& s = col(t, "s");
  for (std::size_t r = 144; r < 156; ++r) EXPECT_NEAR(s[r], (3.0 * s[r - 12] - s[r - 24]) / 2.0, 1e-9) << r;
}

// TDREGR=PRINT computes the regression without applying it: C19 stays
// missing, and the series the first pass adjusted, B1, is extended.
TEST(Extension, TradingDayPrintExtendsTheUnadjustedSeries) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const auto run = run_in(dir, std::string("proc x11 data=airline noprint outextrap; monthly date=date "
                                           "tdregr=print;\nvar passengers;\n") +
                                   kUserModel + "output out=o b1=b b16=td c19=c19 a13=fit; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  EXPECT_FALSE(run.logged("could not be estimated or forecast"));
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 168);
  EXPECT_EQ(col(t, "b")[12], 112.0);
  EXPECT_EQ(col(t, "b")[155], 432.0);
  EXPECT_FALSE(is_missing(col(t, "b")[0]));
  EXPECT_FALSE(is_missing(col(t, "fit")[160]));
  EXPECT_FALSE(is_missing(col(t, "td")[20]));
  EXPECT_TRUE(is_missing(col(t, "c19")[20]));
}

// NOPRINT on the ARIMA statement leaves its reports out of a listing that
// shows the extended tables.
TEST(Extension, NoprintLeavesTheModelReportsOut) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const auto run = run_in(dir, "proc x11 data=airline; monthly date=date; var passengers; arima noprint; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  EXPECT_NE(run.listing.find("A15   Prior Adjusted Series Extended by ARIMA"), std::string::npos);
  for (const char* report : {"Criteria Summary for Model", "ARIMA Model", "Model for variable"})
    EXPECT_EQ(run.listing.find(report), std::string::npos) << report;
}

}  // namespace
}  // namespace x11sa::test
