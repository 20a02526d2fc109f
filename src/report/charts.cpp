#include "report/charts.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/message_ids.h"
#include "host/messages.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

constexpr const char kSymbols[] = "X0+";

struct SeriesRef {
  const char* name;   // column name
  std::string label;  // legend
  std::span<const double> values;
  bool line_printer = true;  // drawn in the listing's chart too
};

OdsCell num(double v) { return is_missing(v) || !std::isfinite(v) ? OdsCell{} : OdsCell{v}; }

// The date label of a period: "JAN90" (as MONYY5.) or "1990:1" (as YYQC.),
// written directly as the periods advance one by one.
std::string period_label(bool monthly, int year, int period) {
  static constexpr const char kMonths[] = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
  if (monthly) {
    const int yy = year % 100;
    const char text[5] = {kMonths[3 * period], kMonths[3 * period + 1], kMonths[3 * period + 2],
                          static_cast<char>('0' + yy / 10), static_cast<char>('0' + yy % 10)};
    return std::string(text, 5);
  }
  std::string text;
  append_fixed(text, year, 0);
  text += ':';
  text += static_cast<char>('1' + period);
  return text;
}

// One chart object: a row per period in time order, or per year within
// each period of the year (panels).
void emit_chart(OdsManager& ods, const SeriesCalendar& calendar, int g, int title, std::initializer_list<int> headings,
                const std::vector<SeriesRef>& series, bool panels) {
  const bool monthly = calendar.monthly();
  const int p = calendar.periods();
  ods.open_table(fmt::format("lum.x11.chart.g{}", g), fmt::format("ChartG{}", g), msgtext(title));
  std::string heading;
  for (int m : headings) heading += fmt::format("{}{}", heading.empty() ? "" : "\n", msgtext(m));
  ods.set_entry("headings", heading);
  const auto printed = std::count_if(series.begin(), series.end(), [](const SeriesRef& s) { return s.line_printer; });
  ods.set_entry("symbols", std::string(kSymbols, static_cast<std::size_t>(printed)));
  ods.add_column(OdsColumn{"Label", panels ? "Year" : "Date", panels ? ColType::Num : ColType::Char, 0});
  if (panels) ods.add_column(OdsColumn{"Panel", "Period", ColType::Char, -1});
  for (const auto& s : series) ods.add_column(OdsColumn{s.name, s.label, ColType::Num, -1});
  const long n = calendar.count;
  // Each row holds its label cells, then one cell per series.
  auto add_row = [&](std::vector<OdsCell>&& row, long i) {
    for (const auto& s : series)
      row.push_back(static_cast<std::size_t>(i) < s.values.size() ? num(s.values[static_cast<std::size_t>(i)]) : OdsCell{});
    ods.add_row(std::move(row));
  };
  if (!panels) {
    int year = calendar.first_year;
    int period = calendar.first_period;
    for (long i = 0; i < n; ++i) {
      std::vector<OdsCell> row = ods.new_row();
      row.emplace_back(period_label(monthly, year, period));
      add_row(std::move(row), i);
      if (++period == p) {
        period = 0;
        ++year;
      }
    }
  } else {
    static constexpr const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                                "July",    "August",   "September", "October", "November", "December"};
    static constexpr const char* kQuarters[4] = {"First quarter", "Second quarter", "Third quarter", "Fourth quarter"};
    for (int k = 0; k < p; ++k) {
      // Period k of the year is at offsets where (first_period + i) mod p == k.
      const long start = ((k - calendar.first_period) % p + p) % p;
      for (long i = start; i < n; i += p) {
        std::vector<OdsCell> row = ods.new_row();
        row.emplace_back(static_cast<double>(calendar.year_of(i)));
        row.emplace_back(std::string(monthly ? kMonths[k] : kQuarters[k]));
        add_row(std::move(row), i);
      }
    }
  }
  ods.close_table();
}

}  // namespace

void print_charts(OdsManager& ods, const ChartSeries& series, const SeriesCalendar& calendar, Mode mode,
                  const PrintOptions& print) {
  if (print.noprint) return;
  bool wanted[5] = {false, false, false, false, false};
  bool any = false;
  for (int g = 1; g <= 4; ++g) {
    const bool named = print.tables.test(static_cast<std::size_t>(Table::G1) + static_cast<std::size_t>(g - 1));
    wanted[g] = named || (g <= 2 ? print.charts != ChartLevel::None : print.charts == ChartLevel::Full);
    any = any || wanted[g];
  }
  if (!any) return;
  using namespace text_id;
  ods.open_group("Charts", msgtext(kCharts));
  const bool add = mode == Mode::Additive;
  if (wanted[1])
    emit_chart(ods, calendar, 1, kChartAdjustedAndTrend,
               {kLegendAdjusted, kLegendTrend, kLegendAdjustedSpare, kLegendOverlap},
               {{"D11", "D11 seasonally adjusted (X)", series.d11},
                {"D12", "D12 trend-cycle (0)", series.d12},
                {"B1", series.prior_adjusted ? "B1 prior-adjusted series" : "B1 original series", series.b1, false}},
               false);
  const std::vector<SeriesRef> si = {{"D8", add ? "D8 SI differences (X)" : "D8 SI ratios (X)", series.d8},
                                     {"D9", "D9 modified SI (0)", series.d9},
                                     {"D10", "D10 seasonal factors (+)", series.d10}};
  if (wanted[2])
    emit_chart(ods, calendar, 2, kChartSiByPeriod,
               {kLegendSiRatios, kLegendModifiedSi, kLegendSeasonalFactors, kLegendOverlap}, si, true);
  if (wanted[3])
    emit_chart(ods, calendar, 3, kChartSiInTimeOrder,
               {kLegendSiRatios, kLegendModifiedSi, kLegendSeasonalFactors, kLegendOverlap}, si, false);
  if (wanted[4])
    emit_chart(ods, calendar, 4, kChartIrregular,
               {kLegendIrregular, kLegendModifiedIrregular, kLegendIrregularSpare, kLegendOverlap},
               {{"D13", "D13 irregular (X)", series.d13}, {"E3", "E3 modified irregular (0)", series.e3}}, false);
  ods.close_group();
}

}  // namespace x11sa
