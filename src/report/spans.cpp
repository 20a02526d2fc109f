// Reports S0 (the spans), S1 (seasonal factors by span) and S7 (listings).
#include "report/spans.h"

#include <algorithm>
#include <array>
#include <limits>

#include "report/spans_internal.h"
#include "spans/spans.h"

namespace x11sa {

using namespace spans_report;

namespace {

std::string f_text(double v, int ndec) { return is_missing(v) ? std::string() : fmt::format("{:.{}f}", v, ndec); }

// The verdict of the combined test: 0 present, 1 probably not, 2 not present.
std::string verdict_text(int fail) { return msgtext(fail == 0 ? 610 : fail == 1 ? 611 : 612); }

// Means of D10 by period (rows, from FirstPer1 on) and span (columns); the
// last column is the average of the span means.
struct FactorMeans {
  int rows = 0;
  int spans = 0;
  std::array<int, 12> period{};
  std::array<std::array<double, kMaxSpans + 1>, 12> mean{};
};

FactorMeans S1Calc(const X11COM* Xp) {
  const X11SSP& sp = Xp->x11ssp;
  const int P = Xp->nper;
  FactorMeans m;
  m.rows = P;
  m.spans = sp.cnt;
  for (int j = 0; j < P; ++j) {
    m.period[j] = (sp.FirstPer1 + j) % P;
    double total = 0.0;
    int present = 0;
    for (int i = 0; i < sp.cnt; ++i) {
      double sum = 0.0;
      int n = 0;
      for (long t = sp.s_beg[i] + j; t < sp.s_end[i]; t += P) {
        const double v = sp.d10[i][t];
        if (is_missing(v)) continue;
        sum += v;
        ++n;
      }
      m.mean[j][i] = n > 0 ? sum / n : kMissing;
      if (n > 0) {
        total += m.mean[j][i];
        ++present;
      }
    }
    m.mean[j][sp.cnt] = present > 0 ? total / present : kMissing;
  }
  return m;
}

// Rows of the smallest and the largest mean of column c (-1 when none).
std::pair<int, int> MinMaxOne(const FactorMeans& m, int c) {
  int lo = -1;
  int hi = -1;
  for (int j = 0; j < m.rows; ++j) {
    const double v = m.mean[j][c];
    if (is_missing(v)) continue;
    if (lo < 0 || v < m.mean[lo][c]) lo = j;
    if (hi < 0 || v > m.mean[hi][c]) hi = j;
  }
  return {lo, hi};
}

// Smallest and largest D10 of span i.
std::pair<double, double> MinMaxTwo(const X11SSP& sp, int i) {
  double lo = kMissing;
  double hi = kMissing;
  for (long t = sp.s_beg[i]; t < sp.s_end[i]; ++t) {
    const double v = sp.d10[i][t];
    if (is_missing(v)) continue;
    if (is_missing(lo) || v < lo) lo = v;
    if (is_missing(hi) || v > hi) hi = v;
  }
  return {lo, hi};
}

// The largest difference between the span means of row j: in percent of
// the smallest in a multiplicative run.
double MaxPerDif(const FactorMeans& m, int j, bool additive) {
  double lo = kMissing;
  double hi = kMissing;
  for (int i = 0; i < m.spans; ++i) {
    const double v = m.mean[j][i];
    if (is_missing(v)) continue;
    if (is_missing(lo) || v < lo) lo = v;
    if (is_missing(hi) || v > hi) hi = v;
  }
  if (is_missing(lo)) return kMissing;
  if (additive) return hi - lo;
  return lo > 0.0 ? (hi - lo) * 100.0 / lo : kMissing;
}

// Range relative to the smallest value, in percent (multiplicative runs only).
double relative_range(double lo, double hi, bool additive) {
  if (additive || is_missing(lo) || is_missing(hi) || !(lo > 0.0)) return kMissing;
  return (hi - lo) * 100.0 / lo;
}

void S1A(X11COM* Xp, const FactorMeans& m, int ndec) {
  const X11SSP& sp = Xp->x11ssp;
  const bool additive = Xp->op.add_f != 0;
  const std::string period_word = msgtext(monthly(Xp) ? 619 : 621);
  OdsManager& ods = open_table(Xp, "lum.x11.s1a1", "SPR1_1", msgtext(613, period_word), "S 1.A");
  column(ods, "Seasons", period_word, ColType::Char);
  for (int i = 0; i < sp.cnt; ++i) {
    column(ods, fmt::format("Span{}", i + 1), msgtext(606, i + 1), ColType::Num, ndec);
    column(ods, fmt::format("Flag{}", i + 1), " ", ColType::Char);
  }
  column(ods, "Ave", "Average", ColType::Num, ndec);
  column(ods, "Flag5", " ", ColType::Char);
  column(ods, "Mpd", additive ? "Max Diff" : "Max % Diff", ColType::Num, sp.PNumDec1);
  std::array<std::pair<int, int>, kMaxSpans + 1> marks{};
  for (int c = 0; c <= sp.cnt; ++c) marks[c] = MinMaxOne(m, c);
  auto mark = [&](int j, int c) -> OdsCell {
    if (marks[c].first == j) return std::string("MIN");
    if (marks[c].second == j) return std::string("MAX");
    return std::string();
  };
  for (int j = 0; j < m.rows; ++j) {
    std::vector<OdsCell> row{period_name(Xp, m.period[j])};
    for (int c = 0; c <= sp.cnt; ++c) {
      row.push_back(cell(m.mean[j][c]));
      row.push_back(mark(j, c));
    }
    row.push_back(cell(MaxPerDif(m, j, additive)));
    ods_check(ods.add_row(std::move(row)));
  }
  ods_check(ods.add_note(msgtext(614)));
  ods_check(ods.add_note(msgtext(additive ? 616 : 615)));
  ods_check(ods.close_table());
}

void S1B(X11COM* Xp, const FactorMeans& m, int ndec) {
  const X11SSP& sp = Xp->x11ssp;
  const bool additive = Xp->op.add_f != 0;
  OdsManager& ods = open_table(Xp, "lum.x11.s1b", "SPR1_b", msgtext(617), "S 1.B");
  column(ods, "Spans", "Span", ColType::Char);
  column(ods, "RMean", "Range of Means", ColType::Num, ndec);
  column(ods, "RrMean", "Range of Means in %", ColType::Num, sp.PNumDec1);
  column(ods, "MinSf", "Minimum Factor", ColType::Num, ndec);
  column(ods, "MaxSf", "Maximum Factor", ColType::Num, ndec);
  column(ods, "RangeSf", "Range of Factors", ColType::Num, ndec);
  column(ods, "RrSf", "Range of Factors in %", ColType::Num, sp.PNumDec1);
  std::array<double, 6> sum{};
  std::array<int, 6> present{};
  for (int i = 0; i < sp.cnt; ++i) {
    const auto [mlo, mhi] = MinMaxOne(m, i);
    const double lo_mean = mlo >= 0 ? m.mean[mlo][i] : kMissing;
    const double hi_mean = mhi >= 0 ? m.mean[mhi][i] : kMissing;
    const auto [lo, hi] = MinMaxTwo(sp, i);
    const std::array<double, 6> v = {
        is_missing(lo_mean) ? kMissing : hi_mean - lo_mean, relative_range(lo_mean, hi_mean, additive), lo, hi,
        is_missing(lo) ? kMissing : hi - lo, relative_range(lo, hi, additive)};
    std::vector<OdsCell> row{msgtext(606, i + 1)};
    for (std::size_t k = 0; k < v.size(); ++k) {
      row.push_back(cell(v[k]));
      if (!is_missing(v[k])) {
        sum[k] += v[k];
        ++present[k];
      }
    }
    ods_check(ods.add_row(std::move(row)));
  }
  std::vector<OdsCell> ave{msgtext(618)};
  for (std::size_t k = 0; k < sum.size(); ++k) {
    if (present[k] > 0) {
      ave.emplace_back(sum[k] / present[k]);
    } else {
      ave.emplace_back();
    }
  }
  ods_check(ods.add_row(std::move(ave)));
  ods_check(ods.close_table());
}

// The listing of series s.
void S7Print(X11COM* Xp, int s, int width, int ndec) {
  static constexpr const char* kIds[kSpanSeries] = {"S 7.A", "S 7.B", "S 7.C", "S 7.D", "S 7.E"};
  const X11SSP& sp = Xp->x11ssp;
  OdsManager& ods = open_table(Xp, "lum.x11.sp7x", "SPR7_X", msgtext(645, kIds[s], series_name(Xp, s)), kIds[s]);
  column(ods, "Date", "Date", ColType::Char);
  for (int i = 0; i < sp.cnt; ++i) column(ods, fmt::format("Span{}", i + 1), msgtext(606, i + 1), ColType::Num, ndec);
  column(ods, "SignChange", "Sign Change", ColType::Char);
  column(ods, "TurningPoint", "Turning Point", ColType::Char);
  column(ods, "MaxPerDif", Xp->op.add_f != 0 || s >= 3 ? "Max Diff" : "Max % Diff", ColType::Num,
         spread_decimals(Xp, s));
  column(ods, "LevelOfExcess", "Level of Excess", ColType::Char);
  const std::vector<double>& spread = span_spreads(sp, s);
  double lo = kMissing;
  double hi = kMissing;
  double date = sp.b_date[0];
  for (long t = sp.s_beg[0]; t < sp.pd_end; ++t) {
    std::vector<OdsCell> row{date_text(Xp, date)};
    for (int i = 0; i < sp.cnt; ++i) {
      const double v = sp.s_beg[i] <= t && t < sp.s_end[i] ? span_values(sp, s, i)[t] : kMissing;
      row.push_back(cell(v));
      if (is_missing(v)) continue;
      if (is_missing(lo) || v < lo) lo = v;
      if (is_missing(hi) || v > hi) hi = v;
    }
    const int sign = sp.SignChange[s][t];
    const int turn = sp.TurningPoint[s][t];
    const int excess = sp.ExceedFlag[s][t];
    row.emplace_back(std::string(sign == 1 ? "U" : sign == 2 ? "D" : ""));
    row.emplace_back(std::string(turn == -1 ? "U-D" : turn == 1 ? "D-U" : ""));
    row.push_back(cell(spread[t]));
    row.emplace_back(excess > 0 ? span_range_code(s, excess) : std::string());
    ods_check(ods.add_row(std::move(row)));
    date = zintnx(interval(Xp), date, 1);
  }
  if (!is_missing(lo))
    ods_check(ods.add_note(
        msgtext(647, fmt::format("{:{}.{}f}   to   {:{}.{}f}", lo, width, ndec, hi, width, ndec))));
  if (s != 2) ods_check(ods.add_note(msgtext(648)));
  if (sp.cnt >= 3) ods_check(ods.add_note(msgtext(649)));
  ods_check(ods.add_note(msgtext(650, kSpanSymbols[s])));
  ods_check(ods.close_table());
}

}  // namespace

void x11spr0(X11COM* Xp, int ndec) {
  const X11SSP& sp = Xp->x11ssp;
  OdsManager& ods = open_table(Xp, "lum.x11.s0a1", "SPR0A_1", msgtext(217, sp.vs), "S 0.A.1");
  column(ods, "DESCR", " ", ColType::Char);
  column(ods, "NUM", " ", ColType::Num, 0);
  ods_check(ods.add_row({msgtext(600, msgtext(monthly(Xp) ? 602 : 603)), static_cast<double>(sp.len)}));
  ods_check(ods.add_row({msgtext(601), static_cast<double>(sp.cnt)}));
  if (sp.cnt < kMaxSpans) ods_check(ods.add_note(msgtext(187)));
  ods_check(ods.close_table());

  open_table(Xp, "lum.x11.s0a2", "SPR0A_2", msgtext(604), "S 0.A.2");
  column(ods, "Span", "Span", ColType::Num, 0);
  column(ods, "BEGIN", "Begin", ColType::Char);
  column(ods, "End", "End", ColType::Char);
  for (int i = 0; i < sp.cnt; ++i)
    ods_check(ods.add_row({static_cast<double>(i + 1), date_text(Xp, sp.b_date[i]), date_text(Xp, sp.e_date[i])}));
  ods_check(ods.close_table());

  open_table(Xp, "lum.x11.s0b", "SPR0B", msgtext(605), "S 0.B");
  column(ods, "Type", " ", ColType::Char);
  for (int i = 0; i < sp.cnt; ++i) column(ods, fmt::format("Span{}", i + 1), msgtext(606, i + 1), ColType::Char);
  std::vector<OdsCell> stable{msgtext(607)};
  std::vector<OdsCell> moving{msgtext(608)};
  std::vector<OdsCell> combined{msgtext(609)};
  for (int i = 0; i < sp.cnt; ++i) {
    stable.emplace_back(f_text(sp.st_seas[i], ndec));
    moving.emplace_back(f_text(sp.mov_seas[i], ndec));
    combined.emplace_back(verdict_text(sp.cftest[i]));
  }
  ods_check(ods.add_row(std::move(stable)));
  ods_check(ods.add_row(std::move(moving)));
  ods_check(ods.add_row(std::move(combined)));
  ods_check(ods.close_table());
}

void x11spr1(X11COM* Xp, int ndec) {
  const FactorMeans m = S1Calc(Xp);
  S1A(Xp, m, ndec);
  S1B(Xp, m, ndec);
}

void x11spr7(X11COM* Xp, int width, int ndec) {
  for (int s = 0; s < kSpanSeries; ++s)
    if (span_series_active(Xp, s)) S7Print(Xp, s, width, ndec);
}

}  // namespace x11sa
