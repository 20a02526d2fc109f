#include "records/step_options.h"

namespace x11sa {

bool prints_anything(const PrintOptions& print) noexcept {
  return !print.noprint && (print.tables.any() || print.printout != PrintLevel::None ||
                            print.charts != ChartLevel::None || print.arima != ReportLevel::None ||
                            print.spans != ReportLevel::None);
}

std::bitset<8> printed_span_reports(const PrintOptions& print, TradingDayRegression tdregr) {
  std::bitset<8> reports;
  if (print.noprint) return reports;
  for (std::size_t k = 0; k < 8; ++k)
    if (print.tables.test(static_cast<std::size_t>(Table::S0) + k)) reports.set(k);
  if (reports.none() && print.spans != ReportLevel::None) {
    reports.set();
    if (print.spans != ReportLevel::All) reports.reset(7);
    if (tdregr == TradingDayRegression::None) reports.reset(3);
  }
  return reports;
}

}  // namespace x11sa
