// Moving averages over a stretch of a series: tabulated weighted averages
// with end weights, the centred 2x12 and 2x4 averages, and the ratio (or
// difference) that takes one component out of another.
//
// Every function works on the stretch it is given and reads nothing outside
// it; `out` has the size of `in` unless said otherwise.
#pragma once

#include <span>

#include "x11sa/options.h"

namespace x11sa {

// A weighted moving average with its end weights, row-major with `terms`
// columns. Rows 0 .. terms/2 - 1 are the end filters: row s serves the point
// s positions in from either end, column 0 weighting the end point itself,
// the others listed inwards. An odd table ends with the symmetric filter,
// listed from the earliest point. An even table has end rows only: it serves
// stretches of exactly its length.
struct WeightTable {
  std::span<const double> weights;
  int terms = 0;

  [[nodiscard]] int rows() const noexcept { return terms / 2 + terms % 2; }
  [[nodiscard]] std::span<const double> row(int r) const noexcept {
    return weights.subspan(static_cast<std::size_t>(r) * static_cast<std::size_t>(terms),
                           static_cast<std::size_t>(terms));
  }
};

// Preliminary trends of PTRENDMA=24 and PTRENDMA=8: the centred 2x24 (2x8)
// average; end row s is the same window centred on the point s positions in,
// cut at the end of the stretch and rescaled to sum 1.
extern const WeightTable kCentred24Terms;
extern const WeightTable kCentred8Terms;

// The weighted average of `table` at each point of the stretch; near the ends
// the end rows. A stretch shorter than the table takes, at each point, the
// end row of its nearer end. With `stride` k the stretch is every k-th value
// from in[0] (one period of the year across the years), written to the same
// positions of `out`.
void moving_average(std::span<const double> in, std::span<double> out, const WeightTable& table,
                    long stride = 1);

// The same, each output divided by the sum of the weights its row used,
// which removes the rounding of the tables; 0 where that sum is not positive.
void normalised_moving_average(std::span<const double> in, std::span<double> out,
                               const WeightTable& table, long stride = 1);

// Centred 2x12 average: out[6 .. n-6) holds it, the six points at each end
// have none and are missing (everything is missing below 13 values).
void centred_12_term_average(std::span<const double> in, std::span<double> out);

// Centred 2x4 average on out[2 .. n-2), missing at the two points at each end.
void centred_4_term_average(std::span<const double> in, std::span<double> out);

// num / den * 100 (multiplicative) or num - den (additive), point by point:
// the series without the component `den`.
void ratio_or_difference(std::span<const double> num, std::span<const double> den,
                         std::span<double> out, Mode mode);

}  // namespace x11sa
