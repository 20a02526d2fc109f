#include "pipeline/table_chain.h"

#include <algorithm>
#include <cmath>

#include "core/prior_adjustment.h"
#include "diag/combined_test.h"
#include "diag/d9a_ratios.h"
#include "diag/e4_ratios.h"
#include "diag/e_tables.h"
#include "diag/f2_summary.h"
#include "diag/kruskal_wallis.h"
#include "diag/seasonality_f_tests.h"
#include "diag/summary_measures.h"
#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "pipeline/table_steps.h"
#include "records/exit_levels.h"

namespace x11sa {

namespace {

template <class T>
std::span<T> part(std::span<T> v, long begin, long end) {
  return v.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(std::max(end - begin, 0L)));
}

Mode mode(const VariableChain& v) { return v.method().mode; }
bool monthly(const VariableChain& v) { return v.method().monthly(); }

// Title messages of the trend tables and of B2, C2, D2 name a number.
bool is_henderson(Table t) { return t == Table::B7 || t == Table::C7 || t == Table::D7 || t == Table::D12; }

bool printing(const StepOptions& o) { return o.prints_anything; }

// A level of PRINTOUT= (1 STANDARD, 2 LONG, 3 FULL) or the table's TABLES name.
bool level_or_name(const StepOptions& o, int level, Table t) {
  return printing(o) && (static_cast<int>(o.print.printout) >= level || o.print.tables[static_cast<std::size_t>(t)]);
}

}  // namespace

PrintedTable printed_table(const VariableChain& v, Table t, std::span<const double> values) {
  const TableInfo& info = table_info(t);
  const SeriesLayout& l = v.layout;
  PrintedTable p;
  p.table = t;
  if (is_henderson(t) && v.last_trend.length != 0) p.trend = v.last_trend;
  long n = info.year_ahead ? l.observations_with_year_ahead() : l.observations;
  long from = l.begin();
  p.first_year = l.first_year;
  p.first_period = l.first_period;
  // The extension tables reach beyond the observations: A13 into the
  // forecasts, A14 and A15 back to the first backcast.
  if (t == Table::A13) n = l.observations + l.forecasts;
  if (t == Table::A14 || t == Table::A15) {
    n = t == Table::A14 ? l.observations + l.backcasts : l.extended_end() - l.extended_begin();
    from = l.extended_begin();
    p.first_year -= static_cast<int>(l.backcasts / l.periods());
  }
  p.values = part(values, from, from + n);
  return p;
}

namespace {

void print(VariableChain& v, Table t, std::span<const double> values) { v.out.print_table(printed_table(v, t, values)); }

// Prints (when the stretch prints and the table is selected) and writes
// (when the stretch writes) table t.
void emit(VariableChain& v, const ChainStretch& s, Table t, std::span<const double> values, bool computed = true) {
  if (s.write) v.out.write_table(t, values);
  if (s.print && computed && prints(v.options, t)) print(v, t, values);
}

void set_trend(VariableChain& v, const HendersonChoice& choice) { v.last_trend = choice; }

TableRange range(long begin, long end, int period = 0) { return {begin, end, period}; }

// Period of the year at the first centred-average point.
int ma_period(const VariableChain& v) {
  const int p = v.layout.periods();
  return (v.layout.first_period + p / 2) % p;
}

std::span<const double> missing(VariableChain& v) { return v.tables[ChainSeries::Missing]; }

DailyWeights prior_daily_weights(const VariableChain& v) {
  if (v.method().prior_daily_weights) return *v.method().prior_daily_weights;
  DailyWeights w{};
  w.fill(v.method().additive() ? 0.0 : 1.0);
  return w;
}

// Prints prior table t when selected. An extended flow marks what it
// printed of A1 to A5 (mark k; -1 for none), so that the plain flow rerun
// after a failed extension does not print it again.
void print_prior_table(VariableChain& v, const ChainStretch& s, int k, Table t, std::span<const double> values,
                       bool selected, bool extended) {
  if (!s.print || !selected) return;
  if (!extended && k >= 0 && v.prior_printed[static_cast<std::size_t>(k)]) return;
  // The plain flow shows the weights as a table, the extended flows as a list.
  if (t == Table::A4) v.out.print_prior_daily_weights(prior_daily_weights(v), extended);
  print(v, t, values);
  if (extended && k >= 0) v.prior_printed[static_cast<std::size_t>(k)] = true;
}

void write_prior_table(VariableChain& v, const ChainStretch& s, Table t, std::span<const double> values) {
  if (s.write) v.out.write_table(t, values);
}

// B14 or C14: the irregular of the months the regression excluded, or a
// note when the regression had no usable month.
void emit_td_irregular(VariableChain& v, const ChainStretch& s, Table t14, std::span<const double> table) {
  const long n = v.layout.end() - (v.layout.begin() + v.td_skipped_months);
  if (s.write) v.out.write_table(t14, table);
  if (s.print && prints(v.options, t14)) {
    if (n - v.td_excluded_months <= 0) {
      v.out.print_no_regression_months();
    } else {
      print(v, t14, table);
    }
  }
}

// Months from the first observation to the TDCOMPUTE= date: the regression
// skips them.
long td_skipped_months(const VariableChain& v, int first_year, int first_period) {
  if (!v.method().tdcompute_year) return 0;
  const double tdcompute = date_from_mdy(1, 1, *v.method().tdcompute_year);
  if (is_missing(tdcompute)) return 0;
  const double series_start = date_from_mdy(first_period + 1, 1, first_year);
  const double months = interval_boundaries_crossed("MONTH", series_start, tdcompute);
  if (std::isnan(months) || months <= 0.0) return 0;
  return static_cast<long>(months);
}

// The regression of one pass (B14 to B16, or C14 to C16) on the irregular
// of B13 (C13).
void td_regression(VariableChain& v, const ChainStretch& s, bool final_pass) {
  ChainTables& t = v.tables;
  const SeriesLayout& l = v.layout;
  const Table t14 = final_pass ? Table::C14 : Table::B14;
  const Table t16 = final_pass ? Table::C16 : Table::B16;
  std::span<double> table = t[t14];
  std::span<double> factors = t[t16];
  fill_missing(table);
  fill_missing(factors);
  if (!td_computed(v) || !s.regression) {
    if (s.write) v.out.write_table(t14, table);
    return;
  }
  v.td_skipped_months = td_skipped_months(v, l.first_year, l.first_period);
  const long first = l.begin() + v.td_skipped_months;
  const long n = l.end() - first;
  // Month types from January of the group's first year.
  const long cal0 = v.group.first_period + l.leading_missing + v.td_skipped_months;
  std::span<short> types = part(t.regression_types(), cal0, cal0 + n);
  const std::span<const double> irregular = part(std::span<const double>(t[final_pass ? Table::C13 : Table::B13]), first, first + n);
  if (!final_pass) {
    std::copy_n(v.group.month_types.begin() + cal0, n, types.begin());
    v.td_excluded_months =
        b14_exclude_extreme_months(irregular, v.method().exclude, mode(v), types, part(table, first, first + n));
  } else {
    c14_exclude_extreme_months(irregular, part(std::span<const double>(t[Table::B16]), first, first + n),
                               v.method().exclude, types, part(table, first, first + n));
  }
  emit_td_irregular(v, s, t14, table);

  TradingDayRegressionResult result;
  result.prior_weights = prior_daily_weights(v);
  const std::optional<DailyWeights> prior = v.method().prior_daily_weights;
  result.regression = b15_regression(irregular, types, prior, mode(v), v.method().length_of_month);
  v.regression_weights = result.regression.fit.coefficients;
  if (v.method().tdregr == TradingDayRegression::Test) v.td_test_passed = result.regression.test.significant;
  if (s.print && level_or_name(v.options, final_pass ? 1 : 2, final_pass ? Table::C15 : Table::B15))
    v.out.print_regression(final_pass, result);
  if (s.write || s.regression_rows) v.out.write_regression_rows(final_pass, result);

  const long xlast2 = l.last_period + 1 + static_cast<long>(l.last_year - l.first_year) * l.periods();
  const FactorMonths months{l.first_year, l.first_period, xlast2 + 12};
  std::span<double> tail = part(factors, l.begin(), l.length);
  v.regression_weights = final_pass ? c16_trading_day_factors(v.method(), v.regression_weights, months, tail)
                                    : b16_trading_day_factors(v.method(), v.regression_weights, months, tail);
  // With TDAPPLY= the regression's factors apply from that year on; the
  // months before it keep neutral factors.
  if (v.method().tdapply_year) {
    const double tdapply = date_from_mdy(1, 1, *v.method().tdapply_year);
    const double first_month = date_from_mdy(l.first_period + 1, 1, l.first_year);
    const double m = interval_boundaries_crossed("MONTH", first_month, tdapply);
    const long before = is_missing(m) ? 0 : std::clamp(static_cast<long>(m), 0L, l.length - l.begin());
    std::fill_n(factors.begin() + l.begin(), before, v.method().additive() ? 0.0 : 100.0);
  }
}

// The D8 tests: the stable and moving seasonality F-tests, Kruskal-Wallis
// and the combined test.
D8Tests seasonality_tests(VariableChain& v) {
  const SeriesLayout& l = v.layout;
  const int p = l.periods();
  const std::span<const double> si = part(std::span<const double>(v.tables[Table::D8]), l.begin(), l.end());
  D8Tests tests;
  tests.stable = stable_seasonality_test(si, p);
  tests.moving = moving_seasonality_test(si, p, mode(v), l.first_period);
  tests.kruskal_wallis = kruskal_wallis_test(si, p);
  if (tests.kruskal_wallis.status == KruskalWallisStatus::NoMemory) {
    v.host.log().error("There is not enough memory for the Kruskal-Wallis test.");
    xexit(exit_level::kResource);
  }
  tests.combined = combined_seasonality_test(tests.stable, tests.moving, tests.kruskal_wallis);
  return tests;
}

}  // namespace

ChainStretch plain_stretch(const SeriesLayout& l) {
  ChainStretch s;
  const long h = l.periods() / 2;
  s.begin = l.begin();
  s.end = l.end();
  s.ma_begin = s.begin + h;
  s.ma_end = s.end - h;
  return s;
}

ChainStretch extended_stretch(const SeriesLayout& l) {
  ChainStretch s;
  const long h = l.periods() / 2;
  s.begin = l.extended_begin();
  s.end = l.extended_end();
  s.ma_begin = s.begin + h;
  s.ma_end = s.end - h;
  s.extended = true;
  s.b1_given = true;
  return s;
}

bool prints(const StepOptions& o, Table t) { return level_or_name(o, table_info(t).print_level, t); }

bool td_computed(const VariableChain& v) {
  return monthly(v) && v.method().tdregr != TradingDayRegression::None;
}

bool td_applied(const VariableChain& v) {
  const TradingDayRegression r = v.method().tdregr;
  return r == TradingDayRegression::Adjust || (r == TradingDayRegression::Test && v.td_test_passed);
}

void prior_tables(VariableChain& v, const ChainStretch& s, bool extended) {
  ChainTables& t = v.tables;
  const StepOptions& o = v.options;
  const bool pmf = o.vars.prior_factors.has_value();
  const bool pdw = v.method().prior_daily_weights.has_value();
  const bool any_prior = pmf || pdw;
  const bool a1 = extended ? prints(o, Table::A1)
                           : (printing(o) && o.print.printout >= PrintLevel::Standard && any_prior) ||
                                 (printing(o) && o.print.tables[static_cast<std::size_t>(Table::A1)]);
  print_prior_table(v, s, 0, Table::A1, t[Table::A1], a1, extended);
  write_prior_table(v, s, Table::A1, t[Table::A1]);
  const std::span<const double> a2 = v.group.prior_factors;
  print_prior_table(v, s, 1, Table::A2, a2, pmf && prints(o, Table::A2), extended);
  write_prior_table(v, s, Table::A2, a2);
  std::span<double> a3 = t[Table::A3];
  fill_missing(a3);
  if (pmf)
    a3_prior_adjusted_series(part(std::span<const double>(t[Table::A1]), s.begin, s.end), part(a2, s.begin, s.end),
                             mode(v), part(a3, s.begin, s.end));
  print_prior_table(v, s, 2, Table::A3, a3, pmf && prints(o, Table::A3), extended);
  write_prior_table(v, s, Table::A3, a3);
  const std::span<const double> a4 = v.group.prior_td_factors;
  print_prior_table(v, s, 3, Table::A4, a4, pdw && prints(o, Table::A4), extended);
  write_prior_table(v, s, Table::A4, a4);
  std::span<double> a5 = t[Table::A5];
  fill_missing(a5);
  a5_prior_adjusted_series(part(std::span<const double>(t[Table::A1]), s.begin, s.end),
                           pmf ? part(std::span<const double>(a3), s.begin, s.end) : std::span<const double>{},
                           pdw ? part(a4, s.begin, s.end) : std::span<const double>{}, mode(v), part(a5, s.begin, s.end));
  print_prior_table(v, s, 4, Table::A5, a5, extended && prints(o, Table::A5), extended);
  write_prior_table(v, s, Table::A5, a5);
  // A6 is not computed by this system: always missing.
  write_prior_table(v, s, Table::A6, missing(v));
}

void a_tables(VariableChain& v, const ChainStretch& s) {
  prior_tables(v, s, false);
  // The extension tables do not exist in the plain flow.
  if (s.write)
    for (Table t : {Table::A13, Table::A14, Table::A15}) v.out.write_table(t, missing(v));
}

void b_tables(VariableChain& v, const ChainStretch& s) {
  ChainTables& t = v.tables;
  const AdjustmentOptions& o = v.method();
  const SeriesLayout& l = v.layout;
  const Mode m = mode(v);
  const long rb = s.begin, re = s.end, mb = s.ma_begin, me = s.ma_end;
  const std::span<const double> prior_adj = v.options.vars.prior_factors ? t[Table::A3] : t[Table::A1];
  const bool td_given = s.td_from_first_pass;
  if (o.tdregr == TradingDayRegression::Test && !td_given) v.td_test_passed = false;

  if (!s.b1_given)
    b1_series(prior_adj, o.prior_daily_weights ? std::span<const double>(v.group.prior_td_factors) : std::span<const double>{},
              range(rb, re), m, t[Table::B1]);
  emit(v, s, Table::B1, t[Table::B1]);
  b2_preliminary_trend(o, t[Table::B1], range(rb, re), t[Table::B2]);
  emit(v, s, Table::B2, t[Table::B2]);
  b3_si_ratios(t[Table::B1], t[Table::B2], range(mb, me), m, t[Table::B3]);
  emit(v, s, Table::B3, t[Table::B3]);
  b4_modified_si_ratios(o, t[Table::B3], range(mb, me, ma_period(v)), SeasonalEstimate::Preliminary,
                        t[ChainSeries::B4Modified], t[Table::B4], t[ChainSeries::Scratch1], t[ChainSeries::Scratch3]);
  emit(v, s, Table::B4, t[Table::B4]);
  b5_seasonal_factors(o, t[ChainSeries::B4Modified], range(mb, me, ma_period(v)), SeasonalEstimate::Preliminary,
                      t[Table::B5], t[ChainSeries::Scratch1]);
  emit(v, s, Table::B5, t[Table::B5]);
  remove_component(t[Table::B1], t[Table::B5], range(rb, re), m, t[Table::B6]);
  emit(v, s, Table::B6, t[Table::B6]);
  set_trend(v, b7_trend_cycle(o, t[Table::B6], range(rb, re, l.first_period), t[Table::B7], t[ChainSeries::Scratch1],
                              t[ChainSeries::Scratch2], t[ChainSeries::Scratch3]));
  emit(v, s, Table::B7, t[Table::B7]);
  remove_component(t[Table::B1], t[Table::B7], range(rb, re), m, t[Table::B8]);
  emit(v, s, Table::B8, t[Table::B8]);
  b4_modified_si_ratios(o, t[Table::B8], range(rb, re, l.first_period), SeasonalEstimate::Final,
                        t[ChainSeries::B9Modified], t[Table::B9], t[ChainSeries::Scratch1], t[ChainSeries::Scratch3]);
  emit(v, s, Table::B9, t[Table::B9]);
  b10_seasonal_factors(o, t[ChainSeries::B9Modified], range(rb, re, l.first_period), SeasonalEstimate::Final,
                       t[Table::B10], t[ChainSeries::Scratch1]);
  emit(v, s, Table::B10, t[Table::B10]);
  remove_component(t[Table::B1], t[Table::B10], range(rb, re), m, t[Table::B11]);
  emit(v, s, Table::B11, t[Table::B11]);
  remove_component(t[Table::B11], t[Table::B7], range(rb, re), m, t[Table::B13]);
  emit(v, s, Table::B13, t[Table::B13]);

  if (monthly(v)) {
    if (td_given) {
      emit_td_irregular(v, s, Table::B14, t[Table::B14]);
    } else {
      td_regression(v, s, false);
    }
    emit(v, s, Table::B16, t[Table::B16], td_computed(v));
  }
  // A series already adjusted for trading day gives its weights from B13.
  std::span<double> irregular = t[ChainSeries::IrregularWithoutTd];
  const bool td_adjusts = o.tdregr == TradingDayRegression::Adjust || o.tdregr == TradingDayRegression::Test;
  if (td_adjusts && !td_given) {
    remove_component(t[Table::B13], t[Table::B16], range(rb, re), m, irregular);
  } else {
    std::copy(t[Table::B13].begin(), t[Table::B13].end(), irregular.begin());
  }
  b17_extreme_weights(o, irregular, range(rb, re, l.first_period), t[Table::B17], t[ChainSeries::Scratch3]);
  emit(v, s, Table::B17, t[Table::B17]);
  if (!monthly(v)) return;
  const bool b18 = td_adjusts && !o.additive() && o.prior_daily_weights;
  if (td_given) {
    emit(v, s, Table::B18, t[Table::B18], b18);
    emit(v, s, Table::B19, t[Table::B19], td_adjusts);
    return;
  }
  fill_missing(t[Table::B18]);
  fill_missing(t[Table::B19]);
  if (b18) {
    const long xlast2 = (s.extended ? l.backcasts + l.forecasts : 0) + l.last_period + 1 +
                        static_cast<long>(l.last_year - l.first_year) * l.periods();
    v.regression_weights = b18_combined_trading_day_factors(o, v.regression_weights,
                                                            {l.first_year, l.first_period, xlast2 + 12},
                                                            part(t[Table::B18], rb, l.length));
  }
  emit(v, s, Table::B18, t[Table::B18], b18);
  if (td_adjusts)
    remove_component(v.options.vars.prior_factors ? t[Table::A3] : t[Table::A1],
                     o.prior_daily_weights ? t[Table::B18] : t[Table::B16], range(rb, re), m, t[Table::B19]);
  emit(v, s, Table::B19, t[Table::B19], td_adjusts);
}

void c_tables(VariableChain& v, const ChainStretch& s) {
  ChainTables& t = v.tables;
  const AdjustmentOptions& o = v.method();
  const SeriesLayout& l = v.layout;
  const Mode m = mode(v);
  const long rb = s.begin, re = s.end, mb = s.ma_begin, me = s.ma_end;
  const bool td_given = s.td_from_first_pass;
  const bool td_adjusts = o.tdregr == TradingDayRegression::Adjust || o.tdregr == TradingDayRegression::Test;
  const std::span<const double> oc = !td_adjusts || td_given ? t[Table::B1] : t[Table::B19];

  c1_modified_series(t[Table::B17], t[ChainSeries::IrregularWithoutTd], oc, range(rb, re), m, t[Table::C1]);
  emit(v, s, Table::C1, t[Table::C1]);
  b2_preliminary_trend(o, t[Table::C1], range(rb, re), t[Table::C2]);
  emit(v, s, Table::C2, t[Table::C2]);
  b3_si_ratios(t[Table::C1], t[Table::C2], range(mb, me), m, t[Table::C4]);
  emit(v, s, Table::C4, t[Table::C4]);
  b5_seasonal_factors(o, t[Table::C4], range(mb, me, ma_period(v)), SeasonalEstimate::Preliminary, t[Table::C5],
                      t[ChainSeries::Scratch1]);
  emit(v, s, Table::C5, t[Table::C5]);
  remove_component(t[Table::C1], t[Table::C5], range(rb, re), m, t[Table::C6]);
  emit(v, s, Table::C6, t[Table::C6]);
  set_trend(v, c7_trend_cycle(o, t[Table::C6], range(rb, re), t[Table::C7]));
  emit(v, s, Table::C7, t[Table::C7]);
  remove_component(t[Table::C1], t[Table::C7], range(rb, re), m, t[Table::C9]);
  emit(v, s, Table::C9, t[Table::C9]);
  b10_seasonal_factors(o, t[Table::C9], range(rb, re, l.first_period), SeasonalEstimate::Final, t[Table::C10],
                       t[ChainSeries::Scratch1]);
  emit(v, s, Table::C10, t[Table::C10]);
  remove_component(t[Table::B1], t[Table::C10], range(rb, re), m, t[Table::C11]);
  emit(v, s, Table::C11, t[Table::C11]);
  remove_component(t[Table::C11], t[Table::C7], range(rb, re), m, t[Table::C13]);
  emit(v, s, Table::C13, t[Table::C13]);

  if (monthly(v)) {
    if (td_given) {
      emit_td_irregular(v, s, Table::C14, t[Table::C14]);
    } else {
      td_regression(v, s, true);
    }
    emit(v, s, Table::C16, t[Table::C16], td_computed(v));
  }
  std::span<double> irregular = t[ChainSeries::IrregularWithoutTd];
  if (td_applied(v) && !td_given) {
    remove_component(t[Table::C13], t[Table::C16], range(rb, re), m, irregular);
  } else {
    std::copy(t[Table::C13].begin(), t[Table::C13].end(), irregular.begin());
  }
  b17_extreme_weights(o, irregular, range(rb, re, l.first_period), t[Table::C17], t[ChainSeries::Scratch3]);
  emit(v, s, Table::C17, t[Table::C17]);
  if (!monthly(v)) return;

  std::span<double> c18 = t[Table::C18];
  const bool pdw = o.prior_daily_weights.has_value();
  const bool own_c18 = !o.additive() && (pdw || o.length_of_month);
  if (td_given) {
    // Without factors of its own, C18 is written missing while the vector
    // keeps the regression's factors for E1 and F2.
    const bool printed = own_c18 && (pdw || td_applied(v));
    if (s.write) v.out.write_table(Table::C18, own_c18 ? std::span<const double>(c18) : missing(v));
    if (s.print && printed && prints(v.options, Table::C18)) print(v, Table::C18, own_c18 ? c18 : missing(v));
    emit(v, s, Table::C19, t[Table::C19], td_applied(v));
    return;
  }
  fill_missing(c18);
  fill_missing(t[Table::C19]);
  bool from_weights = false;
  if (own_c18) {
    if (td_applied(v)) {
      // The factors reach into the forecasts whatever the stretch.
      const long xlast2 = l.backcasts + l.forecasts + l.last_period + 1 +
                          static_cast<long>(l.last_year - l.first_year) * l.periods();
      v.regression_weights = b18_combined_trading_day_factors(o, v.regression_weights,
                                                              {l.first_year, l.first_period, xlast2 + 12},
                                                              part(c18, rb, l.length));
      from_weights = true;
    } else if (pdw) {
      std::copy(v.group.prior_td_factors.begin(), v.group.prior_td_factors.begin() + l.length, c18.begin());
    }
    emit(v, s, Table::C18, c18, from_weights || pdw);
  } else {
    // C18 is written missing; the later tables read the regression's factors.
    emit(v, s, Table::C18, c18, false);
    std::copy(t[Table::C16].begin(), t[Table::C16].end(), c18.begin());
  }
  if (td_applied(v))
    remove_component(v.options.vars.prior_factors ? t[Table::A3] : t[Table::A1], from_weights ? c18 : t[Table::C16],
                     range(rb, re), m, t[Table::C19]);
  emit(v, s, Table::C19, t[Table::C19], td_applied(v));
}

void d_tables(VariableChain& v, const ChainStretch& s) {
  ChainTables& t = v.tables;
  const AdjustmentOptions& o = v.method();
  const SeriesLayout& l = v.layout;
  const Mode m = mode(v);
  const long rb = s.begin, re = s.end, mb = s.ma_begin, me = s.ma_end;
  const std::span<const double> od = td_applied(v) && !s.td_from_first_pass ? t[Table::C19] : t[Table::B1];

  c1_modified_series(t[Table::C17], t[ChainSeries::IrregularWithoutTd], od, range(rb, re), m, t[Table::D1]);
  emit(v, s, Table::D1, t[Table::D1]);
  b2_preliminary_trend(o, t[Table::D1], range(rb, re), t[Table::D2]);
  emit(v, s, Table::D2, t[Table::D2]);
  b3_si_ratios(t[Table::D1], t[Table::D2], range(mb, me), m, t[Table::D4]);
  emit(v, s, Table::D4, t[Table::D4]);
  b5_seasonal_factors(o, t[Table::D4], range(mb, me, ma_period(v)), SeasonalEstimate::Preliminary, t[Table::D5],
                      t[ChainSeries::Scratch1]);
  emit(v, s, Table::D5, t[Table::D5]);
  remove_component(t[Table::D1], t[Table::D5], range(rb, re), m, t[Table::D6]);
  emit(v, s, Table::D6, t[Table::D6]);
  set_trend(v, c7_trend_cycle(o, t[Table::D6], range(rb, re), t[Table::D7]));
  emit(v, s, Table::D7, t[Table::D7]);
  b3_si_ratios(od, t[Table::D7], range(rb, re), m, t[Table::D8]);
  emit(v, s, Table::D8, t[Table::D8]);
  // The seasonality tests run for the printed D8, for OUTSTB= rows, or for
  // the sliding spans.
  const bool print_tests = s.print && prints(v.options, Table::D8);
  const bool rows = v.options.outstb.has_value();
  const bool keep = s.write && v.options.keep_diagnostics;
  if (print_tests || rows || s.seasonality_tests || keep) {
    v.d8_tests = seasonality_tests(v);
    v.d8_tested = true;
    if (print_tests) v.out.print_seasonality_tests(v.d8_tests);
    if (s.write && rows) v.out.write_seasonality_rows(v.d8_tests);
  }
  d9_modified_si_ratios(t[Table::D1], t[Table::D7], t[Table::D8], range(rb, re), m, t[ChainSeries::D9All],
                        t[Table::D9]);
  emit(v, s, Table::D9, t[Table::D9]);
  // D9A describes the observations, like the tests on D8.
  const bool print_d9a = s.print && prints(v.options, Table::D9);
  if (print_d9a || keep) {
    v.d9a = d9a_ratios(part(std::span<const double>(t[ChainSeries::D9All]), l.begin(), l.end()), l.periods(), m,
                       l.first_period);
    if (print_d9a) v.out.print_d9a(*v.d9a);
  }
  d10_seasonal_factors(o, t[ChainSeries::D9All], range(rb, re, l.first_period), SeasonalEstimate::Final, t[Table::D10],
                       t[ChainSeries::Scratch1]);
  if (s.extended && o.year_ahead && !v.options.outextrap) {
    // Without the extension in OUT=, the year ahead follows the last
    // observation: computed from its last two years of factors.
    std::span<double> ahead = t[ChainSeries::Scratch1];
    year_ahead_seasonal_factors(t[Table::D10], range(rb, l.end()), o.frequency, ahead);
    if (s.write) v.out.write_table(Table::D10, ahead);
    if (s.print && prints(v.options, Table::D10)) print(v, Table::D10, t[Table::D10]);
  } else {
    emit(v, s, Table::D10, t[Table::D10]);
  }
  d11_seasonally_adjusted(o, od, t[Table::D10], v.extension_active ? od : std::span<const double>(t[Table::A1]),
                          range(rb, re), t[Table::D11]);
  emit(v, s, Table::D11, t[Table::D11]);
  set_trend(v, d12_trend_cycle(o, t[Table::D1], t[Table::D10], range(rb, re), t[Table::D12], t[ChainSeries::Scratch1]));
  emit(v, s, Table::D12, t[Table::D12]);
  remove_component(t[Table::D11], t[Table::D12], range(rb, re), m, t[Table::D13]);
  emit(v, s, Table::D13, t[Table::D13]);
}

void e_tables(VariableChain& v, const ChainStretch& s) {
  ChainTables& t = v.tables;
  const SeriesLayout& l = v.layout;
  const Mode m = mode(v);
  const long rb = s.begin, re = s.end;
  for (Table e : {Table::E1, Table::E2, Table::E3, Table::E5, Table::E6}) fill_missing(t[e]);
  auto in = [&](std::span<const double> vec) { return part(vec, rb, re); };
  E1Components c;
  c.original = in(t[Table::A1]);
  if (v.options.vars.prior_factors) c.prior = in(v.group.prior_factors);
  c.weights = in(t[Table::C17]);
  if (td_applied(v)) c.trading_day = in(t[Table::C18]);
  c.seasonal = in(t[Table::D10]);
  c.trend_cycle = in(t[Table::D12]);
  e1_modified_original(part(t[Table::E1], rb, re), c, m);
  emit(v, s, Table::E1, t[Table::E1]);
  e2_modified_adjusted(part(t[Table::E2], rb, re), in(t[Table::C17]), in(t[Table::D11]), in(t[Table::D12]));
  emit(v, s, Table::E2, t[Table::E2]);
  e3_modified_irregular(part(t[Table::E3], rb, re), in(t[Table::C17]), in(t[Table::D13]), m);
  emit(v, s, Table::E3, t[Table::E3]);
  const bool print_e4 = s.print && level_or_name(v.options, 1, Table::E4);
  if (print_e4 || (s.write && v.options.keep_diagnostics)) {
    const E4Series series{in(t[Table::A1]), in(t[Table::D11]), in(t[Table::E1]), in(t[Table::E2])};
    v.e4 = e4_ratios(series, l.periods(), m, l.first_year, l.first_period);
    if (print_e4) v.out.print_e4(*v.e4);
  }
  e5_original_changes(part(t[Table::E5], rb, re), part(std::span<const double>(t[Table::A1]), rb, re), m);
  emit(v, s, Table::E5, t[Table::E5]);
  e6_adjusted_changes(part(t[Table::E6], rb, re), part(std::span<const double>(t[Table::D11]), rb, re), m);
  emit(v, s, Table::E6, t[Table::E6]);
}

void f_tables(VariableChain& v, const ChainStretch& s) {
  ChainTables& t = v.tables;
  const Mode m = mode(v);
  const AdjustmentOptions& o = v.method();
  const long rb = s.begin, re = s.end;
  auto in = [&](std::span<const double> vec) { return part(vec, rb, re); };
  fill_missing(t[Table::F1]);
  const CyclicalDominance dominance = cyclical_dominance(in(t[Table::D12]), in(t[Table::D13]), o.frequency, m);
  f1_moving_average(part(t[Table::F1], rb, re), in(t[Table::D11]), dominance);
  emit(v, s, Table::F1, t[Table::F1]);
  // The series as read is the O of F2, so that the shares of P and TD and
  // the ratio to O's change describe one decomposition.
  const bool print_f2 = s.print && level_or_name(v.options, 1, Table::F2);
  if (print_f2 || (s.write && v.options.keep_diagnostics)) {
    const bool td_in_force = td_applied(v) || o.prior_daily_weights.has_value();
    F2Series series;
    series.original = in(t[Table::A1]);
    if (monthly(v) && v.options.vars.prior_factors) series.prior = in(v.group.prior_factors);
    if (monthly(v) && td_in_force) series.trading_day = in(t[Table::C18]);
    series.seasonal = in(t[Table::D10]);
    series.adjusted = in(t[Table::D11]);
    series.trend_cycle = in(t[Table::D12]);
    series.irregular = in(t[Table::D13]);
    series.modified_original = in(t[Table::E1]);
    series.modified_adjusted = in(t[Table::E2]);
    series.modified_irregular = in(t[Table::E3]);
    series.f1 = in(t[Table::F1]);
    v.f2 = f2_summary(series, dominance, o.frequency, m);
    if (print_f2) v.out.print_f2(*v.f2);
  }
}

void charts(VariableChain& v) {
  if (!printing(v.options)) return;
  ChainTables& t = v.tables;
  v.out.print_charts(ChartTables{v.layout, t[Table::D8], t[ChainSeries::D9All], t[Table::D10], t[Table::D11], t[Table::D12],
                                 t[Table::D13], t[Table::E3], t[Table::B1]});
}

}  // namespace x11sa
