#include "diag/f2.h"

#include <algorithm>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "diag/etables.h"
#include "diag/fsummary.h"
#include "host/host.h"

namespace x11sa {

namespace {

bool td_in_force(const X11COM* Xp) {
  return Xp->tdregr == 2 || (Xp->tdregr == 3 && Xp->op.ftest_f != 0) || Xp->op.pdwgt_f != 0;
}

// Span statistics of one series, monthly or quarterly.
void span_stats(X11COM* Xp, double* r, const double* s, long begin, long end, int type) {
  if (Xp->op.month_f != 0) {
    x11sum(Xp, r, s, begin, end, type);
  } else {
    x11sumq(Xp, r, s, begin + 1, end, type);
  }
}

// The span statistics of every series of the tables.
void sum(X11COM* Xp, F2SUMMARY* f, const double* b1, const double* a2, const double* c18, const double* d10,
         const double* d11, const double* e1, const double* e2, const double* e3, const double* f1,
         const double* d12p, const double* d13p, long begin, long end, long first, long last) {
  const bool monthly = Xp->op.month_f != 0;
  span_stats(Xp, f->o, b1, begin, end, 2);
  std::fill(std::begin(f->p), std::end(f->p), 0.0);
  std::fill(std::begin(f->td), std::end(f->td), 0.0);
  if (monthly && Xp->vn_pmf >= 0) span_stats(Xp, f->p, a2, begin, end, 1);
  if (monthly && td_in_force(Xp)) span_stats(Xp, f->td, c18, begin, end, 1);
  span_stats(Xp, f->s, d10, begin, end, 2);
  span_stats(Xp, f->ci, d11, begin, end, 3);
  span_stats(Xp, f->e1, e1, begin, end, 4);
  span_stats(Xp, f->e2, e2, begin, end, 4);
  span_stats(Xp, f->e3, e3, begin, end, 4);
  span_stats(Xp, f->mcd, f1, first, last, 3);
  std::copy(d12p, d12p + 48, f->c);
  std::copy(d13p, d13p + 48, f->i);
}

// F2.B: the relative contributions of the components to the squared change.
void changesum(X11COM* Xp, F2SUMMARY* f) {
  const bool monthly = Xp->op.month_f != 0;
  for (int k = 0; k < f->spans; ++k) {
    const int sq = 12 + k;
    double total = f->i[sq] + f->c[sq] + f->s[sq];
    if (monthly) total += f->p[sq] + f->td[sq];
    const double to_percent = total > 0.0 ? 100.0 / total : 0.0;
    f->share_i[k] = f->i[sq] * to_percent;
    f->share_c[k] = f->c[sq] * to_percent;
    f->share_s[k] = f->s[sq] * to_percent;
    f->share_p[k] = monthly ? f->p[sq] * to_percent : kMissing;
    f->share_td[k] = monthly ? f->td[sq] * to_percent : kMissing;
    f->total[k] = total > 0.0 ? 100.0 : 0.0;
    f->total_squares[k] = total;
    f->ratio[k] = f->o[sq] > 0.0 ? total * 100.0 / f->o[sq] : kMissing;
  }
}

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

std::string span_label(int k) { return fmt::format("{}", k + 1); }

void table_a(X11COM* Xp, const F2SUMMARY& f) {
  OdsManager& ods = Xp->host->ods();
  const bool monthly = Xp->op.month_f != 0;
  ods_check(ods.open_table("lum.x11.month.f2a", "F2A", msgtext(Xp->op.add_f != 0 ? 321 : 320)));
  const char* labels[12] = {"Span", "O",   "CI", "I", "C", "S", "P", "TD", monthly ? "MCD" : "QCD",
                            "Mod. O", "Mod. CI", "Mod. I"};
  for (int c = 0; c < 12; ++c)
    ods_check(ods.add_column(OdsColumn{fmt::format("F2A_C{}", c + 1), labels[c], ColType::Num, c == 0 ? 0 : 2}));
  for (int k = 0; k < f.spans; ++k)
    ods_check(ods.add_row({static_cast<double>(k + 1), f.o[k], f.ci[k], f.i[k], f.c[k], f.s[k], f.p[k], f.td[k],
                           f.mcd[k], f.e1[k], f.e2[k], f.e3[k]}));
  ods_check(ods.close_table());
}

void table_b(X11COM* Xp, const F2SUMMARY& f) {
  OdsManager& ods = Xp->host->ods();
  const bool monthly = Xp->op.month_f != 0;
  ods_check(ods.open_table("lum.x11.month.f2b", "F2B", msgtext(322)));
  const struct {
    const char* name;
    const char* label;
    bool quarterly;
  } columns[] = {{"F2B_C1", "Span", true}, {"F2B_C2", "I", true},     {"F2B_C3", "C", true},
                 {"F2B_C4", "S", true},    {"F2B_C5", "P", false},    {"F2B_C6", "TD", false},
                 {"F2B_C7", "Total", true}, {"F2B_C8", "Ratio (x100)", true}};
  for (std::size_t c = 0; c < std::size(columns); ++c)
    if (monthly || columns[c].quarterly)
      ods_check(ods.add_column(OdsColumn{columns[c].name, columns[c].label, ColType::Num, c == 0 ? 0 : 2}));
  for (int k = 0; k < f.spans; ++k) {
    std::vector<OdsCell> row{static_cast<double>(k + 1), f.share_i[k], f.share_c[k], f.share_s[k]};
    if (monthly) {
      row.emplace_back(f.share_p[k]);
      row.emplace_back(f.share_td[k]);
    }
    row.emplace_back(f.total[k]);
    row.push_back(cell(f.ratio[k]));
    ods_check(ods.add_row(std::move(row)));
  }
  for (int k = 0; k < f.spans; ++k)
    if (is_missing(f.ratio[k])) ods_check(ods.add_note(msgtext(330, k + 1)));
  ods_check(ods.close_table());
}

void table_c(X11COM* Xp, const F2SUMMARY& f) {
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("lum.x11.month.f2c", "F2C", msgtext(323)));
  const char* labels[4] = {"CI", "I", "C", Xp->op.month_f != 0 ? "MCD" : "QCD"};
  for (int c = 0; c < 4; ++c)
    ods_check(ods.add_column(OdsColumn{fmt::format("F2C_C{}", c + 1), labels[c], ColType::Num, 2}));
  ods_check(ods.add_row({f.dur_ci, f.dur_i, f.dur_c, f.dur_mcd}));
  ods_check(ods.close_table());
}

void table_d(X11COM* Xp, const F2SUMMARY& f) {
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("lum.x11.month.f2d", "F2D", msgtext(324)));
  std::vector<OdsCell> row;
  for (int k = 0; k < f.spans; ++k) {
    ods_check(ods.add_column(OdsColumn{fmt::format("F2D_C{}", k + 1), span_label(k), ColType::Num, 2}));
    row.push_back(cell(f.ic[k]));
  }
  ods_check(ods.add_row(std::move(row)));
  for (int k = 0; k < f.spans; ++k)
    if (is_missing(f.ic[k])) ods_check(ods.add_note(msgtext(329, k + 1)));
  ods_check(ods.add_note(msgtext(Xp->op.month_f != 0 ? 325 : 326, f.mcd_span)));
  ods_check(ods.close_table());
}

void table_f(X11COM* Xp, const F2SUMMARY& f) {
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("lum.x11.month.f2f", "F2F", msgtext(Xp->op.add_f != 0 ? 328 : 327)));
  ods_check(ods.add_column(OdsColumn{"F2F_C1", "Span", ColType::Num, 0}));
  const char* names[6] = {"O", "I", "C", "S", "CI", Xp->op.month_f != 0 ? "MCD" : "QCD"};
  for (int c = 0; c < 6; ++c) {
    ods_check(ods.add_column(
        OdsColumn{fmt::format("F2F_C{}", 2 * c + 2), fmt::format("{} Avg", names[c]), ColType::Num, 2}));
    ods_check(ods.add_column(
        OdsColumn{fmt::format("F2F_C{}", 2 * c + 3), fmt::format("{} S.D.", names[c]), ColType::Num, 2}));
  }
  const double* series[6] = {f.o, f.i, f.c, f.s, f.ci, f.mcd};
  for (int k = 0; k < f.spans; ++k) {
    std::vector<OdsCell> row{static_cast<double>(k + 1)};
    for (const double* r : series) {
      row.emplace_back(r[24 + k]);
      row.emplace_back(r[36 + k]);
    }
    ods_check(ods.add_row(std::move(row)));
  }
  ods_check(ods.close_table());
}

}  // namespace

void x11f2(X11COM* Xp, const double* b1, const double* a2, const double* c18, const double* d10,
           const double* d11, const double* d12, const double* d13, const double* e1, const double* e2,
           const double* e3, const double* f1, const double* d12p, const double* d13p, long begin, long end,
           long first, long last, int mcd, F2SUMMARY* out) {
  F2SUMMARY& f = *out;
  f.spans = Xp->op.month_f != 0 ? 12 : 4;
  sum(Xp, &f, b1, a2, c18, d10, d11, e1, e2, e3, f1, d12p, d13p, begin, end, first, last);
  changesum(Xp, &f);
  x11avr(d11, begin, end, &f.dur_ci);
  x11avr(d13, begin, end, &f.dur_i);
  x11avr(d12, begin, end, &f.dur_c);
  x11avr(f1, first, last, &f.dur_mcd);
  std::fill(std::begin(f.ic), std::end(f.ic), kMissing);
  for (int k = 0; k < f.spans; ++k)
    if (f.c[k] > 0.0) f.ic[k] = f.i[k] / f.c[k];
  f.mcd_span = mcd;
}

void x11f2p(X11COM* Xp, const double* b1, const double* a2, const double* c18, const double* d10,
            const double* d11, const double* d12, const double* d13, const double* e1, const double* e2,
            const double* e3, const double* f1, const double* d12p, const double* d13p, long begin, long end,
            long first, long last, int mcd) {
  F2SUMMARY f;
  x11f2(Xp, b1, a2, c18, d10, d11, d12, d13, e1, e2, e3, f1, d12p, d13p, begin, end, first, last, mcd, &f);
  table_a(Xp, f);
  table_b(Xp, f);
  table_c(Xp, f);
  table_d(Xp, f);
  table_f(Xp, f);
}

}  // namespace x11sa
