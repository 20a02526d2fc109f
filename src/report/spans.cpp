// Reports S0 (the spans), S1 (seasonal factors by span) and S7 (listings),
// and the order of all of them.
#include "report/spans.h"

#include <algorithm>
#include <array>
#include <exception>

#include "report/spans_internal.h"

namespace x11sa {

using namespace spans_report;

namespace {

// The symbols of the compared series, in series order.
constexpr std::string_view kSeriesSymbols = "%+#$@";

std::string f_text(double v, int ndec) { return is_missing(v) ? std::string() : fmt::format("{:.{}f}", v, ndec); }

std::string verdict_text(IdentifiableSeasonality v) {
  switch (v) {
    case IdentifiableSeasonality::Present: return msgtext(text_id::kSeasonalityPresent);
    case IdentifiableSeasonality::ProbablyNotPresent: return msgtext(text_id::kSeasonalityProbablyNot);
    case IdentifiableSeasonality::NotPresent: break;
  }
  return msgtext(text_id::kSeasonalityNotPresent);
}

const SpanExtent& extent(const SpansOutcome& o, int i) { return o.layout.spans[static_cast<std::size_t>(i)]; }

void print_spans(OdsManager& ods, const SpansOutcome& o, const SpanReportSettings& settings) {
  const SpanLayout& layout = o.layout;
  open_table(ods, "lum.x11.s0a1", "SPR0A_1", msgtext(text_id::kSpansNumberAndLength, settings.variable), "S 0.A.1");
  column(ods, "DESCR", " ", ColType::Char);
  column(ods, "NUM", " ", ColType::Num, 0);
  const std::string unit = msgtext(monthly(o) ? text_id::kMonths : text_id::kQuarters);
  ods.add_row({msgtext(text_id::kSpanLength, unit), static_cast<double>(layout.length)});
  ods.add_row({msgtext(text_id::kSpanCount), static_cast<double>(layout.count)});
  if (layout.count < kMaxSpans) ods.add_note(msgtext(text_id::kFewerThanFourSpans));
  ods.close_table();

  open_table(ods, "lum.x11.s0a2", "SPR0A_2", msgtext(text_id::kSpanDates), "S 0.A.2");
  column(ods, "Span", "Span", ColType::Num, 0);
  column(ods, "BEGIN", "Begin", ColType::Char);
  column(ods, "End", "End", ColType::Char);
  for (int i = 0; i < layout.count; ++i)
    ods.add_row(
        {static_cast<double>(i + 1), date_text(o, extent(o, i).first_date), date_text(o, extent(o, i).last_date)});
  ods.close_table();

  open_table(ods, "lum.x11.s0b", "SPR0B", msgtext(text_id::kSpanSeasonalityTests), "S 0.B");
  column(ods, "Type", " ", ColType::Char);
  for (int i = 0; i < layout.count; ++i)
    column(ods, fmt::format("Span{}", i + 1), msgtext(text_id::kSpan, i + 1), ColType::Char);
  std::vector<OdsCell> stable{msgtext(text_id::kStableFValue)};
  std::vector<OdsCell> moving{msgtext(text_id::kMovingFValue)};
  std::vector<OdsCell> combined{msgtext(text_id::kIdentifiableSeasonality)};
  for (const SpanEstimates& span : o.spans) {
    stable.emplace_back(f_text(span.tests.stable_f, settings.decimals));
    moving.emplace_back(f_text(span.tests.moving_f, settings.decimals));
    combined.emplace_back(verdict_text(span.tests.verdict));
  }
  ods.add_row(std::move(stable));
  ods.add_row(std::move(moving));
  ods.add_row(std::move(combined));
  ods.close_table();
}

void print_factor_means(OdsManager& ods, const SpansOutcome& o, const SpanReportSettings& settings) {
  const SeasonalFactorMeans& m = o.factor_means;
  const int count = o.layout.count;
  const bool additive = o.mode == Mode::Additive;
  const int ndec = settings.decimals;
  const std::string period_word = msgtext(monthly(o) ? text_id::kMonth : text_id::kQuarter);
  open_table(ods, "lum.x11.s1a1", "SPR1_1", msgtext(text_id::kSpanMeans, period_word), "S 1.A");
  column(ods, "Seasons", period_word, ColType::Char);
  for (int i = 0; i < count; ++i) {
    column(ods, fmt::format("Span{}", i + 1), msgtext(text_id::kSpan, i + 1), ColType::Num, ndec);
    column(ods, fmt::format("Flag{}", i + 1), " ", ColType::Char);
  }
  column(ods, "Ave", "Average", ColType::Num, ndec);
  column(ods, "Flag5", " ", ColType::Char);
  column(ods, "Mpd", additive ? "Max Diff" : "Max % Diff", ColType::Num, settings.spread_decimals);
  auto mark = [&](int j, std::size_t c) -> OdsCell {
    if (m.lowest_row[c] == j) return std::string("MIN");
    if (m.highest_row[c] == j) return std::string("MAX");
    return std::string();
  };
  for (int j = 0; j < m.rows; ++j) {
    const auto row_index = static_cast<std::size_t>(j);
    std::vector<OdsCell> row{period_name(o, m.period[row_index])};
    for (std::size_t c = 0; c <= static_cast<std::size_t>(count); ++c) {
      row.push_back(cell(m.mean[row_index][c]));
      row.push_back(mark(j, c));
    }
    row.push_back(cell(m.max_difference[row_index]));
    ods.add_row(std::move(row));
  }
  ods.add_note(msgtext(text_id::kMinMaxNote));
  ods.add_note(msgtext(additive ? text_id::kMaxDiffNote : text_id::kMaxPercentDiffNote));
  ods.close_table();

  open_table(ods, "lum.x11.s1b", "SPR1_b", msgtext(text_id::kSpanRanges), "S 1.B");
  column(ods, "Spans", "Span", ColType::Char);
  column(ods, "RMean", "Range of Means", ColType::Num, ndec);
  column(ods, "RrMean", "Range of Means in %", ColType::Num, settings.spread_decimals);
  column(ods, "MinSf", "Minimum Factor", ColType::Num, ndec);
  column(ods, "MaxSf", "Maximum Factor", ColType::Num, ndec);
  column(ods, "RangeSf", "Range of Factors", ColType::Num, ndec);
  column(ods, "RrSf", "Range of Factors in %", ColType::Num, settings.spread_decimals);
  auto ranges_row = [&](std::string label, const FactorRanges& f) {
    ods.add_row({std::move(label), cell(f.range_of_means), cell(f.range_of_means_percent), cell(f.lowest),
                 cell(f.highest), cell(f.range), cell(f.range_percent)});
  };
  for (int i = 0; i < count; ++i) ranges_row(msgtext(text_id::kSpan, i + 1), m.spans[static_cast<std::size_t>(i)]);
  ranges_row(msgtext(text_id::kAverageOfSpans), m.average);
  ods.close_table();
}

// The listing of series s: the estimates of every span, period by period.
void print_listing(OdsManager& ods, const SpansOutcome& o, const SpanReportSettings& settings, SpanSeries s) {
  static constexpr const char* kIds[kSpanSeriesCount] = {"S 7.A", "S 7.B", "S 7.C", "S 7.D", "S 7.E"};
  // The range of the estimates in the note.
  constexpr int kWidth = 7;
  const char* id = kIds[index_of(s)];
  const int count = o.layout.count;
  const int ndec = settings.decimals;
  const SeriesComparison& c = o.of(s);
  open_table(ods, "lum.x11.sp7x", "SPR7_X", msgtext(text_id::kSpanEstimates, id, series_name(o, s)), id);
  column(ods, "Date", "Date", ColType::Char);
  for (int i = 0; i < count; ++i)
    column(ods, fmt::format("Span{}", i + 1), msgtext(text_id::kSpan, i + 1), ColType::Num, ndec);
  column(ods, "SignChange", "Sign Change", ColType::Char);
  column(ods, "TurningPoint", "Turning Point", ColType::Char);
  const bool differences = o.mode == Mode::Additive || s == SpanSeries::PeriodChanges || s == SpanSeries::YearChanges;
  column(ods, "MaxPerDif", differences ? "Max Diff" : "Max % Diff", ColType::Num, spread_decimals(settings, s));
  column(ods, "LevelOfExcess", "Level of Excess", ColType::Char);
  double lo = kMissing;
  double hi = kMissing;
  double date = extent(o, 0).first_date;
  const long end = extent(o, count - 1).end;
  for (long t = extent(o, 0).first; t < end; ++t) {
    const auto k = static_cast<std::size_t>(t);
    std::vector<OdsCell> row{date_text(o, date)};
    for (int i = 0; i < count; ++i) {
      const double v = o.estimate(s, i, t);
      row.push_back(cell(v));
      if (is_missing(v)) continue;
      if (is_missing(lo) || v < lo) lo = v;
      if (is_missing(hi) || v > hi) hi = v;
    }
    const SignChange sign = c.sign_change[k];
    const TurningPoint turn = c.turning_point[k];
    row.emplace_back(std::string(sign == SignChange::Upward ? "U" : sign == SignChange::Downward ? "D" : ""));
    row.emplace_back(std::string(turn == TurningPoint::Peak ? "U-D" : turn == TurningPoint::Trough ? "D-U" : ""));
    row.push_back(cell(c.spread[k]));
    row.emplace_back(c.excess_level[k] > 0 ? excess_code(s, c.excess_level[k]) : std::string());
    ods.add_row(std::move(row));
    date = shifted_interval_start(interval(o), date, 1);
  }
  if (!is_missing(lo))
    ods.add_note(msgtext(text_id::kSpanEstimateRange,
                         fmt::format("{:{}.{}f}   to   {:{}.{}f}", lo, kWidth, ndec, hi, kWidth, ndec)));
  if (s != SpanSeries::AdjustedSeries) ods.add_note(msgtext(text_id::kSignChangeNote));
  if (count >= 3) ods.add_note(msgtext(text_id::kTurningPointNote));
  ods.add_note(msgtext(text_id::kExcessLevelNote, kSeriesSymbols[index_of(s)]));
  ods.close_table();
}

// The output group of the sliding-spans reports.
class SpansGroup {
 public:
  explicit SpansGroup(OdsManager& ods) : ods_(ods) { ods_.open_group("SlidingSpans", msgtext(text_id::kSlidingSpans)); }
  ~SpansGroup() noexcept(false) {
    if (std::uncaught_exceptions() == 0) ods_.close_group();
  }
  SpansGroup(const SpansGroup&) = delete;
  SpansGroup& operator=(const SpansGroup&) = delete;

 private:
  OdsManager& ods_;
};

}  // namespace

void print_sliding_spans(OdsManager& ods, const SpansOutcome& outcome, const SpanReportSettings& settings) {
  const SpanReportSet& selected = settings.reports;
  if (selected.empty() || !ods.active() || outcome.layout.status != SpanLayoutStatus::Done) return;
  SpansGroup group(ods);
  if (selected.contains(SpanReport::S0)) print_spans(ods, outcome, settings);
  if (selected.contains(SpanReport::S1)) print_factor_means(ods, outcome, settings);
  static constexpr std::array<std::pair<SpanReport, SpanSeries>, kSpanSeriesCount> kSeriesReports = {{
      {SpanReport::S2, SpanSeries::SeasonalFactors},
      {SpanReport::S3, SpanSeries::TradingDayFactors},
      {SpanReport::S4, SpanSeries::AdjustedSeries},
      {SpanReport::S5, SpanSeries::PeriodChanges},
      {SpanReport::S6, SpanSeries::YearChanges},
  }};
  for (const auto& [report, series] : kSeriesReports)
    if (selected.contains(report) && outcome.of(series).takes_part)
      print_series_reports(ods, outcome, settings, series);
  if (selected.contains(SpanReport::S7))
    for (SpanSeries s : kSpanSeriesInOrder)
      if (outcome.of(s).takes_part) print_listing(ods, outcome, settings, s);
}

namespace spans_report {

std::string excess_range_text(double c, int level, bool percent) {
  const int w = c + 3.0 >= 10.0 ? 4 : 3;
  const char* pc = percent ? "%" : "";
  if (level >= 4) return fmt::format(">={:{}.1f}{}", c + 3.0, w, pc);
  return fmt::format("[{:{}.1f}{}-{:{}.1f}{})", c + level - 1, w, pc, c + level, w, pc);
}

std::string excess_code(SpanSeries s, int level) {
  return std::string(static_cast<std::size_t>(std::clamp(level, 0, 4)), kSeriesSymbols[index_of(s)]);
}

}  // namespace spans_report

}  // namespace x11sa
