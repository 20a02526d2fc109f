// Helpers shared by the sliding-spans reports.
#pragma once

#include <string>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/message_ids.h"
#include "host/messages.h"
#include "host/ods.h"
#include "records/spans_outcome.h"
#include "report/spans.h"

namespace x11sa::spans_report {

inline OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

inline bool monthly(const SpansOutcome& o) { return o.layout.series.frequency == Frequency::Monthly; }

// "Jan" ... "Dec", or "Q1" ... "Q4".
inline std::string period_name(const SpansOutcome& o, int p) {
  return monthly(o) ? msgtext(text_id::month_abbreviation(p)) : fmt::format("Q{}", p + 1);
}

// "JAN1990" or "1990Q1".
inline std::string date_text(const SpansOutcome& o, double date) {
  return monthly(o) ? format_monyy(date, 7) : format_yyq(date, 6);
}

inline const char* interval(const SpansOutcome& o) { return monthly(o) ? "MONTH" : "QTR"; }

// The name of compared series s, for titles.
inline std::string series_name(const SpansOutcome& o, SpanSeries s) {
  static constexpr int kNames[kSpanSeriesCount] = {text_id::kSpanSeasonalFactors, text_id::kSpanTradingDayFactors,
                                                     text_id::kSpanAdjustedSeries, text_id::kMonthToMonthChanges,
                                                     text_id::kYearToYearChanges};
  if (s == SpanSeries::PeriodChanges && !monthly(o)) return msgtext(text_id::kQuarterToQuarterChanges);
  return msgtext(kNames[index_of(s)]);
}

inline int spread_decimals(const SpanReportSettings& settings, SpanSeries s) {
  return s == SpanSeries::TradingDayFactors ? settings.td_spread_decimals : settings.spread_decimals;
}

// Opens a report table; `id` ("S 2.A.1") identifies it among the tables of
// the same template.
inline void open_table(OdsManager& ods, const char* path, const char* name, const std::string& title,
                       const std::string& id) {
  ods.open_table(path, name, title);
  ods.set_entry("tab_title", id);
}

inline void column(OdsManager& ods, std::string name, std::string label, ColType type, int decimals = -1) {
  ods.add_column(OdsColumn{std::move(name), std::move(label), type, decimals});
}

// The range of excess level `level` (1 to 4) over cutoff c: "[c%-c+1%)" ...
// ">=c+3%"; without the percent signs when `percent` is false.
[[nodiscard]] std::string excess_range_text(double c, int level, bool percent);
// The code of excess level `level` of series s in the listings: the
// series' symbol `level` times.
[[nodiscard]] std::string excess_code(SpanSeries s, int level);

// The reports of one compared series (S2 to S6).
void print_series_reports(OdsManager& ods, const SpansOutcome& o, const SpanReportSettings& settings, SpanSeries s);

}  // namespace x11sa::spans_report
