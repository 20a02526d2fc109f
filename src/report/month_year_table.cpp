#include "report/month_year_table.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include <fmt/format.h>

#include "host/message_ids.h"
#include "host/messages.h"
#include "records/table_catalogue.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

// What a row's Stat cell and the summary row hold.
enum class Statistic { None, Total, Mean, Deviation };

// The sums kept while the rows are filled: none, totals and counts, or
// totals, counts and sums of squares.
enum class Sums { None, Totals, TotalsAndSquares };

struct LayoutRules {
  Statistic row;      // the Stat column
  Statistic summary;  // the summary row; None: no summary row and no footnote
  Sums sums;
  int stat_label;     // message of the Stat heading; 0: no heading (plain)
};

constexpr LayoutRules rules_of(TableLayout layout) {
  switch (layout) {
    case TableLayout::Series:
      return {Statistic::Total, Statistic::Mean, Sums::TotalsAndSquares, text_id::kStatTotal};
    case TableLayout::Ratio:
      return {Statistic::Mean, Statistic::Mean, Sums::Totals, text_id::kStatMean};
    case TableLayout::Irregular:
      return {Statistic::Deviation, Statistic::Deviation, Sums::TotalsAndSquares, text_id::kStatDeviation};
    case TableLayout::Weights:
      return {Statistic::None, Statistic::None, Sums::None, text_id::kStatWeightsTotal};
    case TableLayout::Plain:
      break;
  }
  return {Statistic::None, Statistic::None, Sums::None, 0};
}

double fuzzed(double v) { return std::fabs(v) <= kStatisticFuzz ? 0.0 : v; }

// Root mean square deviation from `base` of values with these sums.
double rms_from_base(double sumsq, double sum, double count, double base) {
  const double mean = sum / count;
  const double v = sumsq / count + base * base - 2.0 * base * mean;
  return v > 0.0 ? std::sqrt(v) : 0.0;
}

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

// Nearest integer of a non-negative finite value, ties to even, as
// std::nearbyint in the default rounding mode, without a library call:
// adding 2^52 leaves no fraction bits below 2^52, and above it every
// double is an integer.
double round_half_even(double a) {
  constexpr double kTwo52 = 4503599627370496.0;
  return a < kTwo52 ? (a + kTwo52) - kTwo52 : a;
}

struct PeriodColumn {
  std::string name;   // "JAN", "Q1"
  std::string label;  // "Jan", "Q1"
};

// The period columns of a monthly or quarterly table: the catalogue's month
// names do not change during a run, so they are looked up once.
const std::vector<PeriodColumn>& period_columns(bool monthly) {
  static const std::vector<PeriodColumn> kColumns[2] = {
      [] {
        std::vector<PeriodColumn> q;
        for (int j = 0; j < 4; ++j) q.push_back({fmt::format("Q{}", j + 1), fmt::format("Q{}", j + 1)});
        return q;
      }(),
      [] {
        std::vector<PeriodColumn> m;
        for (int j = 0; j < 12; ++j) {
          PeriodColumn c{msgtext(text_id::month_abbreviation(j)), msgtext(text_id::month_abbreviation(j))};
          for (char& ch : c.name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
          m.push_back(std::move(c));
        }
        return m;
      }()};
  return kColumns[monthly ? 1 : 0];
}

// Sums over the whole table and per period column.
struct TableSums {
  double count = 0;
  double total = 0;
  double squares = 0;
  double column_count[12] = {};
  double column_total[12] = {};
  double column_squares[12] = {};
};

// Puts the values of one year, the first in period `first`, into `cells`
// (missing elsewhere), adds them to `sums` as the layout asks, and returns
// the row's statistic. The hot loop of the printing: every printed value
// passes here.
double fill_year_row(const double* x, long n, int first, const LayoutRules& rules, double base, TableSums& sums,
                     double cells[12]) {
  for (int j = 0; j < 12; ++j) cells[j] = kMissing;
  double count = 0;
  double sum = 0;
  double sumsq = 0;
  const bool summed = rules.sums != Sums::None;
  const bool squares = rules.sums == Sums::TotalsAndSquares;
  // The table sums run in locals: `x` may alias them as far as the compiler
  // knows, which would send every step through memory.
  double tn = sums.count;
  double tt = sums.total;
  double ts = sums.squares;
  for (int j = first; n > 0; ++j, --n, ++x) {
    const double v = *x;
    if (is_missing(v)) continue;
    cells[j] = v;
    count += 1;
    sum += v;
    sumsq += v * v;
    if (summed) {
      sums.column_count[j] += 1;
      sums.column_total[j] += v;
      sums.column_squares[j] += v * v;
      tn += 1;
      tt += v;
      if (squares) ts += v * v;
    }
  }
  sums.count = tn;
  sums.total = tt;
  sums.squares = ts;
  if (count == 0) return kMissing;
  switch (rules.row) {
    case Statistic::Total:
      return fuzzed(sum);
    case Statistic::Mean:
      return fuzzed(sum / count);
    case Statistic::Deviation:
      return fuzzed(rms_from_base(sumsq, sum, count, base));
    case Statistic::None:
      break;
  }
  return kMissing;
}

// Decimals for the numbers of a table: NDEC= when given, none for whole
// numbers, else as many as keep about seven significant digits (at most three).
// The values themselves decide: the statistics and the summary row follow them.
int choose_decimals(std::span<const double> values, std::optional<int> decimals) {
  if (decimals) return *decimals;
  double largest = 0;
  bool whole = true;
  for (const double x : values) {
    if (!std::isfinite(x)) continue;  // missing values among them
    const double a = std::fabs(x);
    largest = std::max(largest, a);
    if (whole && std::fabs(a - round_half_even(a)) > 1e-9 * std::max(1.0, a)) whole = false;
  }
  if (whole) return 0;
  if (largest < 1e4) return 3;
  if (largest < 1e5) return 2;
  if (largest < 1e6) return 1;
  return 0;
}

// The title of a table: the catalogue's, with B1 the original series when
// nothing adjusted it beforehand, A4 with the length of month under LENGTH,
// the centred moving averages their period count and the Henderson trends
// their length and I/C ratio.
std::string title_of(Table table, Frequency frequency, const MonthYearTableOptions& options,
                     const std::optional<HendersonChoice>& trend) {
  const TableInfo& info = table_info(table);
  int message = frequency == Frequency::Monthly ? info.title_monthly : info.title_quarterly;
  if (table == Table::B1 && !options.prior_adjusted) message = text_id::kUnadjustedOriginalSeries;
  if (table == Table::A4 && options.length_of_month) message = text_id::kLengthOfMonthFactors;
  int terms = 0;
  double ic_ratio = 0.0;
  if (table == Table::B2 || table == Table::C2 || table == Table::D2) terms = periods_per_year(frequency);
  if ((table == Table::B7 || table == Table::C7 || table == Table::D7 || table == Table::D12) && trend) {
    terms = trend->length;
    ic_ratio = trend->ic_ratio;
  }
  return msgtext(message, ic_ratio, terms);
}

}  // namespace

void print_month_year_table(OdsManager& ods, Table table, std::span<const double> values,
                            const SeriesCalendar& calendar, const MonthYearTableOptions& options,
                            const std::optional<HendersonChoice>& trend) {
  const TableLayout layout = table_info(table).layout;
  const LayoutRules rules = rules_of(layout);
  const bool monthly = calendar.monthly();
  const int p = calendar.periods();
  const bool plain = layout == TableLayout::Plain;
  const bool summary = rules.summary != Statistic::None;
  const double base = options.mode == Mode::Additive ? 0.0 : 100.0;
  const int dec = choose_decimals(values, options.decimals);
  // Means and deviations of whole numbers are not whole.
  const int stat_dec = options.decimals ? *options.decimals : std::max(dec, 3);

  const char* tmpl = monthly ? (plain ? "lum.x11.month.type5" : "lum.x11.month.type1")
                             : (plain ? "lum.x11.qtr.type5" : "lum.x11.qtr.type1");
  ods.open_table(tmpl, std::string(table_name(table)), title_of(table, calendar.frequency, options, trend));
  if (!plain) ods.set_entry("stat_type", msgtext(rules.stat_label));
  if (summary) {
    const int label = rules.summary == Statistic::Mean ? text_id::kStatMean : text_id::kStatDeviation;
    ods.set_entry("summary", msgtext(label));
    ods.set_entry("summary_decimals", std::to_string(stat_dec));
  }
  ods.add_column(OdsColumn{"Year", msgtext(text_id::kYear), ColType::Num, 0});
  for (const PeriodColumn& c : period_columns(monthly)) ods.add_column(OdsColumn{c.name, c.label, ColType::Num, dec});
  ods.add_column(OdsColumn{"ControlVar", " ", ColType::Char, -1});
  ods.add_column(OdsColumn{"Stat", plain ? std::string() : msgtext(rules.stat_label), ColType::Num,
                           rules.row == Statistic::Total ? dec : stat_dec});
  TableSums sums;
  const double* x = values.data();
  long n = static_cast<long>(values.size());
  const long nrows = (calendar.first_period + n + p - 1) / p;
  int year = calendar.first_year;
  int first = calendar.first_period;
  double cells[12];
  for (long r = 0; r < nrows; ++r, ++year, first = 0) {
    const long in_row = std::min<long>(n, p - first);
    const double stat = fill_year_row(x, in_row, first, rules, base, sums, cells);
    x += in_row;
    n -= in_row;
    std::vector<OdsCell> row = ods.new_row();
    row.emplace_back(static_cast<double>(year));
    for (int j = 0; j < p; ++j) row.push_back(cell(cells[j]));
    row.emplace_back(std::string(" "));
    row.push_back(cell(stat));
    ods.add_row(std::move(row));
  }
  if (!summary) {
    ods.close_table();
    return;
  }
  std::vector<OdsCell> row = ods.new_row();
  row.emplace_back(layout == TableLayout::Irregular ? -2.0 : -1.0);
  for (int j = 0; j < p; ++j) {
    double v = kMissing;
    if (sums.column_count[j] > 0) {
      v = rules.summary == Statistic::Mean
              ? fuzzed(sums.column_total[j] / sums.column_count[j])
              : fuzzed(rms_from_base(sums.column_squares[j], sums.column_total[j], sums.column_count[j], base));
    }
    row.push_back(cell(v));
  }
  row.emplace_back(std::string("-"));
  row.emplace_back();
  ods.add_row(std::move(row));

  // The footnote names only the statistics the table has: none without a
  // value, the total alone for ratios.
  if (sums.count > 0) {
    auto num = [&](double v) { return format_cell(OdsCell{fuzzed(v)}, stat_dec); };
    if (rules.sums == Sums::TotalsAndSquares) {
      ods.add_note(msgtext(options.mode == Mode::Additive ? text_id::kAdditiveTableSummary : text_id::kTableSummary,
                           num(sums.total), num(sums.total / sums.count),
                           num(rms_from_base(sums.squares, sums.total, sums.count, base))));
    } else {
      ods.add_note(msgtext(text_id::kRatioTableSummary, num(sums.total)));
    }
  }
  ods.close_table();
}

void print_note_in_place_of_table(OdsManager& ods, Table table, const std::string& note) {
  ods.open_table("lum.x11.message", std::string(table_name(table)), "");
  ods.add_note(note);
  ods.close_table();
}

}  // namespace x11sa
