// Reports S2 to S6: one compared series each.
#include <algorithm>
#include <vector>

#include "report/spans_internal.h"

namespace x11sa::spans_report {

namespace {

double percent(long part, long whole) {
  return whole > 0 ? static_cast<double>(part) * 100.0 / static_cast<double>(whole) : kMissing;
}

double average(const SpreadBreakdown& b) {
  return b.tested > 0 ? b.sum / static_cast<double>(b.tested) : kMissing;
}

// The tables of one series.
struct SeriesReport {
  OdsManager& ods;
  const SpansOutcome& o;
  const SpanReportSettings& settings;
  SpanSeries s;
  const SeriesComparison& c;
  std::string name;

  [[nodiscard]] std::string id(const char* part) const { return fmt::format("S {}.{}", index_of(s) + 2, part); }
  [[nodiscard]] int decimals() const { return spread_decimals(settings, s); }

  void by_period() const {
    const std::string table = id("A.1");
    const std::string word = msgtext(monthly(o) ? text_id::kMonth : text_id::kQuarter);
    open_table(ods, "lum.x11.spxa1", "SPRXA", msgtext(text_id::kSpreadsByPeriod, table, word, name), table);
    column(ods, monthly(o) ? "Month" : "Quarter", word, ColType::Char);
    column(ods, "Period", "Period", ColType::Num, 0);
    column(ods, "Exceed", "Periods Exceeding", ColType::Num, 0);
    column(ods, "TotalCount", "Periods Tested", ColType::Num, 0);
    column(ods, "Ampd", "Average Spread", ColType::Num, decimals());
    for (int p = 0; p < o.layout.periods(); ++p) {
      const SpreadBreakdown& b = c.by_period[static_cast<std::size_t>(p)];
      ods.add_row({period_name(o, p), static_cast<double>(p + 1), static_cast<double>(b.exceeding),
                   static_cast<double>(b.tested), cell(average(b))});
    }
    ods.close_table();
  }

  void by_year() const {
    const std::string table = id("A.2");
    open_table(ods, "lum.x11.spxa2", "SPRXA_2", msgtext(text_id::kSpreadsByYear, table, name), table);
    column(ods, "Year", msgtext(text_id::kYear), ColType::Num, 0);
    column(ods, "Exceed", "Periods Exceeding", ColType::Num, 0);
    column(ods, "TotalCount", "Periods Tested", ColType::Num, 0);
    column(ods, "Ampd", "Average Spread", ColType::Num, decimals());
    for (std::size_t y = 0; y < c.by_year.size(); ++y) {
      const SpreadBreakdown& b = c.by_year[y];
      ods.add_row({static_cast<double>(c.first_year + static_cast<int>(y)), static_cast<double>(b.exceeding),
                   static_cast<double>(b.tested), cell(average(b))});
    }
    ods.close_table();
  }

  // Exceedances, sign changes and turning points, and how many of them
  // coincide with an exceedance.
  void summary() const {
    const std::string table = id("A.3");
    open_table(ods, "lum.x11.spxa3", "S_X_A_3", msgtext(text_id::kSpanComparisons, table, name), table);
    column(ods, "Type", " ", ColType::Char);
    column(ods, "Nfound", "Number Found", ColType::Num, 0);
    column(ods, "TotalTested", "Number Tested", ColType::Num, 0);
    column(ods, "Percent", "Percent", ColType::Num, 1);
    auto row = [&](const std::string& label, long found, long tested) {
      ods.add_row({label, static_cast<double>(found), static_cast<double>(tested), cell(percent(found, tested))});
    };
    row(msgtext(text_id::kSpreadAboveCutoff, fmt::format("{:.{}f}", c.cutoff, decimals())), c.exceeding, c.tested);
    // The adjusted series itself has no sign test.
    if (s != SpanSeries::AdjustedSeries) {
      row(msgtext(text_id::kSignChanges), c.sign_changes, c.tested);
      row(msgtext(text_id::kSignChangesAboveCutoff), c.sign_changes_exceeding, c.sign_changes);
    }
    row(msgtext(text_id::kTurningPoints), c.turning_points, c.turning_points_tested);
    row(msgtext(text_id::kTurningPointsAboveCutoff), c.turning_points_exceeding, c.turning_points);
    ods.close_table();
  }

  void by_excess_level() const {
    const std::string table = id("B");
    open_table(ods, "lum.x11.spxb", "SPRXB_2", msgtext(text_id::kSpreadRanges, table, name), table);
    column(ods, "Symbol", "Code", ColType::Char);
    column(ods, "Range", "Range", ColType::Char);
    column(ods, "NFound", "Number Found", ColType::Num, 0);
    for (int level = 1; level <= 4; ++level)
      ods.add_row({excess_code(s, level), excess_range_text(c.cutoff, level, o.mode != Mode::Additive),
                   static_cast<double>(c.by_excess_level[static_cast<std::size_t>(level - 1)])});
    ods.close_table();
  }

  void distribution() const {
    const SpreadDistribution& d = c.distribution;
    if (d.n == 0) return;
    const std::string table = id("C");
    open_table(ods, "lum.x11.spxc", "SPRXC", msgtext(text_id::kSpreadDistribution, table, name), table);
    column(ods, "LBreakPt", " ", ColType::Char);
    column(ods, "Percent", "Percentile", ColType::Num, 0);
    column(ods, "PercentVal", "Spread", ColType::Num, decimals());
    column(ods, "RbreakP", " ", ColType::Char);
    const std::pair<double, double> rows[] = {{0, d.min},  {25, d.lower_quartile}, {50, d.median},
                                             {65, d.p65}, {75, d.upper_quartile}, {85, d.p85},
                                             {100, d.max}};
    bool marked = false;
    for (const auto& [pct, v] : rows) {
      // The arrows point at the first point of the distribution above the cutoff.
      const bool mark = !marked && v > c.cutoff;
      marked = marked || mark;
      ods.add_row({std::string(mark ? "->" : ""), pct, v, std::string(mark ? "<-" : "")});
    }
    if (marked) ods.add_note(msgtext(text_id::kDistributionArrows, fmt::format("{:.{}f}", c.cutoff, decimals())));
    ods.close_table();
  }
};

}  // namespace

void print_series_reports(OdsManager& ods, const SpansOutcome& o, const SpanReportSettings& settings, SpanSeries s) {
  const SeriesReport report{ods, o, settings, s, o.of(s), series_name(o, s)};
  report.by_period();
  report.by_year();
  report.summary();
  report.by_excess_level();
  report.distribution();
}

}  // namespace x11sa::spans_report
