#include "diag/kruskal.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "host/exit.h"
#include "host/host.h"
#include "numeric/distrib.h"

namespace x11sa {

namespace {

// Below this the stable F leaves T1 and T2 undefined.
constexpr double kTinyF = 1.110223024625157e-16;

// A value and its group: its position from the start of the stretch
// modulo the number of groups.
using Ranked = std::pair<double, int>;

// Orders the values ascending by exchange: each position takes in turn
// every later element that is strictly smaller. Equal values are never
// exchanged, which fixes where ties end up.
void exchange_sort(std::vector<Ranked>& v) {
  const std::size_t n = v.size();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      if (v[j].first < v[i].first) std::swap(v[i], v[j]);
}

// The values of the stretch in the order of the exchange sort. Without
// ties every sort gives that order, so the quadratic pass is needed only
// when two values are equal.
void rank_order(const double* x, long start, long end, int nseas, std::vector<Ranked>& v) {
  const auto in_input_order = [&] {
    v.clear();
    int g = 0;
    for (long i = start; i <= end; ++i) {
      if (!is_missing(x[i])) v.emplace_back(x[i], g);
      if (++g == nseas) g = 0;
    }
  };
  in_input_order();
  std::sort(v.begin(), v.end());
  for (std::size_t k = 1; k < v.size(); ++k)
    if (!(v[k - 1].first < v[k].first)) {
      in_input_order();
      exchange_sort(v);
      return;
    }
}

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

bool not_below(double p, double level) { return is_missing(p) || p >= level; }

int verdict(double t_1, double t_2, double t, double p_stabl, double p_mov, double p_kw) {
  if (not_below(p_stabl, 0.001)) return 2;
  if (not_below(p_mov, 0.05) || (!is_missing(t) && t < 1.0)) {
    const bool doubtful = is_missing(t_1) || t_1 >= 1.0 || is_missing(t_2) || t_2 >= 1.0 ||
                          not_below(p_kw, 0.001);
    return doubtful ? 1 : 0;
  }
  return 2;
}

void print_combined(X11COM* Xp, double t_1, double t_2, double t, double p_stabl, double p_mov,
                    double p_kw, int result) {
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("Lum.Common.CombinedSeasonalityTest", "CombinedSeasonalityTest", msgtext881(200)));
  ods_check(ods.add_column(OdsColumn{"Name1", " ", ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"Label1", msgtext881(212), ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"nValue1", msgtext881(213), ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"cValue1", " ", ColType::Char, -1}));
  const struct {
    const char* name;
    int label;
    double value;
  } rows[] = {{"P_STABLE", 205, p_stabl}, {"P_MOV", 206, p_mov}, {"P_KW", 207, p_kw},
              {"T1", 208, t_1},           {"T2", 209, t_2},     {"T", 211, t}};
  for (const auto& r : rows)
    ods_check(ods.add_row({std::string(r.name), msgtext881(r.label), cell(r.value), std::string()}));
  static constexpr int kVerdictText[3] = {204, 202, 203};
  ods_check(ods.add_row({std::string("IDSeasTest"), msgtext881(201), OdsCell{}, msgtext881(kVerdictText[result])}));
  ods_check(ods.close_table());
}

}  // namespace

int zkwtest(const double* xIn, long start, long end, int nseas, KWSTATS* kwstats, int* rc2) {
  *rc2 = 0;
  kwstats->df = nseas - 1;
  kwstats->stat = kMissing;
  kwstats->prob = kMissing;
  kwstats->level = kMissing;
  std::vector<Ranked> ranked;
  std::vector<double> sums;  // rank sums, then counts, per group
  try {
    ranked.reserve(static_cast<std::size_t>(std::max(0L, end - start + 1)));
    sums.assign(2 * static_cast<std::size_t>(nseas), 0.0);
    rank_order(xIn, start, end, nseas, ranked);
  } catch (const std::bad_alloc&) {
    *rc2 = 1;
    return -2;
  }
  if (ranked.empty()) return 0;
  double* rank_sum = sums.data();
  double* count = sums.data() + nseas;
  for (std::size_t k = 0; k < ranked.size(); ++k) {
    const auto group = static_cast<std::size_t>(ranked[k].second);
    rank_sum[group] += static_cast<double>(k + 1);
    count[group] += 1;
  }
  const double n = static_cast<double>(ranked.size());
  double sum = 0;
  for (int g = 0; g < nseas; ++g)
    if (count[g] > 0) sum += rank_sum[g] * rank_sum[g] / count[g];
  const double h = 12.0 / (n * (n + 1.0)) * sum - 3.0 * (n + 1.0);
  kwstats->stat = h;
  kwstats->prob = zkwprob(h, kwstats->df);
  kwstats->level = kwstats->prob * 100.0;
  return 0;
}

double zkwprob(double h, long df) {
  if (h <= 0.0) return 1.0;
  if (h >= 90.0) return 0.0;
  double p = 0;
  if (df % 2 == 0) {
    // exp(-h/2) times the sum of (h/2)^k / k! for k < df/2.
    double term = 1.0;
    double sum = 1.0;
    for (long k = 1; k < df / 2; ++k) {
      term *= h / 2.0 / static_cast<double>(k);
      sum += term;
    }
    p = std::exp(-h / 2.0) * sum;
  } else {
    // Twice the normal tail at sqrt(h), plus the odd-order terms h^k / (1 x 3 x ... x (2k - 1)).
    const double root = std::sqrt(h);
    double term = 1.0;
    double sum = 0.0;
    for (long k = 1; k <= (df - 1) / 2; ++k) {
      term *= h / static_cast<double>(2 * k - 1);
      sum += term;
    }
    p = (1.0 - zgauss(root)) + 0.797884560802864 * std::exp(-h / 2.0) / root * sum;
  }
  // The normal integral is an approximation good to about 1e-9; keep the
  // result a probability.
  return std::clamp(p, 0.0, 1.0);
}

void x11kwft(X11COM* Xp, const X11FLOW* fp, const double* series, int PrintFlag) {
  const int nseas = Xp->op.month_f != 0 ? 12 : 4;
  int rc2 = 0;
  if (zkwtest(series, fp->real_begin, fp->real_end - 1, nseas, &Xp->kwstats, &rc2) != 0) {
    Xp->host->log().error("There is not enough memory for the Kruskal-Wallis test.");
    raise_level(Xp, 1012);
    xexit(Xp->exitlvl);
  }
  if (PrintFlag != 0) zkwtable(Xp, &Xp->kwstats);
}

void zkwtable(X11COM* Xp, const KWSTATS* kwstats) {
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("Lum.Common.KruskalWallisTest", "KruskalWallisTest", msgtext(355)));
  ods_check(ods.add_column(OdsColumn{"KW_ST", msgtext(356), ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"KW_DF", msgtext(564), ColType::Num, 0}));
  ods_check(ods.add_column(OdsColumn{"KW_PR", msgtext(357), ColType::Num, 4}));
  ods_check(ods.add_row({cell(kwstats->stat), static_cast<double>(kwstats->df), cell(kwstats->prob)}));
  ods_check(ods.close_table());
}

void x11cft(X11COM* Xp, int PrintFlag) {
  FTEST& ft = Xp->ftest;
  const double fs = ft.f[0];
  const double fm = ft.f[1];
  ft.t1 = kMissing;
  ft.t2 = kMissing;
  ft.t = kMissing;
  if (fs > kTinyF) {
    ft.t1 = 7.0 / fs;
    if (!is_missing(fm)) {
      ft.t2 = 3.0 * fm / fs;
      ft.t = (ft.t1 + ft.t2) / 2.0;
    }
  }
  ft.fail = zctidsea(Xp, ft.t1, ft.t2, ft.t, ft.p[0], ft.p[1], Xp->kwstats.prob, PrintFlag);
}

int zctidsea(X11COM* Xp, double t_1, double t_2, double t, double p_stabl, double p_mov, double p_kw,
             int Print) {
  const int result = verdict(t_1, t_2, t, p_stabl, p_mov, p_kw);
  if (Print != 0) print_combined(Xp, t_1, t_2, t, p_stabl, p_mov, p_kw, result);
  return result;
}

}  // namespace x11sa
