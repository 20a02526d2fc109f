// Reading the series of a BY group: ranges, dates, leading and embedded
// missing values, value checks and their messages.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include <fmt/format.h>

#include "host/dates.h"
#include "io/x11in.h"
#include "support/run_support.h"

namespace x11sa::test {
namespace {

// Monthly rows from `year`-`month` with the given values of column a
// ("." for missing) and b = 10 * row.
std::string monthly_csv(int year, int month, const std::vector<std::string>& a) {
  std::ostringstream s;
  s << "date,a,b\n";
  for (std::size_t i = 0; i < a.size(); ++i) {
    const int m = month - 1 + static_cast<int>(i);
    s << year + m / 12 << '-' << (m % 12 + 1 < 10 ? "0" : "") << m % 12 + 1 << "-01," << a[i] << ','
      << 10 * (i + 1) << '\n';
  }
  return s.str();
}

std::vector<std::string> values(int n, double start = 100.0) {
  std::vector<std::string> v;
  for (int i = 0; i < n; ++i) v.push_back(std::to_string(start + i));
  return v;
}

class Input : public ::testing::Test {
 protected:
  // Parses the step and reads its first BY group.
  ParsedRun read(const std::string& csv, const std::string& statements, const std::string& proc = "") {
    dir_.write("in.csv", csv);
    ParsedRun r = parse_in(dir_, "proc x11 data=in " + proc + ";\n" + statements + "\nrun;\n");
    if (r.level() > 4) return r;
    X11COM* Xp = r.com.get();
    x11ds(Xp);
    Xp->exitlvl = 0;
    if (Xp->in_ds->next_group()) x11in(Xp);
    return r;
  }
  ScratchDir dir_;
};

TEST_F(Input, LeadingMissingValuesShiftTheStart) {
  auto a = values(40);
  a[0] = a[1] = a[2] = ".";
  const auto r = read(monthly_csv(1990, 1, a), "monthly date=date; var a b;");
  const X11COM& c = *r.com;
  ASSERT_EQ(c.obs, 40);
  const VAR& v = c.vars[0];
  EXPECT_EQ(v.nmiss, 3);
  EXPECT_EQ(v.nobs, 37);
  EXPECT_EQ(v.firstper, 3);  // April
  EXPECT_EQ(v.firstyr, 1990);
  EXPECT_DOUBLE_EQ(v.b_date, zmdy(4, 1, 1990));
  EXPECT_DOUBLE_EQ(v.e_date, zmdy(4, 1, 1993));
  EXPECT_EQ(v.xfirstper, 9);
  EXPECT_EQ(v.lastper, 3);
  EXPECT_EQ(v.xlastper, 9);
  EXPECT_EQ(std::count(r.host->logged_numbers().begin(), r.host->logged_numbers().end(), 22), 1);
  EXPECT_EQ(c.vars[1].nmiss, 0);
  EXPECT_EQ(c.vars[1].nobs, 40);
  EXPECT_EQ(c.array_size, 40);
  EXPECT_EQ(c.fake_array_size, 40);
}

TEST_F(Input, EmbeddedMissingValueEndsTheSeries) {
  auto a = values(50);
  a[38] = ".";
  const auto r = read(monthly_csv(1990, 1, a), "monthly date=date; var a;");
  const VAR& v = r.com->vars[0];
  EXPECT_EQ(v.nobs, 38);
  EXPECT_EQ(v.run_f, 1);
  EXPECT_EQ(std::count(r.host->logged_numbers().begin(), r.host->logged_numbers().end(), 24), 1);
  EXPECT_EQ(r.com->obs, 50);
}

TEST_F(Input, NonPositiveValuesRejectOnlyTheirVariableInAMultiplicativeRun) {
  auto a = values(40);
  a[5] = "0";
  auto r = read(monthly_csv(1990, 1, a), "monthly date=date; var a b;");
  EXPECT_TRUE(r.logged(27));
  EXPECT_EQ(r.com->vars[0].run_f, 0);
  EXPECT_EQ(r.com->vars[1].run_f, 1);
  EXPECT_LE(r.level(), 4);
  r = read(monthly_csv(1990, 1, a), "monthly date=date additive; var a b;");
  EXPECT_FALSE(r.logged(27));
  EXPECT_EQ(r.com->vars[0].run_f, 1);
}

TEST_F(Input, HugeValuesRejectTheirVariable) {
  auto a = values(40);
  a[7] = "1.5e154";
  const auto r = read(monthly_csv(1990, 1, a), "monthly date=date; var a b;");
  EXPECT_TRUE(r.logged(26));
  EXPECT_EQ(r.com->vars[0].run_f, 0);
  EXPECT_EQ(r.com->vars[1].run_f, 1);
}

TEST_F(Input, ShortAndEmptySeries) {
  auto r = read(monthly_csv(1990, 1, values(35)), "monthly date=date; var a;");
  EXPECT_TRUE(r.logged(20));
  EXPECT_TRUE(r.logged(37));
  EXPECT_EQ(r.level(), 1008);
  r = read(monthly_csv(1990, 1, values(36)), "monthly date=date; var a;");
  EXPECT_FALSE(r.logged(20));
  EXPECT_EQ(r.level(), 0);
  // A variable with no value at all is too short; the other one runs.
  r = read(monthly_csv(1990, 1, std::vector<std::string>(40, ".")), "monthly date=date; var a b;");
  EXPECT_TRUE(r.logged(20));
  EXPECT_EQ(r.com->vars[0].nobs, 0);
  EXPECT_EQ(r.com->vars[0].run_f, 0);
  EXPECT_EQ(r.com->vars[1].run_f, 1);
  EXPECT_FALSE(r.logged(37));
}

TEST_F(Input, DateFaultsAreCountedAndCappedAtTen) {
  std::ostringstream csv;
  csv << "date,a\n";
  // Fifteen faults: each second month is skipped.
  for (int i = 0; i < 32; ++i) {
    const int m = (i < 16 ? 2 * i : 30 + i);
    csv << 1990 + m / 12 << '-' << (m % 12 + 1 < 10 ? "0" : "") << m % 12 + 1 << "-01," << 100 + i << '\n';
  }
  const auto r = read(csv.str(), "monthly date=date; var a;");
  const auto& nums = r.host->logged_numbers();
  EXPECT_EQ(std::count(nums.begin(), nums.end(), 23), 10);
  EXPECT_EQ(std::count(nums.begin(), nums.end(), 65), 1);
  EXPECT_EQ(r.level(), 1008);
  EXPECT_NE(r.log().find("MAR1990 at observation 2"), std::string::npos) << r.log();
}

TEST_F(Input, RepeatedAndBackwardDatesAreFaults) {
  for (const char* second : {"1990-01-01", "1989-12-01"}) {
    std::string csv = "date,a\n1990-01-01,1\n" + std::string(second) + ",2\n";
    const auto r = read(csv, "monthly date=date; var a;");
    EXPECT_TRUE(r.logged(23)) << second;
    EXPECT_EQ(r.level(), 1008);
  }
}

TEST_F(Input, MissingAndOutOfRangeDatesStopTheGroup) {
  auto r = read("date,a\n1990-01-01,1\n,2\n1990-03-01,3\n", "monthly date=date; var a;");
  EXPECT_TRUE(r.logged(21));
  EXPECT_EQ(r.com->rc.rc1, 1);
  EXPECT_EQ(r.level(), 1008);
  r = read("day,a\n-200000,1\n", "monthly date=day; var a;");
  EXPECT_TRUE(r.logged(21));
  // With BY variables the level is that of one skipped group.
  r = read("g,date,a\n1,,1\n", "monthly date=date; var a; by g;");
  EXPECT_EQ(r.level(), 108);
}

TEST_F(Input, StartAndEndWithoutDateVariable) {
  const auto r = read("a\n" + [] {
    std::string s;
    for (int i = 0; i < 60; ++i) s += std::to_string(100 + i) + "\n";
    return s;
  }(), "monthly start=mar1990 end=feb1993; var a;");
  const X11COM& c = *r.com;
  EXPECT_EQ(c.obs, 36);
  EXPECT_EQ(c.vars[0].nobs, 36);
  EXPECT_EQ(c.vars[0].firstper, 2);
  EXPECT_DOUBLE_EQ(c.vars[0].e_date, zmdy(2, 1, 1993));
  EXPECT_EQ(r.level(), 0) << r.log();
}

TEST_F(Input, StartAndEndSelectRowsByDate) {
  const auto r = read(monthly_csv(1989, 1, values(72)), "monthly date=date start=jan1990 end=dec1993; var a;");
  const X11COM& c = *r.com;
  EXPECT_EQ(c.obs, 48);
  EXPECT_EQ(c.vars[0].firstyr, 1990);
  EXPECT_DOUBLE_EQ(c.date.start, zmdy(1, 1, 1990));
}

TEST_F(Input, QuarterlySeriesStartingInTheThirdQuarter) {
  std::ostringstream csv;
  csv << "date,a\n";
  for (int i = 0; i < 16; ++i) {
    const int q = 2 + i;
    csv << 1990 + q / 4 << '-' << (3 * (q % 4) + 1 < 10 ? "0" : "") << 3 * (q % 4) + 1 << "-01," << 50 + i << '\n';
  }
  const auto r = read(csv.str(), "quarterly date=date; var a;");
  const VAR& v = r.com->vars[0];
  EXPECT_EQ(v.firstper, 2);
  EXPECT_EQ(v.xfirstper, 0);  // wrapped, not 4
  EXPECT_EQ(v.lastper, 1);
  EXPECT_EQ(v.xlastper, 3);
}

TEST_F(Input, MissingPriorFactorsBecomeNeutralOncePerGroup) {
  std::string csv = "date,a,pf\n";
  for (int i = 0; i < 40; ++i)
    csv += "19" + std::to_string(90 + i / 12) + "-" + (i % 12 + 1 < 10 ? "0" : "") + std::to_string(i % 12 + 1) +
           "-01," + std::to_string(100 + i) + "," + (i % 5 == 0 ? "" : "101") + "\n";
  const auto r = read(csv, "monthly date=date pmfactor=pf; var a;");
  const auto& nums = r.host->logged_numbers();
  EXPECT_EQ(std::count(nums.begin(), nums.end(), 31), 1);
  std::vector<double> pmf(40);
  ASSERT_TRUE(r.com->util3->point(0));
  ASSERT_TRUE(r.com->util3->read(pmf.data(), pmf.size() * sizeof(double)));
  EXPECT_DOUBLE_EQ(pmf[0], 100.0);
  EXPECT_DOUBLE_EQ(pmf[1], 101.0);
  const auto bad = read("date,a,pf\n1990-01-01,1,0\n", "monthly date=date pmfactor=pf; var a;");
  EXPECT_TRUE(bad.logged(18));
  EXPECT_EQ(bad.level(), 1008);
}

// Data that leaves nothing to adjust, or that no adjustment could use, ends
// the step as an error of the data: the log says ERROR, the level and the
// exit status agree, and an OUT= written before is left as it was.
TEST_F(Input, DataThatCannotBeAdjustedIsADataError) {
  std::string priors = "date,a,pf\n";
  for (int i = 0; i < 48; ++i)
    priors += fmt::format("{}-{:02}-01,{},{}\n", 1990 + i / 12, i % 12 + 1, 100 + i, i == 30 ? "inf" : "100");
  const struct {
    std::string csv;
    std::string statements;
    std::string message;
  } cases[] = {
      {"date,a\n", "monthly date=date; var a;", "no observations to adjust"},
      {"date,a\n", "monthly date=date; var a; by a;", "no observations to adjust"},
      {monthly_csv(1990, 1, values(48)), "monthly date=date start=jan2001; var a;", "no observations to adjust"},
      {monthly_csv(1990, 1, values(48)), "monthly date=date; var a; pdweights mon=0;", "All seven PDWEIGHTS are zero"},
      {priors, "monthly date=date pmfactor=pf; var a;", "PMFACTOR= variable pf has the value inf at observation 31"},
  };
  for (const auto& c : cases) {
    dir_.write("in.csv", c.csv);
    dir_.write("out.csv", "kept\n");
    const auto run = run_in(dir_, "proc x11 data=in; " + c.statements + " output out=out d11=sa; run;");
    EXPECT_GT(run.level(), 4) << c.statements << "\n" << run.log;
    EXPECT_EQ(run.result.exit_status, 1) << c.statements;
    EXPECT_TRUE(run.logged("ERROR: ") && run.logged(c.message)) << c.statements << "\n" << run.log;
    EXPECT_EQ(read_file(dir_.path() / "out.csv"), "kept\n") << c.statements;
  }
}

TEST_F(Input, TransposesRowsIntoOneSeriesPerVariable) {
  UtilFile rows;
  UtilFile cols;
  const std::vector<double> in = {1, 2, 3, 4, 5, 6};  // three rows of two
  ASSERT_TRUE(rows.write(in.data(), in.size() * sizeof(double)));
  ASSERT_TRUE(zttrans(rows, cols, 3, 2));
  std::vector<double> out(6);
  ASSERT_TRUE(cols.point(0));
  ASSERT_TRUE(cols.read(out.data(), out.size() * sizeof(double)));
  EXPECT_EQ(out, (std::vector<double>{1, 3, 5, 2, 4, 6}));
  // Large enough to take several blocks and spill to a temporary file.
  UtilFile big_rows(1 << 12);
  UtilFile big_cols(1 << 12);
  const long n = 20000;
  for (long i = 0; i < n; ++i) {
    const double row[3] = {static_cast<double>(i), -static_cast<double>(i), 0.5 * static_cast<double>(i)};
    ASSERT_TRUE(big_rows.write(row, sizeof row));
  }
  ASSERT_TRUE(zttrans(big_rows, big_cols, n, 3));
  std::vector<double> col(static_cast<std::size_t>(n));
  ASSERT_TRUE(big_cols.point(static_cast<std::size_t>(n) * 8));
  ASSERT_TRUE(big_cols.read(col.data(), col.size() * sizeof(double)));
  for (long i = 0; i < n; i += 997) EXPECT_DOUBLE_EQ(col[static_cast<std::size_t>(i)], -static_cast<double>(i));
}

}  // namespace
}  // namespace x11sa::test
