#include "diag/ftests.h"

#include <cmath>
#include <string>

#include "diag/kruskal.h"
#include "host/host.h"
#include "numeric/distrib.h"

namespace x11sa {

namespace {

// A residual sum of squares within this share of the data's scale is what
// the subtractions leave of an exact zero; counting it as variance would
// turn a perfectly regular pattern into an astronomic F.
constexpr double kRoundoff = 1e-12;

// The probability used by the tests: upper tail of F, missing when the
// degrees of freedom leave no test.
double f_probability(double f, double df1, double df2) {
  const double p = zprbf(f, df1, df2);
  return p < 0.0 ? kMissing : p;
}

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

void open_aov_table(OdsManager& ods, const char* name, const std::string& title) {
  ods_check(ods.open_table("lum.x11.month.ft0", name, title));
  ods_check(ods.add_column(OdsColumn{"Source", msgtext(554), ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"SumOfSquares", msgtext(563), ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"DF", msgtext(564), ColType::Num, 0}));
  ods_check(ods.add_column(OdsColumn{"MeanSquare", msgtext(565), ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"FValue", msgtext(566), ColType::Num, 3}));
  ods_check(ods.add_column(OdsColumn{"ProbF", msgtext(567), ColType::Num, 4}));
}

void add_aov_row(OdsManager& ods, const std::string& source, double ss, double df, double ms, double f,
                 double prob) {
  ods_check(ods.add_row({source, cell(ss), cell(df), cell(ms), cell(f), cell(prob)}));
}

void add_probability_note(OdsManager& ods, double prob) {
  if (!is_missing(prob)) ods_check(ods.add_note(ftest_note(prob)));
}

void print_stable(X11COM* Xp) {
  const STBAOV& a = Xp->stbaov;
  OdsManager& ods = Xp->host->ods();
  open_aov_table(ods, "STABLE_FT", msgtext(184));
  const int between = Xp->op.month_f != 0 ? 350 : 354;
  add_aov_row(ods, msgtext(between), a.ss[0], a.df[0], a.ms[0], a.f, a.probf);
  add_aov_row(ods, msgtext(391), a.ss[1], a.df[1], a.ms[1], kMissing, kMissing);
  add_aov_row(ods, msgtext(392), a.ss[2], a.df[2], kMissing, kMissing, kMissing);
  add_probability_note(ods, a.probf);
  ods_check(ods.close_table());
}

void print_moving(X11COM* Xp) {
  const OUTMOV& m = Xp->outmov;
  OdsManager& ods = Xp->host->ods();
  open_aov_table(ods, "MOVING_FT", msgtext(230));
  add_aov_row(ods, msgtext(351), m.ss_years, m.df_years, m.ms_years, m.f, m.probf);
  add_aov_row(ods, msgtext(352), m.ss_error, m.df_error, m.ms_error, kMissing, kMissing);
  add_probability_note(ods, m.probf);
  ods_check(ods.close_table());
}

}  // namespace

std::string ftest_note(double prob) {
  if (is_missing(prob)) return {};
  return prob < 0.0001 ? msgtext(383) : msgtext(353, prob);
}

void x11ft(X11COM* Xp, const double* data, long first, long last, int print_f) {
  const int p = Xp->op.month_f != 0 ? 12 : 4;
  double count[12] = {};
  double sum[12] = {};
  double n = 0;
  double total = 0;
  double squares = 0;
  int j = 0;
  for (long i = first - 1; i < last; ++i) {
    const double v = data[i];
    if (!is_missing(v)) {
      count[j] += 1;
      sum[j] += v;
      n += 1;
      total += v;
      squares += v * v;
    }
    if (++j == p) j = 0;
  }
  STBAOV a;
  double f = 0;
  double prob = kMissing;
  if (n > 0) {
    const double c = total * total / n;
    double between = -c;
    for (int k = 0; k < p; ++k)
      if (count[k] > 0) between += sum[k] * sum[k] / count[k];
    const double ss_total = squares - c;
    double residual = ss_total - between;
    if (residual <= kRoundoff * squares) residual = 0.0;
    const double df_between = p - 1;
    const double df_residual = n - p;
    a.ss[0] = between;
    a.ss[1] = residual;
    a.ss[2] = ss_total;
    a.df[0] = df_between;
    a.df[1] = df_residual;
    a.df[2] = n - 1;
    a.ms[0] = between / df_between;
    a.ms[1] = df_residual > 0 ? residual / df_residual : kMissing;
    f = !is_missing(a.ms[1]) && a.ms[1] > 0.0 ? a.ms[0] / a.ms[1] : 0.0;
    prob = f_probability(f, df_between, df_residual);
  }
  a.f = f;
  a.probf = prob;
  Xp->stbaov = a;
  Xp->ftest.f[0] = f;
  Xp->ftest.p[0] = prob;
  if (print_f != 0) print_stable(Xp);
}

void x11msft(X11COM* Xp, const X11FLOW* fp, const double* series, double* work, int print_f) {
  const int p = Xp->nper;
  const bool additive = Xp->op.add_f != 0;
  const double base = additive ? 0.0 : 100.0;
  const double scale = additive ? 1.0 : 10000.0;
  // Complete years only: from the first period of the first whole year to
  // the end of the last whole year.
  const long start = fp->real_begin + (fp->firstper != 0 ? p - fp->firstper : 0);
  const long end = fp->real_end - (fp->lastper != p - 1 ? fp->lastper + 1 : 0);
  const long nyr = end > start ? (end - start) / p : 0;
  OUTMOV m;
  m.first = start;
  m.last = start + nyr * p;
  m.nyr = nyr;
  double f = 0;
  double prob = kMissing;
  if (nyr >= 2) {
    double grand = 0;
    double column[12] = {};
    for (long i = m.first, j = 0; i < m.last; ++i) {
      work[i] = std::fabs(series[i] - base);
      grand += work[i];
      column[j] += work[i];
      if (++j == p) j = 0;
    }
    const double years = static_cast<double>(nyr);
    const double mean = grand / (years * p);
    double ss_columns = 0;
    for (int j = 0; j < p; ++j) {
      const double d = column[j] / years - mean;
      ss_columns += d * d;
    }
    double ss_rows = 0;
    double ss_total = 0;
    for (long k = 0; k < nyr; ++k) {
      double year_sum = 0;
      for (long i = m.first + k * p; i < m.first + (k + 1) * p; ++i) {
        year_sum += work[i];
        ss_total += (work[i] - mean) * (work[i] - mean);
      }
      const double d = year_sum / p - mean;
      ss_rows += d * d;
    }
    m.ss_periods = years * scale * ss_columns;
    m.ss_years = p * scale * ss_rows;
    m.ss_total = scale * ss_total;
    double error = m.ss_total - m.ss_periods - m.ss_years;
    if (error <= kRoundoff * m.ss_total) error = 0.0;
    m.ss_error = error;
    m.df_years = years - 1;
    m.df_error = (p - 1) * (years - 1);
    m.ms_years = m.ss_years / m.df_years;
    m.ms_error = m.ss_error / m.df_error;
    f = m.ms_error > 0.0 ? m.ms_years / m.ms_error : 0.0;
    prob = f_probability(f, m.df_years, m.df_error);
  }
  m.f = f;
  m.probf = prob;
  Xp->outmov = m;
  Xp->ftest.f[1] = f;
  Xp->ftest.p[1] = prob;
  if (print_f != 0) print_moving(Xp);
}

void x11d8tests(X11COM* Xp, int print_flag) {
  X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  x11ft(Xp, w.d8, f.real_begin + 1, f.real_end, print_flag);
  x11msft(Xp, &f, w.d8, w.work1, print_flag);
  x11kwft(Xp, &f, w.d8, print_flag);
  x11cft(Xp, print_flag);
}

}  // namespace x11sa
