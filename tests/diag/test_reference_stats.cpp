// The diagnostics of the three reference runs against the figures of an
// independent implementation of the method: the seasonality tests, D9A,
// E4, the MCD and every F2 table, to 1e-9 relative.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "diag/f2.h"
#include "diag/flow_capture.h"
#include "diag/fsummary.h"

namespace x11sa::test {
namespace {

struct Case {
  const char* reference;
  const char* data;
  const char* column;
  bool quarterly;
  bool additive;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.reference; }

// Agreement to 1e-9 relative; a zero must be matched within 1e-12 (sums of
// changes that cancel are computed in another order there).
void expect_close(double want, double got, const std::string& what) {
  if (is_missing(want) || is_missing(got)) {
    EXPECT_EQ(is_missing(want), is_missing(got)) << what << ": reference " << want << ", x11sa " << got;
    return;
  }
  const double tol = std::max(1e-9 * std::fabs(want), 1e-12);
  EXPECT_NEAR(got, want, tol) << what;
}

class ReferenceStats : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    const Case& c = GetParam();
    ref_ = reference_stats(c.reference);
    SeriesOptions o;
    o.method.frequency = c.quarterly ? Frequency::Quarterly : Frequency::Monthly;
    o.method.mode = c.additive ? Mode::Additive : Mode::Multiplicative;
    o.start_year = static_cast<int>(ref_num(ref_, "index/firstyr"));
    o.start_period = static_cast<int>(ref_num(ref_, "index/firstper")) + 1;
    series_ = data_column(std::string(c.data) + ".csv", c.column);
    run_ = run_flow(series_, o, 1);
    ASSERT_NE(run_->com, nullptr);
  }
  const OdsTable& table(const std::string& name) {
    const OdsTable* t = run_->capture.find(name);
    if (t == nullptr) {
      static const OdsTable empty;
      ADD_FAILURE() << "table " << name << " was not printed";
      return empty;
    }
    return *t;
  }

  boost::property_tree::ptree ref_;
  std::vector<double> series_;
  std::unique_ptr<FlowRun> run_;
};

TEST_P(ReferenceStats, StableAndMovingSeasonality) {
  const X11COM& com = *run_->com;
  const STBAOV& s = com.stbaov;
  expect_close(ref_num(ref_, "stable/ss_between"), s.ss[0], "stable SS between");
  expect_close(ref_num(ref_, "stable/ss_residual"), s.ss[1], "stable SS residual");
  expect_close(ref_num(ref_, "stable/ss_total"), s.ss[2], "stable SS total");
  const auto df = ref_array(ref_, "stable/df");
  ASSERT_EQ(df.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(s.df[k], df[k]) << k;
  expect_close(ref_num(ref_, "stable/ms_between"), s.ms[0], "stable MS between");
  expect_close(ref_num(ref_, "stable/ms_residual"), s.ms[1], "stable MS residual");
  expect_close(ref_num(ref_, "stable/F"), com.ftest.f[0], "stable F");
  expect_close(ref_num(ref_, "stable/prob"), com.ftest.p[0], "stable probability");

  const OUTMOV& m = com.outmov;
  expect_close(ref_num(ref_, "moving/ss_between_periods"), m.ss_periods, "moving SS periods");
  expect_close(ref_num(ref_, "moving/ss_between_years"), m.ss_years, "moving SS years");
  expect_close(ref_num(ref_, "moving/ss_error"), m.ss_error, "moving SS error");
  expect_close(ref_num(ref_, "moving/ss_total"), m.ss_total, "moving SS total");
  EXPECT_EQ(m.df_years, ref_num(ref_, "moving/df_years"));
  EXPECT_EQ(m.df_error, ref_num(ref_, "moving/df_error"));
  expect_close(ref_num(ref_, "moving/ms_years"), m.ms_years, "moving MS years");
  expect_close(ref_num(ref_, "moving/ms_error"), m.ms_error, "moving MS error");
  expect_close(ref_num(ref_, "moving/F"), com.ftest.f[1], "moving F");
  expect_close(ref_num(ref_, "moving/prob"), com.ftest.p[1], "moving probability");
  EXPECT_EQ(m.nyr, static_cast<long>(ref_num(ref_, "moving/nyr")));
  EXPECT_EQ(m.first, static_cast<long>(ref_num(ref_, "moving/start")));
  EXPECT_EQ(m.last, static_cast<long>(ref_num(ref_, "moving/end")));

  // The printed tables carry the same figures.
  const OdsTable& st = table("STABLE_FT");
  ASSERT_EQ(st.rows.size(), 3u);
  EXPECT_EQ(num(st, 0, 1), s.ss[0]);
  EXPECT_EQ(num(st, 1, 1), s.ss[1]);
  EXPECT_EQ(num(st, 2, 1), s.ss[2]);
  EXPECT_EQ(num(st, 0, 4), com.ftest.f[0]);
  EXPECT_TRUE(is_missing(num(st, 1, 4)));
  EXPECT_TRUE(is_missing(num(st, 2, 3)));
  const OdsTable& mt = table("MOVING_FT");
  ASSERT_EQ(mt.rows.size(), 2u);
  EXPECT_EQ(num(mt, 0, 4), com.ftest.f[1]);
  EXPECT_EQ(num(mt, 1, 3), m.ms_error);
}

TEST_P(ReferenceStats, KruskalWallisAndCombinedTest) {
  const X11COM& com = *run_->com;
  expect_close(ref_num(ref_, "kruskal_wallis/stat"), com.kwstats.stat, "KW statistic");
  EXPECT_EQ(com.kwstats.df, static_cast<long>(ref_num(ref_, "kruskal_wallis/df")));
  expect_close(ref_num(ref_, "kruskal_wallis/prob"), com.kwstats.prob, "KW probability");
  expect_close(ref_num(ref_, "kruskal_wallis/level"), com.kwstats.level, "KW level");
  expect_close(ref_num(ref_, "T1"), com.ftest.t1, "T1");
  expect_close(ref_num(ref_, "T2"), com.ftest.t2, "T2");
  expect_close(ref_num(ref_, "T"), com.ftest.t, "T");
  EXPECT_EQ(com.ftest.fail, static_cast<int>(ref_num(ref_, "combined_verdict")));

  const OdsTable& kw = table("KruskalWallisTest");
  ASSERT_EQ(kw.rows.size(), 1u);
  EXPECT_EQ(num(kw, 0, 0), com.kwstats.stat);
  const OdsTable& ct = table("CombinedSeasonalityTest");
  ASSERT_EQ(ct.rows.size(), 7u);
  EXPECT_EQ(text(ct, 0, 0), "P_STABLE");
  EXPECT_EQ(num(ct, 0, 2), com.ftest.p[0]);
  EXPECT_EQ(num(ct, 5, 2), com.ftest.t);
  EXPECT_EQ(text(ct, 6, 0), "IDSeasTest");
  EXPECT_EQ(text(ct, 6, 3), msgtext881(204));  // present, in all three runs
}

TEST_P(ReferenceStats, MovingSeasonalityRatioD9A) {
  const OdsTable& t = table("D9A");
  const auto& rows = ref_.get_child("D9A");
  const std::size_t periods = GetParam().quarterly ? 4 : 12;
  ASSERT_EQ(rows.size(), periods);
  ASSERT_EQ(t.rows.size(), 3u);
  ASSERT_EQ(t.columns.size(), periods + 1);
  for (const auto& [key, r] : rows) {
    const auto period = r.get<std::size_t>("period");
    const std::string at = " period " + std::to_string(period);
    expect_close(ref_num(r, "I"), num(t, 0, period + 1), "I" + at);
    expect_close(ref_num(r, "S"), num(t, 1, period + 1), "S" + at);
    expect_close(ref_num(r, "ratio"), num(t, 2, period + 1), "ratio" + at);
  }
  EXPECT_TRUE(t.notes.empty());
}

TEST_P(ReferenceStats, AnnualTotalsE4) {
  const OdsTable& t = table("E4");
  const auto& rows = ref_.get_child("E4");
  ASSERT_EQ(t.rows.size(), rows.size());
  std::size_t k = 0;
  for (const auto& [key, r] : rows) {
    EXPECT_EQ(num(t, k, 0), ref_num(r, "year"));
    const std::string at = " year " + std::to_string(static_cast<int>(ref_num(r, "year")));
    expect_close(ref_num(r, "unmodified"), num(t, k, 1), "unmodified" + at);
    expect_close(ref_num(r, "modified"), num(t, k, 2), "modified" + at);
    ++k;
  }
}

TEST_P(ReferenceStats, SummaryMeasuresF2) {
  const bool quarterly = GetParam().quarterly;
  const std::size_t spans = quarterly ? 4 : 12;
  const OdsTable& a = table("F2A");
  ASSERT_EQ(a.rows.size(), spans);
  const char* a_cols[] = {"O", "CI", "I", "C", "S", "P", "TD", "MCD", "E1", "E2", "E3"};
  std::size_t k = 0;
  for (const auto& [key, r] : ref_child(ref_, "F2/table_a")) {
    EXPECT_EQ(num(a, k, 0), ref_num(r, "span"));
    for (std::size_t c = 0; c < std::size(a_cols); ++c)
      expect_close(ref_num(r, a_cols[c]), num(a, k, c + 1), std::string("F2A ") + a_cols[c] + " span " + std::to_string(k + 1));
    ++k;
  }
  EXPECT_EQ(k, spans);

  // F2.B: quarterly runs have no P and TD columns.
  const OdsTable& b = table("F2B");
  ASSERT_EQ(b.rows.size(), spans);
  std::vector<const char*> b_cols = {"I", "C", "S", "P", "TD", "total", "ratio"};
  if (quarterly) b_cols = {"I", "C", "S", "total", "ratio"};
  ASSERT_EQ(b.columns.size(), b_cols.size() + 1);
  F2SUMMARY f;
  const X11COM* Xp = run_->com.get();
  k = 0;
  for (const auto& [key, r] : ref_child(ref_, "F2/table_b")) {
    for (std::size_t c = 0; c < b_cols.size(); ++c)
      expect_close(ref_num(r, b_cols[c]), num(b, k, c + 1), std::string("F2B ") + b_cols[c] + " span " + std::to_string(k + 1));
    ++k;
  }
  EXPECT_EQ(k, spans);

  const OdsTable& c = table("F2C");
  ASSERT_EQ(c.rows.size(), 1u);
  const char* c_cols[] = {"CI", "I", "C", "MCD"};
  for (std::size_t j = 0; j < 4; ++j)
    expect_close(ref_num(ref_, std::string("F2/table_c/") + c_cols[j]), num(c, 0, j), std::string("F2C ") + c_cols[j]);

  const OdsTable& d = table("F2D");
  const auto ic = ref_array(ref_, "F2/table_d");
  ASSERT_EQ(ic.size(), spans);
  ASSERT_EQ(d.rows.size(), 1u);
  for (std::size_t j = 0; j < spans; ++j) expect_close(ic[j], num(d, 0, j), "F2D span " + std::to_string(j + 1));
  const int mcd = static_cast<int>(ref_num(ref_, "F2/mcd"));
  EXPECT_EQ(mcd, static_cast<int>(ref_num(ref_, "MCD")));
  ASSERT_FALSE(d.notes.empty());
  EXPECT_EQ(d.notes.back(), msgtext(quarterly ? 326 : 325, mcd));

  const OdsTable& ft = table("F2F");
  ASSERT_EQ(ft.rows.size(), spans);
  const char* f_cols[] = {"O", "I", "C", "S", "CI", "MCD"};
  k = 0;
  for (const auto& [key, r] : ref_child(ref_, "F2/table_f")) {
    for (std::size_t j = 0; j < 6; ++j) {
      const auto pair = ref_array(r, f_cols[j]);
      ASSERT_EQ(pair.size(), 2u);
      const std::string at = std::string(" ") + f_cols[j] + " span " + std::to_string(k + 1);
      expect_close(pair[0], num(ft, k, 1 + 2 * j), "F2F average" + at);
      expect_close(pair[1], num(ft, k, 2 + 2 * j), "F2F deviation" + at);
    }
    ++k;
  }

  // The sum of squares behind the shares of F2.B, from the figures directly.
  const WORK& w = Xp->work;
  const X11FLOW& fl = Xp->x11flow;
  std::array<double, 48> d12p{}, d13p{};
  long first = 0, last = 0;
  int imcd = 0;
  X11COM* mut = run_->com.get();
  std::vector<double> f1(static_cast<std::size_t>(Xp->fake_array_size));
  x11f1(mut, f1.data(), d12p.data(), d13p.data(), w.d11, w.d12, w.d13, fl.real_begin, fl.real_end, &first, &last,
        &imcd);
  EXPECT_EQ(imcd, mcd);
  const auto range = ref_array(ref_, "F1_range");
  EXPECT_EQ(first, static_cast<long>(range[0]));
  EXPECT_EQ(last, static_cast<long>(range[1]));
  x11f2(mut, w.original_in, w.pmf, w.c18, w.d10, w.d11, w.d12, w.d13, w.temp1, w.temp2, w.temp3, f1.data(),
        d12p.data(), d13p.data(), fl.real_begin, fl.real_end, first, last, imcd, &f);
  k = 0;
  for (const auto& [key, r] : ref_child(ref_, "F2/table_b")) {
    expect_close(ref_num(r, "total_squares"), f.total_squares[k], "F2B total squares span " + std::to_string(k + 1));
    ++k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Series, ReferenceStats,
    ::testing::Values(Case{"airline", "airline", "passengers", false, false},
                      Case{"ukgas", "ukgas", "gas", true, false},
                      Case{"nottingham_additive", "nottingham", "temp", false, true}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.reference); });

}  // namespace
}  // namespace x11sa::test
