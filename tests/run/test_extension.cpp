// The ARIMA extension end to end: OUT= with and without OUTEXTRAP, the
// extended chain, the flow with trading-day regression, the fallback to the
// plain flow in the same place of OUT=, short series, and the reports.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
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

TEST(Extension, UserModelExtendsTheSeriesInOut) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const auto run = run_in(dir, std::string("proc x11 data=airline noprint outextrap; monthly date=date;\n"
                                           "var passengers;\n") +
                                   kUserModel +
                                   "output out=o a13=fit a14=bk a15=ext b1=b d10=s d11=sa; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 144 + 24);
  const auto& date = col(t, "date");
  EXPECT_DOUBLE_EQ(date[0], date_from_mdy(1, 1, 1948));
  EXPECT_DOUBLE_EQ(date[11], date_from_mdy(12, 1, 1948));
  EXPECT_DOUBLE_EQ(date[12], date_from_mdy(1, 1, 1949));
  EXPECT_DOUBLE_EQ(date[155], date_from_mdy(12, 1, 1960));
  EXPECT_DOUBLE_EQ(date[156], date_from_mdy(1, 1, 1961));
  EXPECT_DOUBLE_EQ(date[167], date_from_mdy(12, 1, 1961));
  const auto &fit = col(t, "fit"), &bk = col(t, "bk"), &ext = col(t, "ext"), &b = col(t, "b");
  const auto &s = col(t, "s"), &sa = col(t, "sa");
  for (std::size_t r = 0; r < 168; ++r) {
    ASSERT_FALSE(is_missing(ext[r])) << r;
    EXPECT_EQ(ext[r], b[r]) << r;
    // The extended chain adjusts B1 itself: D11 = B1 / D10 everywhere.
    EXPECT_NEAR(sa[r] * s[r] / 100.0, b[r], 1e-9 * b[r]) << r;
  }
  // Backcasts: A14 = B1 before the data; forecasts: A13 = B1 after it.
  for (std::size_t r = 0; r < 12; ++r) EXPECT_EQ(bk[r], b[r]) << r;
  for (std::size_t r = 156; r < 168; ++r) EXPECT_EQ(fit[r], b[r]) << r;
  // Fitted values over the data once the 13 differenced-away months are past.
  for (std::size_t r = 12; r < 156; ++r) EXPECT_EQ(is_missing(fit[r]), r < 12 + 13) << r;
  // The observations themselves are B1 in between.
  EXPECT_EQ(b[12], 112.0);
  EXPECT_EQ(b[155], 432.0);
  // Forecasts continue the series' growth and its summer peak.
  EXPECT_GT(b[156 + 6], b[144 + 6]);
  EXPECT_GT(b[156 + 6], b[156 + 10]);
}

TEST(Extension, WithoutOutextrapOutHoldsTheObservedPeriods) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const auto run = run_in(dir, std::string("proc x11 data=airline noprint; monthly date=date;\n"
                                           "var passengers;\n") +
                                   kUserModel + "output out=o a15=ext d11=sa; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 144);
  EXPECT_DOUBLE_EQ(col(t, "date")[0], date_from_mdy(1, 1, 1949));
  EXPECT_EQ(col(t, "ext")[0], 112.0);
  EXPECT_EQ(col(t, "ext")[143], 432.0);
}

// With OUTEXTRAP the rows before and after the data carry their own dates
// and missing ID values.
TEST(Extension, OutextrapRowsHaveDatesAndMissingIds) {
  ScratchDir dir;
  dir.write("q.csv", [] {
    std::ostringstream s;
    s << "date,label,code,gas\n";
    const std::vector<double> gas = [] {
      std::ifstream in(data_file("ukgas.csv"));
      std::string line;
      std::getline(in, line);
      std::vector<double> v;
      while (std::getline(in, line)) v.push_back(std::stod(line.substr(line.find(',') + 1)));
      return v;
    }();
    for (std::size_t t = 0; t < gas.size(); ++t)
      s << 1960 + t / 4 << '-' << (t % 4 == 3 ? "" : "0") << 3 * (t % 4) + 1 << "-01,q" << t << ',' << t << ',' << gas[t]
        << '\n';
    return s.str();
  }());
  const auto run = run_in(dir,
                          "proc x11 data=q noprint outextrap; quarterly date=date; var gas; id label code;\n"
                          "arima backcast=1 forecast=2;\n"
                          "output out=o b1=b d11=sa; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 108 + 4 + 8);
  const auto& date = col(t, "date");
  EXPECT_DOUBLE_EQ(date[0], date_from_mdy(1, 1, 1959));
  EXPECT_DOUBLE_EQ(date[3], date_from_mdy(10, 1, 1959));
  EXPECT_DOUBLE_EQ(date[4], date_from_mdy(1, 1, 1960));
  EXPECT_DOUBLE_EQ(date[111], date_from_mdy(10, 1, 1986));
  EXPECT_DOUBLE_EQ(date[112], date_from_mdy(1, 1, 1987));
  EXPECT_DOUBLE_EQ(date[119], date_from_mdy(10, 1, 1988));
  for (std::size_t r = 0; r < 120; ++r) {
    const bool data = r >= 4 && r < 112;
    EXPECT_EQ(is_missing(col(t, "code")[r]), !data) << r;
    EXPECT_EQ(t.text.at("label")[r].empty(), !data) << r;
    EXPECT_FALSE(is_missing(col(t, "b")[r])) << r;
  }
  EXPECT_EQ(t.text.at("label")[4], "q0");
}

// No candidate meets MAPECR=1 with CHICR=0.9: message 540, and the plain
// flow's tables fill the variable's columns, the extension rows missing.
TEST(Extension, NoAcceptableModelFallsBackToThePlainFlow) {
  ScratchDir dir;
  dir.copy_data("usaccdeaths.csv");
  const auto plain = run_in(dir, "proc x11 data=usaccdeaths noprint; monthly date=date; var deaths;\n"
                                 "output out=p d10=s d11=sa; run;");
  ASSERT_EQ(plain.result.exit_status, 0) << plain.log;
  const auto run = run_in(dir, "proc x11 data=usaccdeaths noprint outextrap; monthly date=date; var deaths;\n"
                               "arima mapecr=1 chicr=0.9 backcast=1;\n"
                               "output out=o d10=s d11=sa; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  EXPECT_TRUE(run.logged("No ARIMA model meets the acceptance criteria for variable deaths"));
  const Table p = read_table(dir.path() / "p.csv");
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 72 + 24);
  for (const char* name : {"s", "sa"}) {
    expect_same(col(t, name), col(p, name), 12, 72);
    for (std::size_t r : {0, 11, 84, 95}) EXPECT_TRUE(is_missing(col(t, name)[r])) << r;
  }
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

// The A tables the failed extended flow printed are not printed again by the
// plain rerun; the failure is a note in the listing too.
TEST(Extension, RerunDoesNotRepeatPrintedPriorTables) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv(96, 1990, {"x", "pf"}, [](int v, int t) {
              return v == 0 ? 100.0 + noisy_seasonal(t) : 100.0 + (t % 12 == 0 ? 1.0 : 0.0);
            }));
  const auto run = run_in(dir, "proc x11 data=in; monthly date=date pmfactor=pf charts=none; var x;\n"
                               "arima mapecr=1 chicr=0.9; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  ASSERT_TRUE(run.logged("No ARIMA model meets the acceptance criteria"));
  EXPECT_EQ(count_lines(run.listing, "A1   Original Series"), 1u);
  EXPECT_EQ(count_lines(run.listing, "A2   Prior Monthly Adjustment Factors"), 1u);
  EXPECT_EQ(count_lines(run.listing, "A3   Original Series Adjusted for Prior Monthly Factors"), 1u);
  EXPECT_NE(run.listing.find("No ARIMA model meets the acceptance criteria"), std::string::npos);
  EXPECT_EQ(count_lines(run.listing, "D10   Final Seasonal Factors"), 1u);
}

// Five years are needed for the automatic choice (message 44); a model the
// user gives is fitted to a shorter series.
TEST(Extension, ShortSeriesAndTheAutomaticChoice) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv(59, 1990, {"x"}, [](int, int t) { return 100.0 + noisy_seasonal(t); }));
  const auto plain = run_in(dir, "proc x11 data=in noprint; monthly date=date; var x; output out=p d11=sa; run;");
  const auto aut = run_in(dir, "proc x11 data=in noprint outextrap; monthly date=date; var x; arima;\n"
                               "output out=a a13=fit d11=sa; run;");
  const auto user = run_in(dir, "proc x11 data=in noprint outextrap; monthly date=date; var x;\n"
                                "arima model=(q=1 sq=1 dif=1 sdif=1); output out=u a13=fit d11=sa; run;");
  ASSERT_EQ(aut.result.exit_status, 0) << aut.log;
  ASSERT_EQ(user.result.exit_status, 0) << user.log;
  EXPECT_TRUE(aut.logged("Variable x has fewer than five years of observations"));
  EXPECT_FALSE(user.logged("fewer than five years"));
  const Table p = read_table(dir.path() / "p.csv");
  const Table a = read_table(dir.path() / "a.csv");
  const Table u = read_table(dir.path() / "u.csv");
  ASSERT_EQ(a.rows, 59 + 12);
  expect_same(col(a, "sa"), col(p, "sa"), 0, 59);
  EXPECT_TRUE(is_missing(col(a, "fit")[65]));
  EXPECT_TRUE(is_missing(col(a, "sa")[65]));
  ASSERT_EQ(u.rows, 59 + 12);
  EXPECT_FALSE(is_missing(col(u, "fit")[65]));
  EXPECT_FALSE(is_missing(col(u, "sa")[65]));
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

// TDREGR=ADJUST: the first pass adjusts the observed series for trading day
// (C19), which is extended and adjusted again; the trading-day tables are the
// first pass's, and OUTTDR= has the rows of its two regressions.
TEST(Extension, TradingDayFlowExtendsTheFirstPassC19) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const auto run = run_in(dir, std::string("proc x11 data=airline noprint outtdr=td; monthly date=date "
                                           "tdregr=adjust;\nvar passengers;\n") +
                                   kUserModel + "output out=o b1=b b16=td c19=c19 d10=s d11=sa; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "o.csv");
  ASSERT_EQ(t.rows, 144);
  for (std::size_t r = 0; r < 144; ++r) {
    ASSERT_FALSE(is_missing(col(t, "c19")[r])) << r;
    EXPECT_NEAR(col(t, "b")[r], col(t, "c19")[r], 1e-9 * col(t, "c19")[r]) << r;
    EXPECT_NEAR(col(t, "sa")[r] * col(t, "s")[r] / 100.0, col(t, "c19")[r], 1e-9 * col(t, "c19")[r]) << r;
    EXPECT_FALSE(is_missing(col(t, "td")[r])) << r;
  }
  EXPECT_NE(col(t, "b")[5], 135.0);  // adjusted for trading day, not the observation
  const Table td = read_table(dir.path() / "td.csv");
  EXPECT_EQ(td.rows, 2 * (7 + 4 + 3));
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

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Extension, PrintfpPrintsTheFirstPass) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const std::string title = "Original Series Adjusted for Trading Day and Prior Variation";
  const std::string head = "proc x11 data=airline; monthly date=date tdregr=adjust; var passengers;\n";
  const auto normal = run_in(dir, head + "arima model=(q=1 sq=1 dif=1 sdif=1) noprint; run;");
  const auto fp = run_in(dir, head + "arima model=(q=1 sq=1 dif=1 sdif=1) noprint printfp; run;");
  ASSERT_EQ(normal.result.exit_status, 0) << normal.log;
  EXPECT_EQ(count(normal.listing, title), 1u);
  EXPECT_EQ(count(fp.listing, title), 2u);
}

// The reports at the three ARIMA print levels, in the listing and the HTML report.
TEST(Extension, ReportsFollowThePrintLevel) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  auto listing = [&](const std::string& arima, std::string* html) {
    RunOptions opt;
    opt.libs.emplace_back("WORK", dir.path().string());
    std::string log, text;
    opt.log_text = &log;
    opt.listing_text = &text;
    opt.progress = nullptr;
    if (html != nullptr) opt.html_path = (dir.path() / "r.html").string();
    const RunResult r = run_program("proc x11 data=airline; monthly date=date printout=none charts=none; "
                                    "var passengers; " + arima + " run;",
                                    opt);
    EXPECT_EQ(r.exit_status, 0) << log;
    if (html != nullptr) {
      std::ifstream in(dir.path() / "r.html");
      html->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return text;
  };
  const std::string none = listing("arima noprint;", nullptr);
  const std::string normal = listing("arima;", nullptr);
  std::string html;
  const std::string all = listing("arima printall;", &html);
  EXPECT_EQ(count(none, "Criteria Summary for Model"), 0u);
  EXPECT_EQ(count(none, "ARIMA Model"), 0u);
  EXPECT_EQ(count(normal, "Criteria Summary for Model"), 1u);
  EXPECT_EQ(count(normal, "Model for variable passengers"), 1u);
  EXPECT_EQ(count(normal, "ARIMA Parameter Estimates"), 0u);
  EXPECT_EQ(count(all, "Criteria Summary for Model"), 5u);
  EXPECT_EQ(count(all, "ARIMA Parameter Estimates"), 5u);
  EXPECT_EQ(count(all, "Autocorrelation Check of Residuals"), 5u);
  EXPECT_EQ(count(all, "Convergence Summary"), 5u);
  EXPECT_EQ(count(all, "is chosen"), 1u);
  EXPECT_NE(html.find("ARIMA Parameter Estimates"), std::string::npos);
  EXPECT_NE(html.find("Criteria Summary for Model 1"), std::string::npos);
}

}  // namespace
}  // namespace x11sa::test

namespace x11sa::test {
namespace {

// A variable too short for the automatic choice runs the plain flow with
// room for backcasts in its arrays; TRENDADJ's weights must still follow
// the calendar of the observations.
TEST(Extension, PlainFlowWithBackcastRoomMatchesTheRunWithoutArima) {
  ScratchDir dir;
  dir.write("in.csv", monthly_csv(48, 1990, {"x"}, [](int, int t) { return 200.0 + noisy_seasonal(t); }));
  const std::string body = "monthly date=date trendadj; var x; output out=o b7=b7 d11=d11 d12=d12;";
  const auto plain = run_in(dir, "proc x11 data=in noprint; " + body + " run;");
  ASSERT_EQ(plain.result.exit_status, 0) << plain.log;
  const Table want = read_table(dir.path() / "o.csv");
  const auto with_room = run_in(dir, "proc x11 data=in noprint; " + body + " arima backcast=1; run;");
  ASSERT_EQ(with_room.result.exit_status, 0) << with_room.log;
  EXPECT_TRUE(with_room.logged("fewer than five years"));
  const Table got = read_table(dir.path() / "o.csv");
  for (const char* c : {"b7", "d11", "d12"}) expect_same(col(got, c), col(want, c), 0, 48);
}

}  // namespace
}  // namespace x11sa::test
