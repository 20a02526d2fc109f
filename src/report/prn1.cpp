#include "report/prn1.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <fmt/format.h>

#include "host/host.h"

namespace x11sa {

namespace {

double fuzzed(const X11COM* Xp, double v) { return std::fabs(v) <= Xp->fuzz ? 0.0 : v; }

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
          PeriodColumn c{msgtext(231 + j), msgtext(231 + j)};
          for (char& ch : c.name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
          m.push_back(std::move(c));
        }
        return m;
      }()};
  return kColumns[monthly ? 1 : 0];
}

}  // namespace

std::string NameMsg(int title) {
  struct Range {
    int lo, hi;
    const char* names;
  };
  // Title messages and the tables they head, in title order.
  static constexpr Range kRanges[] = {
      {100, 102, "A1 A2 A3"},
      {104, 114, "B1 B2 B3 B4 B5 B6 B7 B8 B9 B10 B11"},
      {115, 121, "B13 B14 B15 B16 B17 B18 B19"},
      {122, 123, "C1 C2"},
      {124, 127, "C4 C5 C6 C7"},
      {128, 137, "C9 C10 C11 C13 C14 C15 C16 C17 C18 C19"},
      {138, 139, "D1 D2"},
      {140, 149, "D4 D5 D6 D7 D8 D9 D10 D11 D12 D13"},
      {150, 152, "E1 E2 E3"},
      {154, 155, "E5 E6"},
      {156, 156, "F1"},
      {159, 159, "B1"},
      {161, 162, "E5 E6"},
      {163, 163, "A5"},
      {166, 167, "A4 A4"},
      {168, 170, "A7 A8 A8"},
      {171, 177, "A9 A10 A11 A12 A13 A14 A15"},
      {180, 183, "B7 C7 D7 D12"},
      {226, 226, "F1"},
  };
  for (const auto& r : kRanges) {
    if (title < r.lo || title > r.hi) continue;
    std::string_view names = r.names;
    for (int k = r.lo; k < title; ++k) names.remove_prefix(names.find(' ') + 1);
    std::string name(names.substr(0, names.find(' ')));
    while (name.size() < 3) name.push_back(' ');
    return name;
  }
  return "XXX";
}

int fill(X11COM* Xp, int per, int freq, int totflag, int sumflag, long& n, const double*& x,
         TOTALS* t, double cells[12], double* row_stat) {
  for (int j = 0; j < 12; ++j) cells[j] = kMissing;
  double count = 0;
  double sum = 0;
  double sumsq = 0;
  // The grand sums run in locals: `x` may alias the accumulators as far as
  // the compiler knows, which would send every step through memory.
  double tn = t->tn;
  double tt = t->tt;
  double ts = t->ts;
  for (int j = per; j < freq && n > 0; ++j, --n, ++x) {
    const double v = *x;
    if (is_missing(v)) continue;
    cells[j] = v;
    count += 1;
    sum += v;
    sumsq += v * v;
    if (sumflag != 0) {
      t->xn[j] += 1;
      t->xt[j] += v;
      t->xs[j] += v * v;
      tn += 1;
      tt += v;
      if (sumflag > 1) ts += v * v;
    }
  }
  t->tn = tn;
  t->tt = tt;
  t->ts = ts;
  const double base = Xp->op.add_f != 0 ? 0.0 : 100.0;
  double stat = kMissing;
  if (count > 0) {
    switch (totflag) {
      case 1:
        stat = fuzzed(Xp, sum);
        break;
      case 2:
        stat = fuzzed(Xp, sum / count);
        break;
      case 3:
        stat = fuzzed(Xp, rms_from_base(sumsq, sum, count, base));
        break;
      default:
        break;
    }
  }
  *row_stat = stat;
  return count > 0 ? 0 : 1;
}

// Decimals for the numbers of a table: NDEC= when given, none for whole
// numbers, else as many as keep about seven significant digits (at most three).
// The values themselves decide: the statistics and the summary row follow them.
int choose_decimals(const double* x, long n, int ndec) {
  if (ndec >= 0) return ndec;
  double largest = 0;
  bool whole = true;
  for (long i = 0; i < n; ++i) {
    if (!std::isfinite(x[i])) continue;  // missing values among them
    const double a = std::fabs(x[i]);
    largest = std::max(largest, a);
    if (whole && std::fabs(a - round_half_even(a)) > 1e-9 * std::max(1.0, a)) whole = false;
  }
  if (whole) return 0;
  if (largest < 1e4) return 3;
  if (largest < 1e5) return 2;
  if (largest < 1e6) return 1;
  return 0;
}

void x11prn1(X11COM* Xp, int title, int totcol, int totrow, int sumflag, int startyr, int startper,
             long n, const double* x, int iarg, double farg, int ttype) {
  OdsManager& ods = Xp->host->ods();
  const bool monthly = Xp->op.month_f != 0;
  const int p = monthly ? 12 : 4;
  const bool plain = ttype == 4;
  const bool summary = ttype == 0 || ttype == 1 || ttype == 3;
  const double base = Xp->op.add_f != 0 ? 0.0 : 100.0;
  const int dec = choose_decimals(x, n, Xp->ndec);
  // Means and deviations of whole numbers are not whole.
  const int stat_dec = Xp->ndec >= 0 ? Xp->ndec : std::max(dec, 3);

  const char* tmpl = monthly ? (plain ? "lum.x11.month.type5" : "lum.x11.month.type1")
                             : (plain ? "lum.x11.qtr.type5" : "lum.x11.qtr.type1");
  std::string name = NameMsg(title);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  ods_check(ods.open_table(tmpl, name, msgtext(title, farg, iarg)));
  static constexpr int kStatLabel[4] = {251, 252, 254, 253};
  static constexpr int kSummaryLabel[4] = {0, 251, 252, 253};
  if (!plain) ods_check(ods.set_entry("stat_type", msgtext(kStatLabel[ttype])));
  if (summary && totrow >= 1 && totrow <= 3) {
    ods_check(ods.set_entry("summary", msgtext(kSummaryLabel[totrow])));
    ods_check(ods.set_entry("summary_decimals", std::to_string(stat_dec)));
  }
  ods_check(ods.add_column(OdsColumn{"Year", msgtext(200), ColType::Num, 0}));
  for (const PeriodColumn& c : period_columns(monthly)) ods_check(ods.add_column(OdsColumn{c.name, c.label, ColType::Num, dec}));
  ods_check(ods.add_column(OdsColumn{"ControlVar", " ", ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"Stat", plain ? std::string() : msgtext(kStatLabel[ttype]), ColType::Num,
                                     totcol == 1 ? dec : stat_dec}));
  TOTALS t;
  const long nrows = (startper + n + p - 1) / p;
  int year = startyr;
  int per = startper;
  double cells[12];
  for (long r = 0; r < nrows; ++r, ++year, per = 0) {
    double stat = kMissing;
    fill(Xp, per, p, totcol, sumflag, n, x, &t, cells, &stat);
    std::vector<OdsCell> row = ods.new_row();
    row.emplace_back(static_cast<double>(year));
    for (int j = 0; j < p; ++j) row.push_back(cell(cells[j]));
    row.emplace_back(std::string(" "));
    row.push_back(cell(stat));
    ods_check(ods.add_row(std::move(row)));
  }
  if (summary) {
    std::vector<OdsCell> row = ods.new_row();
    row.emplace_back(ttype == 3 ? -2.0 : -1.0);
    for (int j = 0; j < p; ++j) {
      double v = kMissing;
      if (t.xn[j] > 0) {
        switch (totrow) {
          case 1:
            v = std::fabs(t.xt[j]) <= 1e-8 ? 0.0 : t.xt[j];
            break;
          case 2:
            v = fuzzed(Xp, t.xt[j] / t.xn[j]);
            break;
          case 3:
            v = fuzzed(Xp, rms_from_base(t.xs[j], t.xt[j], t.xn[j], base));
            break;
          default:
            break;
        }
      }
      row.push_back(cell(v));
    }
    row.emplace_back(std::string("-"));
    row.emplace_back();
    ods_check(ods.add_row(std::move(row)));
  }
  if (summary) {
    double total = kMissing;
    double mean = kMissing;
    double dev = kMissing;
    if (t.tn > 0) {
      total = fuzzed(Xp, t.tt);
      if (sumflag > 1) {
        mean = fuzzed(Xp, t.tt / t.tn);
        dev = fuzzed(Xp, rms_from_base(t.ts, t.tt, t.tn, base));
      }
    }
    auto num = [&](double v) { return is_missing(v) ? std::string(".") : format_cell(OdsCell{v}, stat_dec); };
    ods_check(ods.add_note(msgtext(ttype == 1 ? 260 : 261, num(total), num(mean), num(dev))));
  }
  ods_check(ods.close_table());
}

}  // namespace x11sa
