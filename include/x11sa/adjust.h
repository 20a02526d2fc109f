// Seasonal adjustment of one series held in memory, with the same options,
// checks and tables as a PROC X11 step.
#pragma once

#include <array>
#include <string_view>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace x11sa {

enum class TradingDay { None, Print, Adjust, Test };

struct SeriesOptions {
  bool quarterly = false;
  // Period of the first value: its year and its month (1..12) or quarter (1..4).
  int start_year = 2000;
  int start_period = 1;
  bool additive = false;
  int trendma = 0;   // Henderson length; 0 chooses by the I/C ratio
  int ptrendma = 0;  // preliminary trend: 12 or 24 monthly, 4 or 8 quarterly; 0 the default
  double fullweight = 1.5;
  double zeroweight = 2.5;
  double exclude = 2.5;
  bool extreme_new = false;  // EXTREME=NEW
  TradingDay tdregr = TradingDay::None;
  int tdcompute = 0;  // year; 0 none
  int tdapply = 0;    // year; 0 none
  bool length = false;
  bool summary = false;
  bool trendadj = false;
  bool year_ahead = false;  // one year of factors after the last value in C16, C18 and D10
  // Prior daily weights, Monday first.
  std::optional<std::array<double, 7>> pdweights;
  // Seasonal curve per month, January first: "", "3", "3X3", "3X5", "3X9" or "STABLE".
  std::array<std::string, 12> macurves{};
  // Prior monthly factors, one per value (percent, or series units when additive); empty for none.
  std::vector<double> prior_factors;
};

struct AdjustedSeries {
  // 0 normal, up to 4 warnings, above 4 the series was not adjusted (see log).
  int exit_level = 0;
  std::string log;
  // The tables A1 ... F1 that exist for the series, in table order, each
  // `length` values, one per period from the first value on (with
  // year_ahead one year more: C16, C18 and D10 fill it, the others are
  // missing there). Empty when the series was not adjusted.
  std::vector<std::string> names;
  std::size_t length = 0;
  std::vector<double> values;  // names.size() tables of `length` values, one after the other
  // Henderson length used for D12, and the I/C ratio that chose it.
  int henderson = 0;
  double ic_ratio = 0;

  // The values of one table ("D11"); empty when the series has no such table.
  [[nodiscard]] std::span<const double> table(std::string_view name) const;
};

// Adjusts `values` (missing values as x11sa::kMissing) by the plain X-11 flow.
AdjustedSeries adjust_series(std::span<const double> values, const SeriesOptions& options);

}  // namespace x11sa
