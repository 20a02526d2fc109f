// Summary measures: span statistics of changes, the average duration of
// run, and the months (quarters) for cyclical dominance with the F1 series.
#pragma once

#include <span>

#include "x11sa/options.h"
#include "x11sa/summary_measures.h"

namespace x11sa {

// Statistics of the changes of `s` over spans of 1 to `spans` periods
// (12 monthly, 4 quarterly).
[[nodiscard]] SpanStatistics span_statistics(std::span<const double> s, int spans, Mode mode);

// Average duration of run of `s`: its number of changes over the number of
// runs of changes in one direction; changes within 1e-10 of 0 keep the
// direction. 0 for fewer than two values.
[[nodiscard]] double average_duration_of_run(std::span<const double> s);

// The months (quarters) for cyclical dominance from the trend-cycle D12
// and the irregular D13 (the same stretch), and the stretch of F1.
[[nodiscard]] CyclicalDominance cyclical_dominance(std::span<const double> d12, std::span<const double> d13,
                                                   Frequency frequency, Mode mode);

// F1: the centred moving average of `mcd` terms of `d11`, written to
// f1[first, last) of the same stretch (two terms back and one ahead for four).
void f1_moving_average(std::span<double> f1, std::span<const double> d11, const CyclicalDominance& dominance);

}  // namespace x11sa
