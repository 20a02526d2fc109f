// How many spans, how long, and where they lie, for monthly and quarterly
// series of several lengths and first periods.
#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "spans/layout.h"

namespace x11sa::test {
namespace {

using enum SeasonalCurve;

TEST(SpanLayout, TheLongestSeasonalFilterDecides) {
  // A month left to the method counts as 3x5, unless 3x9 is named before it.
  const std::pair<std::array<SeasonalCurve, 3>, SeasonalCurve> cases[] = {
      {{Stable, Stable, Stable}, Stable},         {{ThreeByThree, ThreeByNine, Stable}, ThreeByNine},
      {{ThreeTerm, ThreeTerm, Default}, ThreeByFive}, {{ThreeByNine, ThreeByNine, Default}, ThreeByNine},
      {{Stable, ThreeByThree, Stable}, ThreeByThree},
  };
  for (const auto& [first, want] : cases) {
    std::array<SeasonalCurve, 12> curves;
    curves.fill(first[1]);
    curves[0] = first[0];
    curves[11] = first[2];
    EXPECT_EQ(longest_seasonal_filter(curves), want);
  }
}

TEST(SpanLayout, CountAndLengthByFilter) {
  constexpr Frequency M = Frequency::Monthly, Q = Frequency::Quarterly;
  const struct {
    Frequency f;
    long n;
    SeasonalCurve filter;
    int first_period, count;
    long length;
  } cases[] = {
      {M, 120, ThreeByFive, 0, 3, 96},   // eight years; (120 - 96) / 12 + 1 spans
      {M, 100, ThreeTerm, 0, 3, 76},     // 4 months before the oldest: it takes them
      {M, 200, ThreeByNine, 0, 4, 140},  // at most four; 32 months before: widened to start in January
      {M, 154, ThreeByFive, 0, 4, 106},  // 22 months before: widened by 10
      {M, 142, ThreeByFive, 3, 4, 97},   // from April, 10 months before: widened by 1 to start in January
      {M, 142, ThreeByFive, 2, 4, 96},   // from March, the oldest starts in January as it is
      {M, 135, ThreeByFive, 5, 4, 99},   // from June, 3 months before: within the first year, taken
      // Stable: four spans of up to twelve years, or spans of three years.
      {M, 120, Stable, 0, 4, 84},
      {M, 300, Stable, 0, 4, 144},
      {M, 60, Stable, 0, 3, 36},
      {M, 50, Stable, 0, 2, 38},
      {Q, 41, ThreeByFive, 2, 3, 33},  // 3x5: eight years
      {Q, 108, Default, 0, 4, 32},
      {Q, 30, ThreeByThree, 0, 2, 26},
  };
  for (const auto& c : cases) {
    const SpanLayout l = span_layout({c.f, 1980, c.first_period, c.n}, c.filter);
    ASSERT_EQ(l.status, SpanLayoutStatus::Done) << c.n;
    EXPECT_EQ(l.count, c.count) << c.n;
    EXPECT_EQ(l.length, c.length) << c.n;
  }
}

// Two spans are laid out exactly when the series holds the shortest span
// and a year more. They fit the series: the newest ends with it, they start
// a year apart, and the oldest starts with the series or in the first period
// of a year.
TEST(SpanLayout, SpansFitTheSeries) {
  const std::array<SeasonalCurve, 5> filters = {ThreeTerm, ThreeByThree, ThreeByFive, ThreeByNine, Stable};
  for (Frequency f : {Frequency::Monthly, Frequency::Quarterly}) {
    const long p = periods_per_year(f);
    const std::array<long, 5> shortest =
        f == Frequency::Monthly ? std::array<long, 5>{72, 84, 96, 132, 36} : std::array<long, 5>{24, 24, 32, 44, 12};
    for (std::size_t k = 0; k < filters.size(); ++k) {
      for (int first = 0; first < p; ++first) {
        for (long n = 3 * p; n < 26 * p; ++n) {
          SCOPED_TRACE(testing::Message() << "n " << n << " from " << first << " filter " << k);
          const SpanLayout l = span_layout({f, 1970, first, n}, filters[k]);
          ASSERT_EQ(l.status == SpanLayoutStatus::Done, n >= shortest[k] + p);
          if (l.status != SpanLayoutStatus::Done) continue;
          ASSERT_GE(l.count, 2);
          ASSERT_LE(l.count, kMaxSpans);
          EXPECT_GE(l.length, shortest[k]);
          EXPECT_EQ(l.spans[static_cast<std::size_t>(l.count - 1)].end, n);
          for (int i = 0; i < l.count; ++i) {
            const SpanExtent& e = l.spans[static_cast<std::size_t>(i)];
            EXPECT_EQ(e.end - e.first, l.length);
            EXPECT_EQ(e.first, l.spans[0].first + i * p);
          }
          EXPECT_GE(l.spans[0].first, 0);
          EXPECT_TRUE(l.spans[0].first == 0 || l.first_period() == 0);
        }
      }
    }
  }
}

}  // namespace
}  // namespace x11sa::test
