// The summary measures of a finished adjustment: the annual totals of E4,
// the months (quarters) for cyclical dominance of F1 and the F2 tables.
#pragma once

#include <array>
#include <vector>

#include "x11sa/missing.h"

namespace x11sa {

// One year of E4: the total of the series as read against that of the
// seasonally adjusted series, unmodified (B1 : D11) and modified for
// extremes (E1 : E2). A ratio in percent in a multiplicative run (missing
// when the adjusted total is 0), a difference in an additive one.
struct E4Year {
  int year = 0;
  double unmodified = kMissing;
  double modified = kMissing;
};

struct E4Ratios {
  std::vector<E4Year> years;
};

// Statistics of the changes of a series over spans of 1 to 12 months (1 to
// 4 quarters); a change is a percentage of the earlier value in a
// multiplicative run (0 when that value is not positive). Spans the series
// is too short for stay 0.
struct SpanStatistics {
  std::array<double, 12> mean_abs_change{};
  std::array<double, 12> mean_abs_change_squared{};
  std::array<double, 12> mean_change{};
  std::array<double, 12> sd_change{};
};

// F1: the months (quarters) for cyclical dominance, the shortest span over
// which the trend-cycle D12 changes more than the irregular D13 (at most 6
// months or 4 quarters), from the statistics of the two; F1 is the centred
// moving average of that many terms of D11, defined on [first, last)
// (offsets into D11).
struct CyclicalDominance {
  SpanStatistics trend_cycle;
  SpanStatistics irregular;
  int mcd = 1;
  long first = 0, last = 0;
};

// The figures of tables F2.A to F2.F.
struct F2Summary {
  int spans = 12;
  // F2.A and F2.F: the statistics of the series as read (O), the prior
  // factors (P) and the trading-day factors (TD) (all 0 when not in force),
  // S, CI, C and I, E1, E2, E3 and the F1 moving average.
  SpanStatistics original, prior, trading_day, seasonal, adjusted, trend_cycle, irregular;
  SpanStatistics modified_original, modified_adjusted, modified_irregular, mcd_average;
  // F2.B: the shares of I, C, S, P and TD in the sum of their squared
  // average changes, in percent (P and TD missing in a quarterly run); the
  // total (100, or 0 when nothing changes); that sum; and the sum in percent
  // of the squared average change of O (missing when O does not change).
  std::array<double, 12> share_irregular{}, share_trend_cycle{}, share_seasonal{}, share_prior{},
      share_trading_day{};
  std::array<double, 12> total{}, total_squares{}, ratio{};
  // F2.C: average duration of run of CI, I, C and the F1 moving average.
  double run_adjusted = 0, run_irregular = 0, run_trend_cycle = 0, run_mcd_average = 0;
  // F2.D: I/C ratio per span (missing where C does not change).
  std::array<double, 12> ic_ratio{};
  // F2.E: the months (quarters) for cyclical dominance.
  int mcd = 1;
};

}  // namespace x11sa
