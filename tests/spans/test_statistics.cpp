// The comparison of span estimates on small quarterly spans made by hand,
// whose spreads, flags and counts are worked out in the comments.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "spans/statistics.h"

namespace x11sa::test {
namespace {

// `count` quarterly spans of `len` quarters one year apart, the oldest from
// quarter `first_period` of 1990: span i holds [4i, 4i + len). Their factors
// are all `factor`, their adjusted series 1000.
struct Spans {
  SpanLayout layout;
  std::vector<SpanEstimates> spans;
  Spans(int count, long len, double factor, int first_period = 0) : spans(static_cast<std::size_t>(count)) {
    layout.series = {Frequency::Quarterly, 1990, first_period, (count - 1) * 4L + len};
    layout.status = SpanLayoutStatus::Done;
    layout.count = count;
    layout.length = len;
    for (std::size_t i = 0; i < spans.size(); ++i) {
      layout.spans[i] = {4L * static_cast<long>(i), 4L * static_cast<long>(i) + len};
      spans[i].seasonal.assign(static_cast<std::size_t>(len), factor);
      spans[i].adjusted.assign(static_cast<std::size_t>(len), 1000.0);
    }
  }
  // The estimates of the spans from `from` on at index t of the series.
  void at(std::vector<double> SpanEstimates::*series, long t, std::initializer_list<double> values, int from = 0) {
    for (double v : values) {
      (spans[static_cast<std::size_t>(from)].*series)[static_cast<std::size_t>(t - 4L * from)] = v;
      ++from;
    }
  }
  [[nodiscard]] SpansOutcome compare(Mode mode = Mode::Multiplicative) const {
    return compare_spans(layout, spans, {mode, 3.0, 2.0});
  }
};

TEST(SpanStatistics, SpreadsWhereTwoSpansOrMoreHoldAPeriod) {
  Spans s(4, 16, 100.0);  // [0,16) [4,20) [8,24) [12,28)
  for (int i = 0; i < 4; ++i) s.at(&SpanEstimates::seasonal, 13, {100.0 + i}, i);
  s.at(&SpanEstimates::seasonal, 17, {101.0, 102.0, 103.0}, 1);
  s.at(&SpanEstimates::seasonal, 25, {150.0}, 3);
  for (Mode mode : {Mode::Multiplicative, Mode::Additive}) {
    const SpansOutcome o = s.compare(mode);
    const SeriesComparison& sf = o.of(SpanSeries::SeasonalFactors);
    EXPECT_NEAR(sf.spread[13], 3.0, 1e-12);  // 100 to 103: 3 % of 100, or 3 units
    EXPECT_NEAR(sf.spread[17], mode == Mode::Additive ? 2.0 : 200.0 / 101.0, 1e-12);
    EXPECT_TRUE(is_missing(sf.spread[2]));   // before the second span
    EXPECT_TRUE(is_missing(sf.spread[25]));  // the newest span alone
      // Classed from the second span's start to the second newest's end; a
    // spread right at the cutoff does not exceed it.
    EXPECT_EQ(sf.first, 4);
    EXPECT_EQ(sf.tested, 20);
    EXPECT_EQ(sf.exceeding, 0);
  }
}

TEST(SpanStatistics, ChangesAndTheirSpreads) {
  Spans s(3, 16, 100.0);  // [0,16) [4,20) [8,24)
  s.at(&SpanEstimates::adjusted, 9, {1010.0, 990.0, 1000.0});
  for (Mode mode : {Mode::Multiplicative, Mode::Additive}) {
    const SpansOutcome o = s.compare(mode);
    const double up = mode == Mode::Additive ? 10.0 : 1.0;  // 1000 to 1010: 1 %
    EXPECT_NEAR(o.estimate(SpanSeries::PeriodChanges, 0, 9), up, 1e-12);
    EXPECT_NEAR(o.estimate(SpanSeries::YearChanges, 1, 9), -up, 1e-12);
    EXPECT_TRUE(is_missing(o.estimate(SpanSeries::PeriodChanges, 2, 8)));  // its first quarter
    EXPECT_TRUE(is_missing(o.estimate(SpanSeries::YearChanges, 1, 7)));    // its first year
    EXPECT_NEAR(o.of(SpanSeries::PeriodChanges).spread[9], 2.0 * up, 1e-12);
    // From 9 to 10 span 0 falls back by 10 (0.99 % of 1010), span 1 rises.
    EXPECT_NEAR(o.of(SpanSeries::PeriodChanges).spread[10],
                mode == Mode::Additive ? 20.0 : 1000.0 / 990 + 1000.0 / 1010, 1e-9);
    EXPECT_NEAR(o.of(SpanSeries::YearChanges).spread[9], 2.0 * up, 1e-12);  // spans 0 and 1 hold 5 too
    // The changes' stretches start a quarter and a year later.
    EXPECT_EQ(o.of(SpanSeries::PeriodChanges).tested, 15);
    EXPECT_EQ(o.of(SpanSeries::PeriodChanges).by_year.size(), 4u);  // 1991 to 1994
    EXPECT_EQ(o.of(SpanSeries::YearChanges).tested, 12);
    EXPECT_EQ(o.of(SpanSeries::YearChanges).first_year, 1992);
  }
}

TEST(SpanStatistics, SignChanges) {
  Spans s(4, 16, 100.0);  // on the neutral level: no sign to change
  s.at(&SpanEstimates::seasonal, 13, {100.5, 100.2, 99.9, 100.1});
  s.at(&SpanEstimates::seasonal, 14, {97.0, 99.5, 101.0, 99.0});  // spread 4.1 %
  s.at(&SpanEstimates::seasonal, 15, {100.0, 99.0, 101.0, 99.0});
  s.at(&SpanEstimates::seasonal, 10, {100.0 + 1e-14, 99.0, 101.0});
  s.at(&SpanEstimates::adjusted, 9, {1010.0, 990.0, 1000.0});
  SpansOutcome o = s.compare();
  const SeriesComparison& sf = o.of(SpanSeries::SeasonalFactors);
  EXPECT_EQ(sf.sign_change[13], SignChange::Downward);
  EXPECT_EQ(sf.sign_change[14], SignChange::Upward);
  EXPECT_EQ(sf.sign_change[15], SignChange::None);  // the oldest span on the level
  EXPECT_EQ(sf.sign_change[10], SignChange::None);  // within 2^-43 of it
  EXPECT_EQ(sf.sign_changes, 2);
  EXPECT_EQ(sf.sign_changes_exceeding, 1);
  // Span 0 rises into 9 and falls out of it, span 1 the other way round;
  // from 5 to 9 and from 9 to 13 alike.
  const SeriesComparison& pc = o.of(SpanSeries::PeriodChanges);
  const SeriesComparison& yc = o.of(SpanSeries::YearChanges);
  EXPECT_EQ(pc.sign_change[9], SignChange::Downward);
  EXPECT_EQ(pc.sign_change[10], SignChange::Upward);
  EXPECT_EQ(yc.sign_change[9], SignChange::Downward);
  EXPECT_EQ(yc.sign_change[13], SignChange::Upward);
  EXPECT_EQ(pc.sign_changes + yc.sign_changes, 4);

  Spans a(3, 16, 0.0);  // additive: the neutral level is 0
  a.at(&SpanEstimates::seasonal, 9, {0.5, -0.25, 0.5});
  a.at(&SpanEstimates::seasonal, 10, {-0.5, -0.25, -0.5});
  o = a.compare(Mode::Additive);
  EXPECT_EQ(o.of(SpanSeries::SeasonalFactors).sign_change[9], SignChange::Downward);
  EXPECT_EQ(o.of(SpanSeries::SeasonalFactors).sign_changes, 1);
}

TEST(SpanStatistics, TurningPoints) {
  Spans s(4, 16, 100.0);  // three spans hold [8,12) and [16,20), four [12,16)
  s.at(&SpanEstimates::adjusted, 12, {1000, 980, 1010, 1010});   // down 2 %, up 3 %, flat: trough
  s.at(&SpanEstimates::adjusted, 13, {1000, 1020, 990, 990});    // up, down, flat: peak
  s.at(&SpanEstimates::adjusted, 14, {1000, 1005, 1010, 1030});  // flat (0.5 %), flat, up: none
  s.at(&SpanEstimates::adjusted, 15, {1000, 980, 1000, 980});    // down, up, down: a trough too
  s.at(&SpanEstimates::adjusted, 8, {1000, 970, 1000});          // down, up: trough
  s.at(&SpanEstimates::adjusted, 16, {1000, 1011, 1000}, 1);     // up 1.1 %, down: peak
  s.at(&SpanEstimates::adjusted, 17, {1000, 1010, 990}, 1);      // 1 % is still flat, then down
  SpansOutcome o = s.compare();
  const SeriesComparison& sa = o.of(SpanSeries::AdjustedSeries);
  EXPECT_EQ(sa.turning_point[12], TurningPoint::Trough);
  EXPECT_EQ(sa.turning_point[13], TurningPoint::Peak);
  EXPECT_EQ(sa.turning_point[15], TurningPoint::Trough);
  EXPECT_EQ(sa.turning_point[8], TurningPoint::Trough);
  EXPECT_EQ(sa.turning_point[16], TurningPoint::Peak);
  EXPECT_EQ(sa.turning_point[17], TurningPoint::None);
  EXPECT_EQ(sa.turning_points, 5);
  EXPECT_EQ(sa.turning_points_tested, 12);    // [8, 20)
  EXPECT_EQ(sa.turning_points_exceeding, 3);  // spreads over 3 % at 8, 12 and 13
  EXPECT_EQ(o.of(SpanSeries::PeriodChanges).turning_points_tested, 11);  // [9, 20)
  EXPECT_EQ(o.of(SpanSeries::YearChanges).turning_points_tested, 8);     // [12, 20)

  Spans a(3, 16, 0.0);  // additive factors move by units: 0.9 either way is flat
  a.at(&SpanEstimates::seasonal, 8, {0.0, 1.5, 0.2});
  a.at(&SpanEstimates::seasonal, 9, {0.0, 0.9, 0.0});
  o = a.compare(Mode::Additive);
  EXPECT_EQ(o.of(SpanSeries::SeasonalFactors).turning_point[8], TurningPoint::Peak);
  EXPECT_EQ(o.of(SpanSeries::SeasonalFactors).turning_point[9], TurningPoint::None);

  Spans two(2, 16, 100.0);  // two spans: no turning points are looked for
  two.at(&SpanEstimates::adjusted, 6, {1000, 900});
  EXPECT_EQ(two.compare().of(SpanSeries::AdjustedSeries).turning_points_tested, 0);
}

TEST(SpanStatistics, ExcessLevelsAndBreakdowns) {
  // Spans from the third quarter: [0,16) [4,20) [8,24); the stretch two or
  // more hold, [4, 20), runs from Q3 1991 to Q2 1995. The newest span
  // holding each index is set to the spread wanted, the others stay 0.
  Spans s(3, 16, 0.0, 2);
  const double spreads[16] = {1.0, 3.5, 4.0, 2.0, 6.0, 5.99, 0.0, 3.0, 1.0, 1.0, 1.0, 1.0, 7.0, 1.0, 1.0, 3.25};
  for (long t = 4; t < 20; ++t) s.at(&SpanEstimates::seasonal, t, {spreads[t - 4]}, t < 8 ? 1 : 2);
  const SpansOutcome o = s.compare(Mode::Additive);
  const SeriesComparison& sf = o.of(SpanSeries::SeasonalFactors);
  EXPECT_EQ(sf.tested, 16);
  EXPECT_EQ(sf.exceeding, 6);
  EXPECT_EQ(sf.by_excess_level, (std::array<long, 4>{2, 1, 1, 2}));  // 3.5 3.25 | 4.0 | 5.99 | 6.0 7.0
  EXPECT_EQ(sf.excess_level[5], 1);
  EXPECT_EQ(sf.excess_level[11], 0);  // 3.0, on the cutoff
  // Q3: 1.0, 6.0, 1.0, 7.0.
  EXPECT_EQ(sf.by_period[2].tested, 4);
  EXPECT_EQ(sf.by_period[2].exceeding, 2);
  EXPECT_NEAR(sf.by_period[2].sum, 15.0, 1e-12);
  // 1991 holds Q3 and Q4 (1.0, 3.5), 1995 Q1 and Q2.
  EXPECT_EQ(sf.first_year, 1991);
  ASSERT_EQ(sf.by_year.size(), 5u);
  EXPECT_EQ(sf.by_year[0].tested, 2);
  EXPECT_EQ(sf.by_year[0].exceeding, 1);
  EXPECT_NEAR(sf.by_year[0].sum, 4.5, 1e-12);
  EXPECT_EQ(sf.by_year[1].exceeding, 3);  // 4.0 2.0 6.0 5.99
  // The sixteen spreads sorted: 0, seven times 1, 2, 3, 3.25, 3.5, 4, ...
  EXPECT_EQ(sf.distribution.median, (1.0 + 2.0) / 2);
  EXPECT_EQ(sf.distribution.upper_quartile, (3.5 + 4.0) / 2);  // the median of the upper half
  EXPECT_EQ(sf.distribution.max, 7.0);
}

TEST(SpanStatistics, TradingDayFactorsTakePartWhenEverySpanHasThemAll) {
  Spans s(2, 16, 100.0);
  EXPECT_FALSE(s.compare().of(SpanSeries::TradingDayFactors).takes_part);  // no regression
  for (SpanEstimates& e : s.spans) e.trading_day.assign(16, 100.0);
  s.at(&SpanEstimates::trading_day, 6, {100.0, 102.5});
  SpansOutcome o = s.compare();
  const SeriesComparison& td = o.of(SpanSeries::TradingDayFactors);
  ASSERT_TRUE(td.takes_part);
  EXPECT_NEAR(td.spread[6], 2.5, 1e-12);
  EXPECT_EQ(td.excess_level[6], 1);  // over its own cutoff, 2
  s.spans[1].trading_day[15] = kMissing;
  o = s.compare();
  EXPECT_FALSE(o.of(SpanSeries::TradingDayFactors).takes_part);
  EXPECT_TRUE(is_missing(o.of(SpanSeries::TradingDayFactors).spread[6]));
}

}  // namespace
}  // namespace x11sa::test
