// The sliding-spans reports S0 to S7: the spans and their seasonality
// tests, the seasonal factors by span, one report per compared series, and
// the listings of the span estimates.
#pragma once

#include <bitset>
#include <cstddef>
#include <string>

#include "host/ods.h"
#include "records/spans_outcome.h"

namespace x11sa {

enum class SpanReport { S0, S1, S2, S3, S4, S5, S6, S7 };

// The reports selected for printing.
class SpanReportSet {
 public:
  SpanReportSet() = default;
  // From the selection by report number (bit k: Sk).
  explicit SpanReportSet(std::bitset<8> selected) : bits_(selected) {}
  [[nodiscard]] bool contains(SpanReport r) const { return bits_.test(static_cast<std::size_t>(r)); }
  [[nodiscard]] bool empty() const { return bits_.none(); }

 private:
  std::bitset<8> bits_;
};

struct SpanReportSettings {
  SpanReportSet reports;
  std::string variable;        // named in the title of S0
  int decimals = 2;            // of the estimates and the F values
  int spread_decimals = 2;     // of the spreads, but those of
  int td_spread_decimals = 2;  // the trading-day factors
};

// The selected reports of `outcome`, in order, in their own output group;
// S3 and S 7.B only where the trading-day factors take part. Nothing without
// a selected report or an output destination.
void print_sliding_spans(OdsManager& ods, const SpansOutcome& outcome, const SpanReportSettings& settings);

}  // namespace x11sa
