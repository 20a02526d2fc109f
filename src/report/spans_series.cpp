// Reports S2 to S6: one compared series each.
#include <algorithm>
#include <cmath>
#include <vector>

#include "report/spans.h"
#include "report/spans_internal.h"
#include "spans/spans.h"

namespace x11sa {

using namespace spans_report;

namespace {

double percent(long part, long whole) {
  return whole > 0 ? static_cast<double>(part) * 100.0 / static_cast<double>(whole) : kMissing;
}

double average(double sum, long n) { return n > 0 ? sum / static_cast<double>(n) : kMissing; }

std::string table_id(int s, const char* part) { return fmt::format("S {}.{}", s + 2, part); }

// Breakdown by period of the year (x11spu7) and by year (x11spu8).
void x11spu7(X11COM* Xp, int s, const std::string& name) {
  const X11SSPBD& bd = Xp->x11ssp.bd;
  const std::string id = table_id(s, "A.1");
  const std::string word = msgtext(monthly(Xp) ? 619 : 621);
  OdsManager& ods = open_table(Xp, "lum.x11.spxa1", "SPRXA", msgtext(622, id, word, name), id);
  column(ods, monthly(Xp) ? "Month" : "Quarter", word, ColType::Char);
  column(ods, "Period", "Period", ColType::Num, 0);
  column(ods, "Exceed", "Periods Exceeding", ColType::Num, 0);
  column(ods, "TotalCount", "Periods Tested", ColType::Num, 0);
  column(ods, "Ampd", "Average Spread", ColType::Num, spread_decimals(Xp, s));
  for (int p = 0; p < Xp->nper; ++p)
    ods_check(ods.add_row({period_name(Xp, p), static_cast<double>(p + 1), static_cast<double>(bd.MonthCount[s][p]),
                           static_cast<double>(bd.MonthTotal[s][p]), cell(average(bd.MonthAmpd[s][p], bd.MonthTotal[s][p]))}));
  ods_check(ods.close_table());
}

void x11spu8(X11COM* Xp, int s, const std::string& name) {
  const X11SSPBD& bd = Xp->x11ssp.bd;
  const std::string id = table_id(s, "A.2");
  OdsManager& ods = open_table(Xp, "lum.x11.spxa2", "SPRXA_2", msgtext(623, id, name), id);
  column(ods, "Year", msgtext(200), ColType::Num, 0);
  column(ods, "Exceed", "Periods Exceeding", ColType::Num, 0);
  column(ods, "TotalCount", "Periods Tested", ColType::Num, 0);
  column(ods, "Ampd", "Average Spread", ColType::Num, spread_decimals(Xp, s));
  for (int y = 0; y < bd.NumYears[s] && y < static_cast<int>(bd.YearTotal[s].size()); ++y)
    ods_check(ods.add_row({static_cast<double>(bd.FirstYear[s] + y), static_cast<double>(bd.YearCount[s][y]),
                           static_cast<double>(bd.YearTotal[s][y]), cell(average(bd.YearAmpd[s][y], bd.YearTotal[s][y]))}));
  ods_check(ods.close_table());
}

// Summary: exceedances, sign changes and turning points, and how many of
// them coincide with an exceedance.
void x11spu9(X11COM* Xp, int s, const std::string& name) {
  const X11SSP& sp = Xp->x11ssp;
  const std::string id = table_id(s, "A.3");
  OdsManager& ods = open_table(Xp, "lum.x11.spxa3", "S_X_A_3", msgtext(646, id, name), id);
  column(ods, "Type", " ", ColType::Char);
  column(ods, "Nfound", "Number Found", ColType::Num, 0);
  column(ods, "TotalTested", "Number Tested", ColType::Num, 0);
  column(ods, "Percent", "Percent", ColType::Num, 1);
  auto row = [&](const std::string& label, long found, long tested) {
    ods_check(ods.add_row({label, static_cast<double>(found), static_cast<double>(tested), cell(percent(found, tested))}));
  };
  const std::string cutoff = fmt::format("{:.{}f}", span_cutoff(Xp, s), spread_decimals(Xp, s));
  row(msgtext(630, cutoff), sp.TotalExceed[s], sp.bd.Tested[s]);
  // The adjusted series itself has no sign test.
  if (s != 2) {
    row(msgtext(631), sp.SignChangeCount[s], sp.bd.Tested[s]);
    row(msgtext(632), sp.LevelAndExceed[s], sp.SignChangeCount[s]);
  }
  row(msgtext(633), sp.TurningPointCount[s], sp.TpTested[s]);
  row(msgtext(634), sp.TurnAndExceed[s], sp.TurningPointCount[s]);
  ods_check(ods.close_table());
}

// Exceedances by range class.
void x11spua(X11COM* Xp, int s, const std::string& name) {
  const X11SSP& sp = Xp->x11ssp;
  const std::string id = table_id(s, "B");
  OdsManager& ods = open_table(Xp, "lum.x11.spxb", "SPRXB_2", msgtext(635, id, name), id);
  column(ods, "Symbol", "Code", ColType::Char);
  column(ods, "Range", "Range", ColType::Char);
  column(ods, "NFound", "Number Found", ColType::Num, 0);
  const double c = span_cutoff(Xp, s);
  for (int cls = 1; cls <= 4; ++cls)
    ods_check(ods.add_row({span_range_code(s, cls), span_range_text(c, cls, Xp->op.add_f == 0),
                           static_cast<double>(sp.RangeCount[s][cls - 1])}));
  ods_check(ods.close_table());
}

// The distribution of the spreads over the comparison range.
void x11spu5(X11COM* Xp, int s, const std::string& name) {
  const X11SSP& sp = Xp->x11ssp;
  const SpanRange r = span_range(Xp, s);
  const std::vector<double>& spread = span_spreads(sp, s);
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(std::max(r.count, 0L)));
  for (long t = r.first; t < r.first + r.count; ++t)
    if (!is_missing(spread[t])) values.push_back(spread[t]);
  if (values.empty()) return;
  std::sort(values.begin(), values.end());
  const SpreadDistribution d = x11spu1(values);
  const std::string id = table_id(s, "C");
  OdsManager& ods = open_table(Xp, "lum.x11.spxc", "SPRXC", msgtext(636, id, name), id);
  const int nd = spread_decimals(Xp, s);
  column(ods, "LBreakPt", " ", ColType::Char);
  column(ods, "Percent", "Percentile", ColType::Num, 0);
  column(ods, "PercentVal", "Spread", ColType::Num, nd);
  column(ods, "RbreakP", " ", ColType::Char);
  const double c = span_cutoff(Xp, s);
  const std::pair<double, double> rows[] = {{0, d.min},  {25, d.lower_quartile}, {50, d.median},
                                           {65, d.p65}, {75, d.upper_quartile}, {85, d.p85},
                                           {100, d.max}};
  bool marked = false;
  for (const auto& [pct, v] : rows) {
    // The arrows point at the first point of the distribution above the cutoff.
    const bool mark = !marked && v > c;
    marked = marked || mark;
    ods_check(ods.add_row({std::string(mark ? "->" : ""), pct, v, std::string(mark ? "<-" : "")}));
  }
  if (marked) ods_check(ods.add_note(msgtext(644, fmt::format("{:.{}f}", c, nd))));
  ods_check(ods.close_table());
}

void x11spu6(X11COM* Xp, int s) {
  const std::string name = series_name(Xp, s);
  x11spu7(Xp, s, name);
  x11spu8(Xp, s, name);
  x11spu9(Xp, s, name);
  x11spua(Xp, s, name);
  x11spu5(Xp, s, name);
}

}  // namespace

SpreadDistribution x11spu1(std::span<const double> sorted) {
  SpreadDistribution d;
  const long n = static_cast<long>(sorted.size());
  d.n = n;
  if (n == 0) return d;
  auto at = [&](long rank) { return sorted[static_cast<std::size_t>(rank - 1)]; };
  d.min = at(1);
  d.max = at(n);
  d.median = n % 2 == 1 ? at((n + 1) / 2) : (at(n / 2) + at(n / 2 + 1)) / 2.0;
  const long h = (n + 1) / 2;
  if (h % 2 == 1) {
    const long k = (h + 1) / 2;
    d.lower_quartile = at(k);
    d.upper_quartile = at(n - k + 1);
  } else {
    const long k = h / 2;
    d.lower_quartile = (at(k) + at(k + 1)) / 2.0;
    d.upper_quartile = (at(n - k) + at(n - k + 1)) / 2.0;
  }
  d.p65 = at(n - static_cast<long>(std::floor(0.35 * static_cast<double>(n) + 0.5)));
  d.p85 = at(n - static_cast<long>(std::floor(0.15 * static_cast<double>(n) + 0.5)));
  return d;
}

std::string span_range_text(double c, int cls, bool percent) {
  const int w = c + 3.0 >= 10.0 ? 4 : 3;
  const char* pc = percent ? "%" : "";
  if (cls >= 4) return fmt::format(">={:{}.1f}{}", c + 3.0, w, pc);
  return fmt::format("[{:{}.1f}{}-{:{}.1f}{})", c + cls - 1, w, pc, c + cls, w, pc);
}

std::string span_range_code(int s, int cls) {
  return std::string(static_cast<std::size_t>(std::clamp(cls, 0, 4)), kSpanSymbols[static_cast<std::size_t>(s)]);
}

void x11spr2(X11COM* Xp) { x11spu6(Xp, 0); }
void x11spr3(X11COM* Xp) { x11spu6(Xp, 1); }
void x11spr4(X11COM* Xp) { x11spu6(Xp, 2); }
void x11spr5(X11COM* Xp) { x11spu6(Xp, 3); }
void x11spr6(X11COM* Xp) { x11spu6(Xp, 4); }

}  // namespace x11sa
