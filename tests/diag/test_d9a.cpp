// D9A, the moving-seasonality ratio, on columns worked out by hand: the
// seven-term seasonal of four values [100, 104, 98, 102] extended by the
// means of their first and last three is (2118, 2120, 2122, 2124) / 21.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "diag/d9a.h"
#include "diag/flow_capture.h"

namespace x11sa {
namespace {

constexpr double kColumn[4] = {100, 104, 98, 102};
constexpr double kSeasonal[4] = {2118.0 / 21, 2120.0 / 21, 2122.0 / 21, 2124.0 / 21};

// Quarterly D9 of four years: period 0 the column above, the others flat.
std::vector<double> quarterly_d9(double flat) {
  std::vector<double> d9(16, flat);
  for (int y = 0; y < 4; ++y) d9[static_cast<std::size_t>(4 * y)] = kColumn[y];
  return d9;
}

struct Quarterly {
  std::string log;
  Host host{TextOut(&log), TextOut(), TextOut(), HostSettings{}};
  test::CaptureSink capture;
  X11COM com;
  std::vector<double> w1 = std::vector<double>(16, 0.0), w2 = std::vector<double>(16, 0.0);
  explicit Quarterly(bool additive) {
    com.host = &host;
    com.op.month_f = 0;
    com.nper = 4;
    com.op.add_f = additive ? 1 : 0;
    host.ods().add_sink(&capture);
  }
};

TEST(D9A, AdditiveChangesOfSeasonalAndIrregular) {
  Quarterly q(true);
  const auto d9 = quarterly_d9(0.0);
  D9ARATIO r[12];
  x11d9a(&q.com, d9.data(), q.w1.data(), q.w2.data(), 0, 16, r);
  // The seasonal rises by 2/21 a year; the irregular is (-18, 64, -64, 18) / 21.
  EXPECT_NEAR(r[0].sbar, 2.0 / 21, 1e-12);
  EXPECT_NEAR(r[0].ibar, (82.0 + 128.0 + 82.0) / 21 / 3, 1e-12);
  EXPECT_NEAR(r[0].ratio, 292.0 / 6, 1e-9);
  EXPECT_EQ(r[0].values, 4);
  // A flat column: no seasonal change, so no ratio.
  EXPECT_EQ(r[1].sbar, 0.0);
  EXPECT_EQ(r[1].ibar, 0.0);
  EXPECT_TRUE(is_missing(r[1].ratio));
}

TEST(D9A, MultiplicativeChangesArePercentages) {
  Quarterly q(false);
  const auto d9 = quarterly_d9(100.0);
  D9ARATIO r[12];
  x11d9a(&q.com, d9.data(), q.w1.data(), q.w2.data(), 0, 16, r);
  double sbar = 0, ibar = 0;
  double irregular[4];
  for (int j = 0; j < 4; ++j) irregular[j] = kColumn[j] / kSeasonal[j] * 100.0;
  for (int j = 1; j < 4; ++j) {
    sbar += (kSeasonal[j] - kSeasonal[j - 1]) * 100.0 / kSeasonal[j] / 3.0;
    ibar += std::fabs(irregular[j - 1] - irregular[j]) * 100.0 / irregular[j] / 3.0;
  }
  EXPECT_NEAR(r[0].sbar, sbar, 1e-12);
  EXPECT_NEAR(r[0].ibar, ibar, 1e-12);
  EXPECT_NEAR(r[0].ratio, ibar / sbar, 1e-9);
  EXPECT_EQ(r[2].ibar, 0.0);
  EXPECT_TRUE(is_missing(r[2].ratio));
}

TEST(D9A, ColumnsAreThePeriodsOfTheYear) {
  Quarterly q(true);
  const auto d9 = quarterly_d9(0.0);
  // The series starts in the third quarter: the first processed period is Q3.
  x11d9p(&q.com, d9.data(), q.w1.data(), q.w2.data(), 0, 16, 2);
  const OdsTable* t = q.capture.find("D9A");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->template_path, "lum.x11.qtr.d9a");
  ASSERT_EQ(t->columns.size(), 5u);
  EXPECT_EQ(t->columns[1].name, "D9A_C2");
  ASSERT_EQ(t->rows.size(), 3u);
  EXPECT_EQ(test::text(*t, 0, 0), msgtext(283));
  EXPECT_EQ(test::text(*t, 2, 0), msgtext(285));
  EXPECT_NEAR(test::num(*t, 2, 3), 292.0 / 6, 1e-9);  // Q3
  for (std::size_t c : {1u, 2u, 4u}) EXPECT_TRUE(is_missing(test::num(*t, 2, c))) << c;
  EXPECT_TRUE(t->notes.empty());
}

TEST(D9A, APeriodWithASingleValueIsLeftBlankWithANote) {
  Quarterly q(false);
  const auto d9 = quarterly_d9(100.0);
  // Five quarters: Q1 has two values, the other quarters one each.
  x11d9p(&q.com, d9.data(), q.w1.data(), q.w2.data(), 0, 5, 0);
  const OdsTable* t = q.capture.find("D9A");
  ASSERT_NE(t, nullptr);
  // Two values: extended by their mean, the seasonal is flat at 102 and the
  // irregular moves from 100/102 to 104/102.
  EXPECT_NEAR(test::num(*t, 1, 1), 0.0, 1e-12);
  EXPECT_NEAR(test::num(*t, 0, 1), 4.0 / 104.0 * 100.0, 1e-9);
  for (std::size_t c = 2; c <= 4; ++c)
    for (std::size_t r = 0; r < 3; ++r) EXPECT_TRUE(is_missing(test::num(*t, r, c))) << r << "," << c;
  ASSERT_EQ(t->notes.size(), 3u);
  EXPECT_EQ(t->notes[0], msgtext(286, "Q2"));
}

}  // namespace
}  // namespace x11sa
