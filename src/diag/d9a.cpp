#include "diag/d9a.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <fmt/format.h>

#include "host/host.h"

namespace x11sa {

namespace {

// Below this the seasonal change leaves the ratio undefined.
constexpr double kTiny = 1.110223024625157e-16;

double mean(const double* x, long n) {
  double s = 0;
  for (long k = 0; k < n; ++k) s += x[k];
  return s / static_cast<double>(n);
}

// The mean absolute change from one value of `x` to the next over the n
// values from x[0]; in a multiplicative run each change is a percentage of
// `level` at the later value.
double mean_change(const double* x, const double* level, long n, bool multiplicative) {
  double s = 0;
  for (long j = 1; j < n; ++j) {
    double change = std::fabs(x[j] - x[j - 1]);
    if (multiplicative) change *= 100.0 / std::fabs(level[j]);
    s += change;
  }
  return s / static_cast<double>(n - 1);
}

// D9A of one period whose n values are in w1[3 .. 3 + n).
D9ARATIO one_period(double* w1, double* w2, long n, bool multiplicative) {
  D9ARATIO r;
  r.values = n;
  if (n < 2) return r;
  // Extend the column by three values at each end: the mean of its first
  // (last) three values, or of all of them when there are fewer.
  const long ends = std::min(n, 3L);
  const double head = mean(w1 + 3, ends);
  const double tail = mean(w1 + 3 + n - ends, ends);
  for (long k = 0; k < 3; ++k) {
    w1[k] = head;
    w1[n + 3 + k] = tail;
  }
  // Seasonal: a seven-term moving average; its mean change.
  for (long j = 0; j < n; ++j) w2[3 + j] = mean(w1 + j, 7);
  const double* s = w2 + 3;
  r.sbar = mean_change(s, s, n, multiplicative);
  // Irregular: the values divided by (less) the seasonal; its mean change,
  // in percent of the irregular in a multiplicative run.
  for (long j = 0; j < n; ++j) w2[3 + j] = multiplicative ? w1[3 + j] / w2[3 + j] * 100.0 : w1[3 + j] - w2[3 + j];
  r.ibar = mean_change(s, s, n, multiplicative);
  if (r.sbar > kTiny && r.ibar < 999.99 * r.sbar) r.ratio = r.ibar / r.sbar;
  return r;
}

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

}  // namespace

void x11d9a(X11COM* Xp, const double* d9, double* w1, double* w2, long begin, long end, D9ARATIO out[12]) {
  const int m = Xp->nper;
  const bool multiplicative = Xp->op.add_f == 0;
  for (int k = 0; k < m; ++k) {
    long n = 0;
    for (long i = begin + k; i < end; i += m) w1[3 + n++] = d9[i];
    out[k] = one_period(w1, w2, n, multiplicative);
  }
}

void x11d9p(X11COM* Xp, const double* d9, double* w1, double* w2, long begin, long end, int firstper) {
  const int m = Xp->nper;
  const bool monthly = Xp->op.month_f != 0;
  D9ARATIO by_processing[12];
  x11d9a(Xp, d9, w1, w2, begin, end, by_processing);
  // Columns are the periods of the year; the k-th processed period is
  // period firstper + k.
  D9ARATIO by_period[12];
  for (int k = 0; k < m; ++k) by_period[(firstper + k) % m] = by_processing[k];

  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table(monthly ? "lum.x11.month.d9a" : "lum.x11.qtr.d9a", "D9A", msgtext(282)));
  ods_check(ods.add_column(OdsColumn{"D9A_C1", " ", ColType::Char, -1}));
  auto period_name = [&](int j) { return monthly ? msgtext(231 + j) : fmt::format("Q{}", j + 1); };
  for (int j = 0; j < m; ++j)
    ods_check(ods.add_column(OdsColumn{fmt::format("D9A_C{}", j + 2), period_name(j), ColType::Num, 3}));
  const struct {
    int label;
    double D9ARATIO::*field;
  } rows[] = {{283, &D9ARATIO::ibar}, {284, &D9ARATIO::sbar}, {285, &D9ARATIO::ratio}};
  for (const auto& r : rows) {
    std::vector<OdsCell> row{msgtext(r.label)};
    for (int j = 0; j < m; ++j) row.push_back(cell(by_period[j].*r.field));
    ods_check(ods.add_row(std::move(row)));
  }
  for (int j = 0; j < m; ++j)
    if (by_period[j].values < 2) ods_check(ods.add_note(msgtext(286, period_name(j))));
  ods_check(ods.close_table());
}

}  // namespace x11sa
