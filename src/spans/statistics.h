// The statistics that compare the estimates of the sliding spans: for each
// period, how far apart the spans' estimates lie (the spread), whether they
// disagree on a sign or make a turning point, how the spreads compare with
// the cutoff, and their breakdowns by period of the year and by year.
#pragma once

#include <span>
#include <vector>

#include "records/spans_outcome.h"
#include "x11sa/options.h"

namespace x11sa {

struct SpanComparisonOptions {
  Mode mode = Mode::Multiplicative;
  double cutoff = 3.0;     // for every series but the trading-day factors
  double td_cutoff = 2.0;  // for the trading-day factors
};

// Compares the estimates of the spans of `layout` (one per span, the oldest
// first, each over its span).
[[nodiscard]] SpansOutcome compare_spans(const SpanLayout& layout, std::vector<SpanEstimates> spans,
                                         const SpanComparisonOptions& options);

// The turning point the moves of an estimate over three or four spans make
// (two or three moves): a trough where it first falls, then rises (down-up,
// down-flat-up, flat-down-up, down-up-flat, down-up-down, down-up-up,
// down-down-up), a peak in the mirror cases.
[[nodiscard]] TurningPoint turning_point_of(std::span<const SpanMove> moves) noexcept;

// The excess level of a spread over `cutoff`: 0 up to the cutoff, then 1 to
// 4 by whole units above it.
[[nodiscard]] int excess_level(double spread, double cutoff) noexcept;

// The distribution of spreads sorted ascending.
[[nodiscard]] SpreadDistribution spread_distribution(std::span<const double> sorted);

}  // namespace x11sa
