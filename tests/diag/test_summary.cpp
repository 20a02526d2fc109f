// Table E4 and the F2 summary measures on constructed components: annual
// totals by year, relative contributions that add up, and the blank cells
// where a ratio has no denominator.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "diag/e4.h"
#include "diag/f2.h"
#include "diag/flow_capture.h"
#include "diag/fsummary.h"

namespace x11sa {
namespace {

struct Printing {
  std::string log;
  Host host{TextOut(&log), TextOut(), TextOut(), HostSettings{}};
  test::CaptureSink capture;
  X11COM com;
  Printing() {
    com.host = &host;
    host.ods().add_sink(&capture);
  }
};

double total(const std::vector<double>& v, long from, long to) {
  double s = 0;
  for (long t = from; t < to; ++t) s += v[static_cast<std::size_t>(t)];
  return s;
}

TEST(E4, AnnualTotalsFromTheFirstPeriodOn) {
  // November 2000 to December 2002 at positions 3 to 28.
  const long begin = 3, end = 29;
  std::vector<double> a1(32, kMissing), d11(32, kMissing), e1(32, kMissing), e2(32, kMissing);
  for (long t = begin; t < end; ++t) {
    const auto i = static_cast<std::size_t>(t);
    a1[i] = 100.0 + static_cast<double>(t);
    // The adjusted series of 2002 (from position 17) sums to 0: no ratio
    // for that year.
    d11[i] = t < 17 ? 98.0 + static_cast<double>(t % 5) : (t % 2 == 0 ? 7.0 : -7.0);
    e1[i] = a1[i] - 0.5;
    e2[i] = d11[i] + 0.25;
  }
  for (const bool additive : {false, true}) {
    Printing p;
    p.com.op.add_f = additive ? 1 : 0;
    x11e4p(&p.com, a1.data(), d11.data(), e1.data(), e2.data(), 2000, 2002, 10, begin, end);
    const OdsTable* t = p.capture.find("E4");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->title, msgtext(additive ? 153 : 453));
    ASSERT_EQ(t->rows.size(), 3u);
    const long bounds[4] = {3, 5, 17, 29};
    for (std::size_t y = 0; y < 3; ++y) {
      EXPECT_EQ(test::num(*t, y, 0), 2000.0 + static_cast<double>(y));
      const double o = total(a1, bounds[y], bounds[y + 1]), sa = total(d11, bounds[y], bounds[y + 1]);
      const double mo = total(e1, bounds[y], bounds[y + 1]), msa = total(e2, bounds[y], bounds[y + 1]);
      if (additive) {
        EXPECT_NEAR(test::num(*t, y, 1), o - sa, 1e-9) << y;
        EXPECT_NEAR(test::num(*t, y, 2), mo - msa, 1e-9) << y;
      } else if (y < 2) {
        EXPECT_NEAR(test::num(*t, y, 1), o / sa * 100.0, 1e-9) << y;
        EXPECT_NEAR(test::num(*t, y, 2), mo / msa * 100.0, 1e-9) << y;
      }
    }
    if (!additive) {
      EXPECT_TRUE(is_missing(test::num(*t, 2, 1)));
      EXPECT_NEAR(test::num(*t, 2, 2), total(e1, 17, 29) / 3.0 * 100.0, 1e-9);  // E2 of 2002 sums to 3
    }
  }
}

// Components of a monthly multiplicative decomposition over 72 periods.
struct Components {
  static constexpr long n = 72;
  std::vector<double> o, p, td, s, ci, c, i, e1, e2, e3, f1;
  explicit Components(bool constant) {
    for (auto* v : {&o, &p, &td, &s, &ci, &c, &i, &e1, &e2, &e3, &f1}) v->assign(n, 100.0);
    if (constant) return;
    for (long t = 0; t < n; ++t) {
      const auto k = static_cast<std::size_t>(t);
      const double x = static_cast<double>(t);
      c[k] = 500.0 + 2.0 * x;
      s[k] = 100.0 + 8.0 * std::sin(0.5236 * x);
      i[k] = 100.0 + 0.8 * std::sin(2.9 * x);
      p[k] = 100.0 + 0.5 * std::cos(0.5236 * x);
      td[k] = 100.0 + 0.3 * std::sin(1.7 * x);
      ci[k] = c[k] * i[k] / 100.0;
      o[k] = ci[k] * s[k] * p[k] * td[k] / 1e6;
      e1[k] = o[k];
      e2[k] = ci[k];
      e3[k] = i[k];
    }
  }
};

struct F2Run {
  F2SUMMARY f;
  int mcd = 0;
};

F2Run f2_of(X11COM* Xp, const Components& x) {
  F2Run r;
  std::array<double, 48> cp{}, ip{};
  std::vector<double> f1(Components::n);
  long first = 0, last = 0;
  x11f1(Xp, f1.data(), cp.data(), ip.data(), x.ci.data(), x.c.data(), x.i.data(), 0, Components::n, &first, &last,
        &r.mcd);
  x11f2(Xp, x.o.data(), x.p.data(), x.td.data(), x.s.data(), x.ci.data(), x.c.data(), x.i.data(), x.e1.data(),
        x.e2.data(), x.e3.data(), f1.data(), cp.data(), ip.data(), 0, Components::n, first, last, r.mcd, &r.f);
  return r;
}

TEST(F2, ContributionsAddUpAndFollowThePriorAndTradingDayOptions) {
  const Components x(false);
  X11COM com;
  com.fake_array_size = Components::n;
  com.vn_pmf = 1;
  com.tdregr = 2;
  const F2Run with = f2_of(&com, x);
  for (int k = 0; k < 12; ++k) {
    const F2SUMMARY& f = with.f;
    EXPECT_NEAR(f.share_i[k] + f.share_c[k] + f.share_s[k] + f.share_p[k] + f.share_td[k], 100.0, 1e-9) << k;
    EXPECT_GT(f.share_p[k], 0.0);
    EXPECT_GT(f.share_td[k], 0.0);
    EXPECT_DOUBLE_EQ(f.total_squares[k], f.i[12 + k] + f.c[12 + k] + f.s[12 + k] + f.p[12 + k] + f.td[12 + k]);
    EXPECT_NEAR(f.ratio[k], f.total_squares[k] * 100.0 / (f.o[k] * f.o[k]), 1e-9 * f.ratio[k]);
    EXPECT_NEAR(f.ic[k], f.i[k] / f.c[k], 1e-12);
  }
  // The seasonal moves most over short spans, the trend-cycle over a year.
  EXPECT_GT(with.f.share_s[0], with.f.share_c[0]);
  EXPECT_GT(with.f.share_c[11], with.f.share_s[11]);
  // Without prior factors and trading-day adjustment P and TD take no share.
  com.vn_pmf = -1;
  com.tdregr = 1;
  const F2Run without = f2_of(&com, x);
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(without.f.p[k], 0.0);
    EXPECT_EQ(without.f.td[k], 0.0);
    EXPECT_EQ(without.f.share_p[k], 0.0);
    EXPECT_NEAR(without.f.share_i[k] + without.f.share_c[k] + without.f.share_s[k], 100.0, 1e-9);
  }
  // TDREGR=TEST applies the factors only when its F-test passed; prior
  // daily weights always do.
  com.tdregr = 3;
  com.op.ftest_f = 0;
  EXPECT_EQ(f2_of(&com, x).f.td[0], 0.0);
  com.op.pdwgt_f = 1;
  EXPECT_GT(f2_of(&com, x).f.td[0], 0.0);
}

// F1, then the printed F2 tables, of the components `x`; the MCD of F1.
int print_f2(X11COM* Xp, const Components& x) {
  std::array<double, 48> cp{}, ip{};
  std::vector<double> f1(Components::n);
  long first = 0, last = 0;
  int mcd = 0;
  x11f1(Xp, f1.data(), cp.data(), ip.data(), x.ci.data(), x.c.data(), x.i.data(), 0, Components::n, &first, &last,
        &mcd);
  x11f2p(Xp, x.o.data(), x.p.data(), x.td.data(), x.s.data(), x.ci.data(), x.c.data(), x.i.data(), x.e1.data(),
         x.e2.data(), x.e3.data(), f1.data(), cp.data(), ip.data(), 0, Components::n, first, last, mcd);
  return mcd;
}

TEST(F2, AConstantSeriesLeavesTheRatiosBlank) {
  Printing p;
  p.com.fake_array_size = Components::n;
  const Components x(true);
  const int mcd = print_f2(&p.com, x);
  EXPECT_EQ(mcd, 1);  // the I/C ratio takes the I value 0
  for (const char* name : {"F2A", "F2B", "F2C", "F2D", "F2F"}) ASSERT_NE(p.capture.find(name), nullptr) << name;
  const OdsTable& a = *p.capture.find("F2A");
  for (std::size_t r = 0; r < 12; ++r)
    for (std::size_t c = 1; c < 12; ++c) EXPECT_EQ(test::num(a, r, c), 0.0) << r << "," << c;
  const OdsTable& b = *p.capture.find("F2B");
  for (std::size_t r = 0; r < 12; ++r) {
    EXPECT_EQ(test::num(b, r, 6), 0.0);                // total
    EXPECT_TRUE(is_missing(test::num(b, r, 7))) << r;  // no change of O to compare with
  }
  EXPECT_EQ(b.notes.size(), 12u);
  const OdsTable& d = *p.capture.find("F2D");
  for (std::size_t c = 0; c < 12; ++c) EXPECT_TRUE(is_missing(test::num(d, 0, c))) << c;
  EXPECT_EQ(d.notes.front(), msgtext(329, 1));
  EXPECT_EQ(d.notes.back(), msgtext(325, 1));
  // No NaN or infinity anywhere.
  for (const auto& t : p.capture.tables)
    for (const auto& row : t.rows)
      for (const auto& cell : row)
        if (const auto* v = std::get_if<double>(&cell)) {
          EXPECT_TRUE(std::isfinite(*v)) << t.name;
        }
}

TEST(F2, QuarterlyTablesHaveFourSpansAndNoPriorOrTradingDay) {
  Printing p;
  p.com.op.month_f = 0;
  p.com.nper = 4;
  p.com.fake_array_size = Components::n;
  p.com.vn_pmf = 1;
  const Components x(false);
  const int mcd = print_f2(&p.com, x);
  EXPECT_LE(mcd, 4);
  const OdsTable& a = *p.capture.find("F2A");
  ASSERT_EQ(a.rows.size(), 4u);
  EXPECT_EQ(test::num(a, 0, 6), 0.0);  // P
  const OdsTable& b = *p.capture.find("F2B");
  ASSERT_EQ(b.columns.size(), 6u);
  for (std::size_t r = 0; r < 4; ++r)
    EXPECT_NEAR(test::num(b, r, 1) + test::num(b, r, 2) + test::num(b, r, 3), 100.0, 1e-9);
  EXPECT_EQ(p.capture.find("F2D")->columns.size(), 4u);
  EXPECT_EQ(p.capture.find("F2D")->notes.back(), msgtext(326, mcd));
  EXPECT_EQ(p.capture.find("F2F")->rows.size(), 4u);
}

}  // namespace
}  // namespace x11sa
