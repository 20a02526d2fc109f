#include "report/charts.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/host.h"
#include "numeric/axis_scale.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

constexpr int kG1Bit = 63;
constexpr const char kSymbols[] = "X0+";

struct SeriesRef {
  const char* name;   // column name
  std::string label;  // legend
  const double* v;
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
void emit_chart(X11COM* Xp, int g, int title, std::initializer_list<int> headings,
                const std::vector<SeriesRef>& series, bool panels) {
  OdsManager& ods = Xp->host->ods();
  const X11FLOW& f = Xp->x11flow;
  const bool monthly = Xp->op.month_f != 0;
  const int p = Xp->nper;
  ods_check(ods.open_table(fmt::format("lum.x11.chart.g{}", g), fmt::format("ChartG{}", g), msgtext(title)));
  std::string heading;
  for (int m : headings) heading += fmt::format("{}{}", heading.empty() ? "" : "\n", msgtext(m));
  ods_check(ods.set_entry("headings", heading));
  ods_check(ods.set_entry("symbols", std::string(kSymbols, series.size())));
  ods_check(ods.add_column(OdsColumn{"Label", panels ? "Year" : "Date", panels ? ColType::Num : ColType::Char, 0}));
  if (panels) ods_check(ods.add_column(OdsColumn{"Panel", "Period", ColType::Char, -1}));
  for (const auto& s : series) ods_check(ods.add_column(OdsColumn{s.name, s.label, ColType::Num, -1}));
  const long rb = f.real_begin;
  const long n = f.nobs;
  // Each row holds its label cells, then one cell per series.
  auto add_row = [&](std::vector<OdsCell>&& row, long i) {
    for (const auto& s : series) row.push_back(num(s.v[rb + i]));
    ods_check(ods.add_row(std::move(row)));
  };
  if (!panels) {
    const auto first = zjuldat(f.b_date);
    int year = first ? first->year : 0;
    int period = first ? (monthly ? first->month - 1 : (first->month - 1) / 3) : 0;
    for (long i = 0; i < n; ++i) {
      std::vector<OdsCell> row = ods.new_row();
      row.emplace_back(first ? period_label(monthly, year, period) : std::string("."));
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
      // Period k of the year is at offsets where (firstper + i) mod p == k.
      const long start = ((k - f.firstper) % p + p) % p;
      for (long i = start; i < n; i += p) {
        std::vector<OdsCell> row = ods.new_row();
        row.emplace_back(static_cast<double>(f.firstyr + (f.firstper + i) / p));
        row.emplace_back(std::string(monthly ? kMonths[k] : kQuarters[k]));
        add_row(std::move(row), i);
      }
    }
  }
  ods_check(ods.close_table());
}

}  // namespace

void x11chrt(X11COM* Xp, const double* d8, const double* d9, const double* d10, const double* d11,
             const double* d12, const double* d13, const double* work) {
  if (Xp->op.noprint_f != 0) return;
  bool wanted[5] = {false, false, false, false, false};
  bool any = false;
  for (int g = 1; g <= 4; ++g) {
    const bool bit = table_bit(Xp, kG1Bit + g - 1);
    wanted[g] = bit || (g <= 2 ? Xp->charts >= 1 : Xp->charts > 3);
    any = any || wanted[g];
  }
  if (!any) return;
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_group("Charts", msgtext(77)));
  const bool add = Xp->op.add_f != 0;
  if (wanted[1])
    emit_chart(Xp, 1, 312, {370, 371, 372, 381},
               {{"D11", "D11 seasonally adjusted (X)", d11}, {"D12", "D12 trend-cycle (0)", d12}}, false);
  const std::vector<SeriesRef> si = {{"D8", add ? "D8 SI differences (X)" : "D8 SI ratios (X)", d8},
                                     {"D9", "D9 modified SI (0)", d9},
                                     {"D10", "D10 seasonal factors (+)", d10}};
  if (wanted[2]) emit_chart(Xp, 2, 313, {374, 375, 376, 381}, si, true);
  if (wanted[3]) emit_chart(Xp, 3, 314, {374, 375, 376, 381}, si, false);
  if (wanted[4])
    emit_chart(Xp, 4, 315, {378, 379, 380, 381},
               {{"D13", "D13 irregular (X)", d13}, {"E3", "E3 modified irregular (0)", work}}, false);
  ods_check(ods.close_group());
}

}  // namespace x11sa
