#include "pipeline/flows.h"

#include <algorithm>
#include <exception>

#include "arima/extension.h"

namespace x11sa {

namespace {

// The output group of one table group, open while its tables are made.
class GroupScope {
 public:
  GroupScope(VariableChain& v, TableGroup group, bool wanted = true)
      : v_(v),
        open_(wanted && v.options.prints_anything && v.options.print.printout >= PrintLevel::Standard) {
    if (open_) v_.out.open_group(group);
  }
  ~GroupScope() noexcept(false) {
    if (open_ && std::uncaught_exceptions() == 0) v_.out.close_group();
  }
  GroupScope(const GroupScope&) = delete;
  GroupScope& operator=(const GroupScope&) = delete;

 private:
  VariableChain& v_;
  bool open_;
};

// The first pass of the flow with trading-day regression: the observations,
// nothing written but the regression's OUTTDR= rows, printed only with PRINTFP.
ChainStretch first_pass_stretch(const VariableChain& v) {
  ChainStretch s = plain_stretch(v.layout);
  s.write = false;
  s.regression_rows = true;
  s.print = v.options.print.arima_first_pass;
  return s;
}

// The second pass of that flow: the extended series adjusted for trading day
// by the first pass, whose trading-day tables it writes.
ChainStretch second_pass_stretch(const VariableChain& v) {
  ChainStretch s = extended_stretch(v.layout);
  s.regression = false;
  s.td_from_first_pass = true;
  return s;
}

template <class Tables>
void group(VariableChain& v, TableGroup g, const ChainStretch& s, Tables tables, bool wanted = true) {
  GroupScope scope(v, g, wanted);
  tables(v, s);
}

// The extension of `series` (the observations) into B1, with A13, A14 and
// A15; false when it failed.
bool extend(VariableChain& v, std::span<const double> series) {
  const SeriesLayout& l = v.layout;
  ChainTables& t = v.tables;
  const ArimaOptions& options = *v.method().arima;
  const bool all_reports = v.options.print.arima == ReportLevel::All;
  v.extension_outcome = extend_by_arima(series, v.method().frequency, v.method().mode, options, all_reports);
  const ArimaOutcome& outcome = v.extension_outcome;
  v.out.arima_extension(outcome);

  std::span<double> b1 = t[Table::B1];
  fill_missing(b1);
  std::copy(series.begin(), series.end(), b1.begin() + l.begin());
  std::span<double> a13 = t[Table::A13];
  fill_missing(a13);
  if (outcome.status == ArimaStatus::Extended || outcome.status == ArimaStatus::BackcastFailed) {
    const long lead = std::min(static_cast<long>(outcome.forecasts.size()), l.length - l.end());
    std::copy_n(outcome.forecasts.begin(), lead, b1.begin() + l.end());
    std::copy(outcome.a13.begin(), outcome.a13.end(), a13.begin() + l.begin());
  }
  if (outcome.status == ArimaStatus::Extended) {
    const long back = static_cast<long>(outcome.backcasts.size());
    for (long j = 0; j < std::min(back, l.begin()); ++j)
      b1[static_cast<std::size_t>(l.begin() - 1 - j)] = outcome.backcasts[static_cast<std::size_t>(back - 1 - j)];
  }
  if (!outcome.extended()) return false;

  const ChainStretch s = extended_stretch(l);
  const StepOptions& o = v.options;
  auto show = [&](Table table, std::span<const double> values, bool selected) {
    if (s.print && selected) v.out.print_table(printed_table(v, table, values));
    if (s.write) v.out.write_table(table, values);
  };
  show(Table::A13, a13, prints(o, Table::A13));
  std::span<double> a14 = t[Table::A14];
  fill_missing(a14);
  if (l.backcasts > 0) std::copy(outcome.a14.begin(), outcome.a14.end(), a14.begin() + l.extended_begin());
  show(Table::A14, a14, l.backcasts > 0 && prints(o, Table::A14));
  show(Table::A15, b1, prints(o, Table::A15));
  return true;
}

void plain_flow(VariableChain& v) {
  const ChainStretch s = plain_stretch(v.layout);
  group(v, TableGroup::A, s, a_tables);
  group(v, TableGroup::B, s, b_tables);
  group(v, TableGroup::C, s, c_tables);
  group(v, TableGroup::D, s, d_tables);
  group(v, TableGroup::E, s, e_tables);
  group(v, TableGroup::F, s, f_tables);
}

// A1 to A6 of an extended flow.
void extended_prior_tables(VariableChain& v) {
  GroupScope scope(v, TableGroup::A);
  prior_tables(v, plain_stretch(v.layout), true);
}

bool extended_flow(VariableChain& v) {
  const SeriesLayout& l = v.layout;
  extended_prior_tables(v);
  {
    GroupScope scope(v, TableGroup::Arima);
    const std::span<const double> a5 = v.tables[Table::A5];
    if (!extend(v, a5.subspan(static_cast<std::size_t>(l.begin()), static_cast<std::size_t>(l.observations))))
      return false;
  }
  const ChainStretch s = extended_stretch(l);
  group(v, TableGroup::B, s, b_tables);
  group(v, TableGroup::C, s, c_tables);
  group(v, TableGroup::D, s, d_tables);
  // The E tables describe the observed series: they run on the observations
  // in every flow.
  group(v, TableGroup::E, plain_stretch(l), e_tables);
  group(v, TableGroup::F, plain_stretch(l), f_tables);
  return true;
}

bool extended_flow_with_trading_day(VariableChain& v) {
  const SeriesLayout& l = v.layout;
  extended_prior_tables(v);
  const ChainStretch first = first_pass_stretch(v);
  group(v, TableGroup::B, first, b_tables, first.print);
  group(v, TableGroup::C, first, c_tables, first.print);
  group(v, TableGroup::D, first, d_tables, first.print);
  {
    GroupScope scope(v, TableGroup::Arima);
    // The first pass's series adjusted for trading day (C19); when its
    // factors were not applied, C19 is not computed and the series the D
    // tables adjusted (B1) is extended.
    const std::span<const double> adjusted = td_applied(v) ? v.tables[Table::C19] : v.tables[Table::B1];
    std::span<double> a15 = v.tables[ChainSeries::Scratch2];
    std::copy(adjusted.begin() + l.begin(), adjusted.begin() + l.end(), a15.begin() + l.begin());
    if (!extend(v, std::span<const double>(a15).subspan(static_cast<std::size_t>(l.begin()),
                                                        static_cast<std::size_t>(l.observations))))
      return false;
  }
  const ChainStretch second = second_pass_stretch(v);
  group(v, TableGroup::B, second, b_tables);
  group(v, TableGroup::C, second, c_tables);
  group(v, TableGroup::D, second, d_tables);
  group(v, TableGroup::E, plain_stretch(l), e_tables);
  group(v, TableGroup::F, plain_stretch(l), f_tables);
  return true;
}

}  // namespace

void run_flow(VariableChain& v, Flow flow) {
  v.extension_active = flow != Flow::Plain;
  bool done = true;
  if (flow == Flow::Extended) done = extended_flow(v);
  if (flow == Flow::ExtendedWithTradingDay) done = extended_flow_with_trading_day(v);
  if (flow == Flow::Plain || !done) {
    if (!done) {
      // The plain flow writes every table of the variable again.
      v.out.extension_failed();
      v.extension_active = false;
    }
    plain_flow(v);
  }
  charts(v);
}

void run_silent_chain(VariableChain& v, const ChainStretch& stretch) {
  ChainStretch s = stretch;
  s.print = false;
  s.write = false;
  s.seasonality_tests = true;
  a_tables(v, s);
  b_tables(v, s);
  c_tables(v, s);
  d_tables(v, s);
}

}  // namespace x11sa
