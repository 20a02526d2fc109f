// The vectors a chain of tables works in: every table of a variable by its
// name, the few intermediate series that are not tables, and what the
// variables of a BY group share. Kept from one variable and group to the
// next, so that running a chain allocates nothing once they have grown.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "records/table_catalogue.h"
#include "x11sa/missing.h"

namespace x11sa {

// Series of the chain that are not tables of their own.
enum class ChainSeries {
  B4Modified,         // the SI ratios of B3 with their extremes replaced (B4 lists the replacements)
  B9Modified,         // the same for B8 and B9
  IrregularWithoutTd,  // B13 or C13 without the trading-day factors: what B17 and C17 weigh
  D9All,              // every modified SI ratio (D9 lists those that differ from D8)
  Missing,            // never written: tables that are not computed
  Scratch1,
  Scratch2,
  Scratch3,
};
inline constexpr int kChainSeriesCount = static_cast<int>(ChainSeries::Scratch3) + 1;

// What every variable of a BY group shares: the prior monthly factors (A2),
// the prior trading-day factors (A4) and the type of each calendar month.
struct GroupSeries {
  int first_year = 0;    // of the group's first row
  int first_period = 0;  // 0-based
  std::vector<double> prior_factors;     // A2; 100 where none was read
  std::vector<double> prior_td_factors;  // A4; missing without PDWEIGHTS
  // From January of first_year: the calendar type of each month for the
  // trading-day regression.
  std::vector<short> month_types;
};

class ChainTables {
 public:
  // Every vector `length` long and missing.
  void reset(long length);
  [[nodiscard]] long length() const noexcept { return length_; }

  [[nodiscard]] std::span<double> operator[](Table t) noexcept {
    return tables_[static_cast<std::size_t>(t)];
  }
  [[nodiscard]] std::span<double> operator[](ChainSeries s) noexcept {
    return series_[static_cast<std::size_t>(s)];
  }
  // The month types of one regression, with its exclusion marks.
  [[nodiscard]] std::span<short> regression_types() noexcept { return types_; }

 private:
  long length_ = 0;
  std::array<std::vector<double>, kTableCount> tables_;
  std::array<std::vector<double>, kChainSeriesCount> series_;
  std::vector<short> types_;
};

}  // namespace x11sa
