#include "diag/e4_ratios.h"

namespace x11sa {

namespace {

// Totals compared: a ratio in percent (the method's own zero test) or a
// difference.
double compare(double a, double b, bool additive) {
  if (additive) return a - b;
  return b == 0.0 ? kMissing : a / b * 100.0;
}

}  // namespace

E4Ratios e4_ratios(const E4Series& series, int periods_per_year, Mode mode, int first_year, int first_period) {
  const bool additive = mode == Mode::Additive;
  const int p = periods_per_year;
  const std::size_t end = series.original.size();
  E4Ratios out;
  if (end == 0) return out;
  const auto last_year = first_year + static_cast<int>((static_cast<std::size_t>(first_period) + end - 1) /
                                                       static_cast<std::size_t>(p));
  std::size_t t = 0;
  for (int year = first_year; year <= last_year; ++year) {
    double original = 0;
    double adjusted = 0;
    double modified = 0;
    double modified_adjusted = 0;
    for (int per = year == first_year ? first_period : 0; per < p && t < end; ++per, ++t) {
      original += series.original[t];
      adjusted += series.adjusted[t];
      modified += series.modified_original[t];
      modified_adjusted += series.modified_adjusted[t];
    }
    out.years.push_back({year, compare(original, adjusted, additive), compare(modified, modified_adjusted, additive)});
  }
  return out;
}

}  // namespace x11sa
