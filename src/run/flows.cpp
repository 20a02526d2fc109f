#include "run/flows.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "run/legacy_arima.h"
#include "io/x11out.h"
#include "run/legacy_core.h"
#include "run/legacy_diag.h"
#include "run/legacy_report.h"

namespace x11sa {

namespace {

enum Layout { kSeries, kRatio, kIrregular, kWeights, kPlain };

struct LayoutCodes {
  int totcol, totrow, sumflag, ttype;
};
constexpr LayoutCodes kLayouts[] = {{1, 2, 2, 0}, {2, 2, 1, 1}, {3, 3, 2, 3}, {4, 0, 0, 2}, {0, 0, 0, 4}};

enum Count { kNobs, kNobsPlus };

struct TabSpec {
  int bit;      // TABLES bit
  int level;    // PRINTOUT= level that prints it
  int title_m;  // title message, monthly
  int title_q;  // title message, quarterly
  Layout layout;
  Count count;
};

// In the order of Tab, which is the order of the OUT= table list.
constexpr TabSpec kTabs[] = {
    {0, 1, 100, 100, kSeries, kNobs},       // A1
    {1, 1, 101, 101, kRatio, kNobs},        // A2
    {2, 1, 102, 102, kRatio, kNobs},        // A3
    {3, 1, 166, 166, kRatio, kNobsPlus},    // A4
    {4, 1, 163, 163, kRatio, kNobs},        // A5
    {5, 9, 0, 0, kRatio, kNobs},            // A6
    {6, 3, 175, 175, kRatio, kNobs},        // A13
    {7, 3, 176, 176, kRatio, kNobs},        // A14
    {8, 1, 177, 177, kRatio, kNobs},        // A15
    {9, 1, 104, 104, kSeries, kNobs},       // B1
    {10, 2, 105, 105, kSeries, kNobs},      // B2
    {11, 3, 106, 106, kRatio, kNobs},       // B3
    {12, 3, 107, 107, kWeights, kNobs},     // B4
    {13, 3, 108, 108, kRatio, kNobs},       // B5
    {14, 3, 109, 109, kSeries, kNobs},      // B6
    {15, 2, 110, 180, kSeries, kNobs},      // B7
    {16, 3, 111, 111, kRatio, kNobs},       // B8
    {17, 3, 112, 112, kWeights, kNobs},     // B9
    {18, 2, 113, 113, kRatio, kNobs},       // B10
    {19, 3, 114, 114, kSeries, kNobs},      // B11
    {20, 2, 115, 115, kIrregular, kNobs},   // B13
    {21, 2, 116, 116, kPlain, kNobs},       // B14
    {23, 3, 118, 118, kRatio, kNobs},       // B16
    {24, 3, 119, 119, kWeights, kNobs},     // B17
    {25, 3, 120, 120, kRatio, kNobs},       // B18
    {26, 3, 121, 121, kSeries, kNobs},      // B19
    {27, 2, 122, 122, kSeries, kNobs},      // C1
    {28, 3, 123, 123, kSeries, kNobs},      // C2
    {29, 3, 124, 124, kRatio, kNobs},       // C4
    {30, 3, 125, 125, kRatio, kNobs},       // C5
    {31, 3, 126, 126, kSeries, kNobs},      // C6
    {32, 2, 127, 181, kSeries, kNobs},      // C7
    {33, 3, 128, 128, kRatio, kNobs},       // C9
    {34, 2, 129, 129, kRatio, kNobs},       // C10
    {35, 3, 130, 130, kSeries, kNobs},      // C11
    {36, 1, 131, 131, kIrregular, kNobs},   // C13
    {37, 1, 132, 132, kPlain, kNobs},       // C14
    {39, 1, 134, 134, kRatio, kNobsPlus},   // C16
    {40, 1, 135, 135, kWeights, kNobs},     // C17
    {41, 1, 136, 136, kRatio, kNobsPlus},   // C18
    {42, 1, 137, 137, kSeries, kNobs},      // C19
    {43, 2, 138, 138, kSeries, kNobs},      // D1
    {44, 3, 139, 139, kSeries, kNobs},      // D2
    {45, 3, 140, 140, kRatio, kNobs},       // D4
    {46, 3, 141, 141, kRatio, kNobs},       // D5
    {47, 3, 142, 142, kSeries, kNobs},      // D6
    {48, 2, 143, 182, kSeries, kNobs},      // D7
    {49, 1, 144, 144, kRatio, kNobs},       // D8
    {50, 1, 145, 145, kPlain, kNobs},       // D9
    {51, 1, 146, 146, kRatio, kNobsPlus},   // D10
    {52, 1, 147, 147, kSeries, kNobs},      // D11
    {53, 1, 148, 183, kSeries, kNobs},      // D12
    {54, 1, 149, 149, kIrregular, kNobs},   // D13
    {55, 1, 150, 150, kSeries, kNobs},      // E1
    {56, 1, 151, 151, kSeries, kNobs},      // E2
    {57, 1, 152, 152, kIrregular, kNobs},   // E3
    {59, 1, 154, 161, kRatio, kNobs},       // E5
    {60, 1, 155, 162, kRatio, kNobs},       // E6
    {61, 1, 156, 226, kSeries, kNobs},      // F1
};
static_assert(std::size(kTabs) == kOutTables);

constexpr int kB15Bit = 22;
constexpr int kC15Bit = 38;
constexpr int kE4Bit = 58;
constexpr int kF2Bit = 62;

bool monthly(const X11COM* Xp) { return Xp->op.month_f != 0; }

bool td_computed(const X11COM* Xp) { return monthly(Xp) && Xp->tdregr >= 1; }

// Trading-day factors are applied: ADJUST, or TEST when the regression's F-test passed.
bool td_applied(const X11COM* Xp) {
  return Xp->tdregr == 2 || (Xp->tdregr == 3 && Xp->op.ftest_f != 0);
}

const TabSpec& spec(Tab t) { return kTabs[static_cast<int>(t)]; }

bool is_henderson(Tab t) { return t == Tab::B7 || t == Tab::C7 || t == Tab::D7 || t == Tab::D12; }

// Opens and closes the output group of one table letter.
class TableGroup {
 public:
  TableGroup(X11COM* Xp, const char* name, int label, bool wanted = true) : Xp_(Xp) {
    open_ = wanted && Xp->op.noprint_f == 0 && Xp->printout >= 1 && Xp->host->ods().active();
    if (open_) ods_check(Xp->host->ods().open_group(name, msgtext(label)));
  }
  ~TableGroup() noexcept(false) {
    if (open_ && std::uncaught_exceptions() == 0) ods_check(Xp_->host->ods().close_group());
  }
  TableGroup(const TableGroup&) = delete;
  TableGroup& operator=(const TableGroup&) = delete;

 private:
  X11COM* Xp_;
  bool open_ = false;
};

// Writes table t when requested for the current variable.
void write_check(X11COM* Xp, Tab t, const double* vec) {
  const int k = static_cast<int>(t);
  if (Xp->x11flow.varno2 < Xp->table_cnt[k]) x11wrt1(Xp, k, vec);
}

// Prints (when selected and computed) and writes table t, as the stretch says.
void emit(X11COM* Xp, const ChainSpan& s, Tab t, const double* vec, bool computed = true) {
  if (s.write && s.write_first) write_check(Xp, t, vec);
  if (s.print && computed && print_check(Xp, t)) print_table(Xp, t, vec);
  if (s.write && !s.write_first) write_check(Xp, t, vec);
}

bool level_or_bit(X11COM* Xp, int level, int bit) {
  return Xp->op.noprint_f == 0 && (Xp->printout >= level || table_bit(Xp, bit));
}

// The prior daily weights, printed before table A4.
void print_prior_weights(X11COM* Xp) {
  static constexpr const char* kDays[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                           "Friday", "Saturday", "Sunday"};
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("lum.x11.month.a4a", "PriorDailyWgts", msgtext(281)));
  ods_check(ods.add_column(OdsColumn{"Day", msgtext(317), ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"AdjPriorWgts", msgtext(318), ColType::Num, 3}));
  for (int d = 0; d < 7; ++d) ods_check(ods.add_row({std::string(kDays[d]), Xp->pdweights[d]}));
  ods_check(ods.close_table());
}

// B14 or C14: the irregular of the months the regression excluded, or a note
// when the regression had no usable month.
void emit_td_irregular(X11COM* Xp, const ChainSpan& s, Tab t14, const double* table) {
  const X11FLOW& f = Xp->x11flow;
  const long n = f.real_end - (f.real_begin + f.td_adj);
  if (s.write && s.write_first) write_check(Xp, t14, table);
  if (s.print && print_check(Xp, t14)) {
    if (n - f.nextreme <= 0) {
      print_message_table(Xp, NameMsg(116), msgtext(158));
    } else {
      print_table(Xp, t14, table);
    }
  }
  if (s.write && !s.write_first) write_check(Xp, t14, table);
}

// The regression of one pass (B14..B16 or C14..C16) on the irregular temp2.
void td_regression(X11COM* Xp, const ChainSpan& s, bool final_pass) {
  X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  double* table = final_pass ? w.c14 : w.b14;
  double* factors = final_pass ? w.c16 : w.b16;
  fill_missing(table, Xp->fake_array_size);
  fill_missing(factors, Xp->fake_array_size);
  const Tab t14 = final_pass ? Tab::C14 : Tab::B14;
  if (!td_computed(Xp) || !s.regression) {
    if (s.write) write_check(Xp, t14, table);
    return;
  }
  f.td_adj = Xp->op.tdcmpt_f != 0 ? x11tdaj(Xp) : 0;
  const long first = f.real_begin + f.td_adj;
  const long n = f.real_end - first;
  const long cal0 = Xp->date.firstper + f.nmiss + f.td_adj;
  short* types = w.mon_type_work + cal0;
  f.montype = types;
  if (!final_pass) {
    long nextreme = 0;
    x11b14(Xp, table + first, w.temp2 + first, types, w.mon_type + cal0, n, &nextreme);
    f.nextreme = nextreme;
  } else {
    x11c14(Xp, table + first, w.temp2 + first, w.b16 + first, types, types, n);
  }
  emit_td_irregular(Xp, s, t14, table);

  int xn = 0;
  x11b15(Xp, Xp->tdr_wgts, w.temp2 + first, types, Xp->pdweights, n, f.regress, f.c, f.s, &xn, &f.ssr,
         &f.sumysq);
  const int apply = x11b15p(Xp, Xp->tdr_wgts, Xp->pdweights, xn, f.ssr, f.sumysq);
  if (Xp->tdregr == 3) Xp->op.ftest_f = apply;
  f.prnflag = s.print && level_or_bit(Xp, final_pass ? 1 : 2, final_pass ? kC15Bit : kB15Bit) ? 1 : 0;
  if (f.prnflag != 0) print_regression(Xp, final_pass);
  if ((s.write || s.tdr_rows) && Xp->op.outtdr_f != 0) x11otdr(Xp, final_pass ? "C15" : "B15");

  if (final_pass) {
    x11c16(Xp, factors, Xp->tdr_wgts, w.work1, f.firstyr, f.xlast2, f.real_begin, f.firstper);
  } else {
    x11b16(Xp, factors, Xp->tdr_wgts, w.work1, f.firstyr, f.xlast2, f.real_begin, f.firstper);
  }
  // With TDAPPLY= the regression's factors apply from that year on; the
  // months before it keep neutral factors.
  if (Xp->op.tdapply_f != 0) {
    const double first_month = zmdy(f.firstper + 1, 1, f.firstyr);
    const double months = zintck("MONTH", first_month, Xp->tdapply);
    const long before = is_missing(months) ? 0 : std::clamp(static_cast<long>(months), 0L, Xp->fake_array_size - f.real_begin);
    std::fill(factors + f.real_begin, factors + f.real_begin + before, Xp->op.add_f != 0 ? 0.0 : 100.0);
  }
}

}  // namespace

ChainSpan plain_span(const X11COM* Xp) {
  const X11FLOW& f = Xp->x11flow;
  ChainSpan s;
  s.rb = f.real_begin;
  s.re = f.real_end;
  s.mb = f.real_ma_beg;
  s.me = f.real_ma_end;
  s.xfirst = f.xfirst;
  s.xlast = f.xlast;
  s.xfirst2 = f.xfirst2;
  s.xlast2 = f.xlast2;
  s.adj = f.real_adj;
  s.adj_b7 = f.real_adj;  // the observations start at real_begin, whatever room backcasts take
  return s;
}

ChainSpan extended_span(const X11COM* Xp) {
  const X11FLOW& f = Xp->x11flow;
  ChainSpan s;
  s.rb = f.fake_begin;
  s.re = f.fake_end;
  s.mb = f.fake_ma_beg;
  s.me = f.fake_ma_end;
  // Backcasts are whole years, so the first positions keep their calendar
  // numbers; the last ones move by the length of the extension.
  s.xfirst = f.xfirst;
  s.xlast = f.fake_xlast;
  s.xfirst2 = f.xfirst2;
  s.xlast2 = f.fake_xlast2;
  s.adj = f.adjust;
  s.adj_b7 = f.adjust;
  s.write_first = true;
  s.extended = true;
  s.b1_given = true;
  return s;
}

void run_chain(X11COM* Xp, const ChainSpan& s) {
  a_tables(Xp, s);
  b_tables(Xp, s);
  c_tables(Xp, s);
  d_tables(Xp, s);
  e_tables(Xp, s);
  f_tables(Xp, s);
}

bool print_check(X11COM* Xp, Tab t) { return level_or_bit(Xp, spec(t).level, spec(t).bit); }

void print_table(X11COM* Xp, Tab t, const double* vec) {
  const TabSpec& s = spec(t);
  const X11FLOW& f = Xp->x11flow;
  const LayoutCodes& lc = kLayouts[s.layout];
  int title = monthly(Xp) ? s.title_m : s.title_q;
  if (t == Tab::B1 && Xp->prior < 2) title = 159;
  if (t == Tab::A4 && Xp->op.len_f != 0) title = 167;
  int iarg = 0;
  double farg = 0.0;
  if (t == Tab::B2 || t == Tab::C2 || t == Tab::D2) iarg = Xp->nper;
  if (is_henderson(t)) {
    iarg = Xp->trendma_prnt;
    farg = Xp->ratioic;
  }
  long n = s.count == kNobsPlus ? f.nobsplus : f.nobs;
  const double* x = vec + f.real_begin;
  int startyr = f.firstyr;
  // The extension tables reach beyond the observations: A13 into the
  // forecasts, A14 and A15 back to the first backcast.
  const X11ARIMAOPTS& a = Xp->x11acom.arima;
  if (t == Tab::A13) n = f.nobs + a.fore;
  if (t == Tab::A14 || t == Tab::A15) {
    n = t == Tab::A14 ? f.nobs + a.back : f.fake_end - f.fake_begin;
    x = vec + f.fake_begin;
    startyr -= a.yrs_b;
  }
  x11prn1(Xp, title, lc.totcol, lc.totrow, lc.sumflag, startyr, f.firstper, n, x, iarg, farg, lc.ttype);
}

void print_and_write(X11COM* Xp, Tab t, const double* vec) { emit(Xp, plain_span(Xp), t, vec); }

void x11wrt1(X11COM* Xp, int k, const double* table) {
  X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  const X11ARIMAOPTS& a = Xp->x11acom.arima;
  fill_missing(w.wrt_vec, Xp->fake_array_size);
  long n = f.nobs;
  long bytes = 8 * Xp->array_size;
  if (Xp->op.outex_f != 0) {
    bytes = 8 * Xp->fake_array_size;
    n = k == 0 ? a.back + f.nobs : f.nobs + a.ar_len;
  }
  const bool year_ahead = k == 37 || k == 39 || k == 49;
  if (Xp->op.yrahdout_f != 0 && year_ahead) n += Xp->nper;
  const long from = Xp->op.outex_f != 0 ? f.nmiss : f.nmiss + a.back;
  std::memcpy(w.wrt_vec + f.nmiss, table + from, static_cast<std::size_t>(n) * sizeof(double));
  if (f.ar_reset != 0) {
    fill_missing(w.wrt_vec + f.nmiss, a.back);
    const long tail = f.real_end + (Xp->op.yrahdout_f != 0 && year_ahead ? Xp->nper : 0);
    fill_missing(w.wrt_vec + tail, Xp->fake_array_size - tail);
  }
  if (Xp->captured_tables != nullptr) {
    Xp->captured_tables->insert(Xp->captured_tables->end(), w.wrt_vec, w.wrt_vec + bytes / 8);
  } else if (!Xp->util1->write(w.wrt_vec, static_cast<std::size_t>(bytes))) {
    Xp->host->msg(95);
    raise_level(Xp, 1020);
    xexit(Xp->exitlvl);
  }
  Xp->util_pos += bytes;
  f.util_pos += bytes;
}

void x11fwr(X11COM* Xp) {
  X11FLOW& f = Xp->x11flow;
  if (f.first_write == 0) return;
  Xp->util_pos = static_cast<long>(Xp->util1->note());
  f.first_write = 0;
}

void x111ta0(X11COM* Xp) {
  TableGroup group(Xp, "A_Tables", 71);
  a_tables(Xp, plain_span(Xp));
}

namespace {

// Prints A table t when selected. An extended flow marks what it printed of
// A1 to A5 (mark k of a_tbl_prnt; -1 for none), so that the plain flow rerun
// after a failed extension does not print it again.
void print_prior_table(X11COM* Xp, const ChainSpan& s, int k, Tab t, const double* vec, bool selected,
                       bool extended) {
  if (!s.print || !selected) return;
  if (!extended && k >= 0 && Xp->a_tbl_prnt[k] != 0) return;
  // The plain flow shows the weights as a table, the extended flows as a list.
  if (t == Tab::A4) {
    if (extended) {
      x11prn2(Xp, 281, Xp->pdweights);
    } else {
      print_prior_weights(Xp);
    }
  }
  print_table(Xp, t, vec);
  if (extended && k >= 0) Xp->a_tbl_prnt[k] = 1;
}

// Writes A table t; an extended flow first notes where the variable's
// tables begin.
void write_prior_table(X11COM* Xp, const ChainSpan& s, Tab t, const double* vec, bool extended) {
  if (!s.write) return;
  if (extended) x11fwr(Xp);
  write_check(Xp, t, vec);
}

// A1 to A5 on the observations. The extended flows print A1 whether or not
// prior adjustments are in force, and A5 too.
void prior_tables(X11COM* Xp, const ChainSpan& s, bool extended) {
  WORK& w = Xp->work;
  const bool pmf = Xp->vn_pmf >= 0;
  const bool pdw = Xp->op.pdwgt_f != 0;
  const bool a1 = extended ? print_check(Xp, Tab::A1)
                           : (Xp->op.noprint_f == 0 && Xp->printout >= 1 && Xp->prior >= 2) ||
                                 (Xp->op.noprint_f == 0 && table_bit(Xp, spec(Tab::A1).bit));
  print_prior_table(Xp, s, 0, Tab::A1, w.original_in, a1, extended);
  write_prior_table(Xp, s, Tab::A1, w.original_in, extended);
  print_prior_table(Xp, s, 1, Tab::A2, w.pmf, pmf && print_check(Xp, Tab::A2), extended);
  write_prior_table(Xp, s, Tab::A2, w.pmf, extended);
  fill_missing(w.a3, Xp->fake_array_size);
  x11a3(Xp, w.a3, w.original_in, w.pmf, s.rb, s.re);
  print_prior_table(Xp, s, 2, Tab::A3, w.a3, pmf && print_check(Xp, Tab::A3), extended);
  write_prior_table(Xp, s, Tab::A3, w.a3, extended);
  if (Xp->ptd_reg_done == 0) {
    fill_missing(w.ptdfactor, Xp->fake_array_size);
    x11a4(Xp);
  }
  print_prior_table(Xp, s, 3, Tab::A4, w.ptdfactor, pdw && print_check(Xp, Tab::A4), extended);
  write_prior_table(Xp, s, Tab::A4, w.ptdfactor, extended);
  fill_missing(w.a5, Xp->fake_array_size);
  x11a5(Xp, w.a5, w.ptdfactor, w.a3, w.original_in, s.rb, s.re);
  print_prior_table(Xp, s, 4, Tab::A5, w.a5, extended && print_check(Xp, Tab::A5), extended);
  write_prior_table(Xp, s, Tab::A5, w.a5, extended);
  // A6 is not computed by this system: always missing.
  fill_missing(w.a6, Xp->fake_array_size);
  write_prior_table(Xp, s, Tab::A6, w.a6, extended);
}

// A13, A14 and A15 after the extension of `series` (from its first
// observation); 1 when the extension failed.
int extension_tables(X11COM* Xp, double* series) {
  WORK& w = Xp->work;
  if (x11a15(Xp, series) != 0) return 1;
  const ChainSpan s = extended_span(Xp);
  print_prior_table(Xp, s, -1, Tab::A13, w.a13, print_check(Xp, Tab::A13), true);
  write_prior_table(Xp, s, Tab::A13, w.a13, true);
  x11a14(Xp, Xp->x11acom.passed_ptr);
  const bool backcasts = Xp->x11acom.arima.back > 0;
  print_prior_table(Xp, s, -1, Tab::A14, w.a14, backcasts && print_check(Xp, Tab::A14), true);
  write_prior_table(Xp, s, Tab::A14, w.a14, true);
  print_prior_table(Xp, s, -1, Tab::A15, w.b1, print_check(Xp, Tab::A15), true);
  write_prior_table(Xp, s, Tab::A15, w.b1, true);
  return 0;
}

}  // namespace

void a_tables(X11COM* Xp, const ChainSpan& s) {
  prior_tables(Xp, s, false);
  // The extension tables do not exist in the plain flow.
  if (s.write)
    for (Tab t : {Tab::A13, Tab::A14, Tab::A15}) write_check(Xp, t, Xp->work.a6);
}

void x111tb0(X11COM* Xp) {
  TableGroup group(Xp, "B_Tables", 72);
  b_tables(Xp, plain_span(Xp));
}

void b_tables(X11COM* Xp, const ChainSpan& s) {
  X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  const long rb = s.rb, re = s.re, mb = s.mb, me = s.me;
  const double* prior_adj = Xp->vn_pmf >= 0 ? w.a3 : w.original_in;
  f.temp_addr1 = Xp->op.pdwgt_f != 0 ? w.ptdfactor : nullptr;
  Xp->temp_addr = const_cast<double*>(prior_adj);
  const bool td_given = s.td_from_first_pass;
  if (Xp->tdregr == 3 && !td_given) Xp->op.ftest_f = 0;

  if (!s.b1_given) x11b1(Xp, w.b1, prior_adj, f.temp_addr1, rb, re);
  emit(Xp, s, Tab::B1, w.b1);
  x11b2(Xp, w.avec1, w.b1, rb, re);
  emit(Xp, s, Tab::B2, w.avec1);
  x11b3(Xp, w.avec2, w.b1, w.avec1, mb, me);
  emit(Xp, s, Tab::B3, w.avec2);
  f.pass = 1;
  x11b4(Xp, w.avec1, w.avec2, w.work1, w.work2, w.work3, 1, s.adj, f.month, mb, me, s.xfirst, s.xlast,
        f.xfirstper, f.xlastper);
  emit(Xp, s, Tab::B4, w.work2);
  x11b5(Xp, w.avec2, w.avec1, w.work1, w.work2, w.work3, f.month, f.pass, mb, me);
  emit(Xp, s, Tab::B5, w.avec2);
  x11b6(Xp, w.avec1, w.b1, w.avec2, rb, re);
  emit(Xp, s, Tab::B6, w.avec1);
  x11b7(Xp, w.temp1, w.avec1, w.work1, w.work2, w.work3, s.adj_b7, rb, re, s.xfirst2, s.xlast2,
        f.firstper, f.lastper);
  emit(Xp, s, Tab::B7, w.temp1);
  x11b8(Xp, w.avec2, w.b1, w.temp1, rb, re);
  emit(Xp, s, Tab::B8, w.avec2);
  x11b9(Xp, w.avec1, w.avec2, w.work1, w.work2, w.work3, 2, f.firstper, s.adj, rb, re, s.xfirst2,
        s.xlast2, f.firstper, f.lastper);
  emit(Xp, s, Tab::B9, w.work2);
  f.pass = 2;
  x11b10(Xp, w.avec2, w.avec1, w.work1, w.work2, w.work3, f.firstper, 2, rb, re);
  emit(Xp, s, Tab::B10, w.avec2);
  x11b6(Xp, w.avec1, w.b1, w.avec2, rb, re);
  emit(Xp, s, Tab::B11, w.avec1);
  x11b13(Xp, w.temp2, w.avec1, w.temp1, rb, re);
  emit(Xp, s, Tab::B13, w.temp2);

  if (monthly(Xp)) {
    if (td_given) {
      emit_td_irregular(Xp, s, Tab::B14, w.b14);
    } else {
      td_regression(Xp, s, false);
    }
    emit(Xp, s, Tab::B16, w.b16, td_computed(Xp));
  }
  fill_missing(w.temp3, Xp->fake_array_size);
  // A series already adjusted for trading day gives its weights from B13.
  if (Xp->tdregr >= 2 && !td_given) {
    x11div(Xp, w.d11, w.temp2, w.b16, rb, re);
  } else {
    std::memcpy(w.d11, w.temp2, static_cast<std::size_t>(Xp->len1));
  }
  x11b17(Xp, w.temp3, w.d11, w.work3, s.adj, rb, re, s.xfirst2, s.xlast2, f.firstper, f.lastper);
  emit(Xp, s, Tab::B17, w.temp3);
  if (monthly(Xp)) {
    const bool b18 = Xp->tdregr >= 2 && Xp->op.add_f == 0 && Xp->op.pdwgt_f != 0;
    if (td_given) {
      emit(Xp, s, Tab::B18, w.b18, b18);
      emit(Xp, s, Tab::B19, w.b19, Xp->tdregr >= 2);
      return;
    }
    fill_missing(w.b18, Xp->fake_array_size);
    fill_missing(w.b19, Xp->fake_array_size);
    if (b18) x11b18(Xp, w.b18, Xp->tdr_wgts, w.work1, f.firstyr, s.xlast2, rb, f.firstper);
    emit(Xp, s, Tab::B18, w.b18, b18);
    if (Xp->tdregr >= 2)
      x11b19(Xp, w.b19, Xp->prior >= 3 ? w.a3 : w.original_in, Xp->op.pdwgt_f != 0 ? w.b18 : w.b16,
             rb, re);
    emit(Xp, s, Tab::B19, w.b19, Xp->tdregr >= 2);
  }
}

void x111tc0(X11COM* Xp) {
  TableGroup group(Xp, "C_Tables", 73);
  c_tables(Xp, plain_span(Xp));
}

void c_tables(X11COM* Xp, const ChainSpan& s) {
  X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  const long rb = s.rb, re = s.re, mb = s.mb, me = s.me;
  const bool td_given = s.td_from_first_pass;
  double* oc = Xp->tdregr <= 1 || td_given ? w.b1 : w.b19;
  f.temp_addr1 = oc;

  x11c1(Xp, w.temp2, w.temp3, w.d11, oc, rb, re);
  emit(Xp, s, Tab::C1, w.temp2);
  x11c2(Xp, w.avec2, w.temp2, rb, re);
  emit(Xp, s, Tab::C2, w.avec2);
  x11b3(Xp, w.avec4, w.temp2, w.avec2, mb, me);
  emit(Xp, s, Tab::C4, w.avec4);
  f.pass = 1;
  x11b5(Xp, w.avec1, w.avec4, w.work1, w.work2, w.work3, f.month, 1, mb, me);
  emit(Xp, s, Tab::C5, w.avec1);
  x11b6(Xp, w.avec2, w.temp2, w.avec1, rb, re);
  emit(Xp, s, Tab::C6, w.avec2);
  x11c7(Xp, w.temp1, w.avec2, w.work1, rb, re);
  emit(Xp, s, Tab::C7, w.temp1);
  x11b8(Xp, w.avec4, w.temp2, w.temp1, rb, re);
  emit(Xp, s, Tab::C9, w.avec4);
  f.pass = 2;
  x11b10(Xp, w.avec1, w.avec4, w.work1, w.work2, w.work3, f.firstper, 2, rb, re);
  emit(Xp, s, Tab::C10, w.avec1);
  x11b6(Xp, w.avec2, w.b1, w.avec1, rb, re);
  emit(Xp, s, Tab::C11, w.avec2);
  x11b13(Xp, w.temp2, w.avec2, w.temp1, rb, re);
  emit(Xp, s, Tab::C13, w.temp2);

  if (monthly(Xp)) {
    if (td_given) {
      emit_td_irregular(Xp, s, Tab::C14, w.c14);
    } else {
      td_regression(Xp, s, true);
    }
    emit(Xp, s, Tab::C16, w.c16, td_computed(Xp));
  }
  fill_missing(w.c17, Xp->fake_array_size);
  if (td_applied(Xp) && !td_given) {
    x11div(Xp, w.d11, w.temp2, w.c16, rb, re);
  } else {
    std::memcpy(w.d11, w.temp2, static_cast<std::size_t>(Xp->len1));
  }
  x11b17(Xp, w.c17, w.d11, w.work3, s.adj, rb, re, s.xfirst2, s.xlast2, f.firstper, f.lastper);
  emit(Xp, s, Tab::C17, w.c17);
  if (!monthly(Xp)) return;

  const bool own_c18 = Xp->op.add_f == 0 && (Xp->op.pdwgt_f != 0 || Xp->op.len_f != 0);
  if (td_given) {
    // Without factors of its own, C18 was written missing (A6 is missing
    // throughout) while the array kept the regression's factors for E1 and F2.
    const bool c18 = own_c18 && ((Xp->op.pdwgt_f != 0) || td_applied(Xp));
    emit(Xp, s, Tab::C18, own_c18 ? w.c18 : w.a6, c18);
    emit(Xp, s, Tab::C19, w.c19, td_applied(Xp));
    return;
  }
  fill_missing(w.c18, Xp->fake_array_size);
  fill_missing(w.c19, Xp->fake_array_size);
  bool from_weights = false;
  if (own_c18) {
    if (td_applied(Xp)) {
      x11b18(Xp, w.c18, Xp->tdr_wgts, w.work1, f.firstyr, f.fake_xlast2, rb, f.firstper);
      from_weights = true;
    } else if (Xp->op.pdwgt_f != 0) {
      std::memcpy(w.c18, w.ptdfactor, static_cast<std::size_t>(Xp->len1));
    }
    emit(Xp, s, Tab::C18, w.c18, from_weights || Xp->op.pdwgt_f != 0);
  } else {
    // C18 is written missing; the later tables read the regression's factors.
    emit(Xp, s, Tab::C18, w.c18, false);
    std::memcpy(w.c18, w.c16, static_cast<std::size_t>(Xp->len1));
  }
  if (td_applied(Xp))
    x11b19(Xp, w.c19, Xp->prior >= 3 ? w.a3 : w.original_in, from_weights ? w.c18 : w.c16, rb, re);
  emit(Xp, s, Tab::C19, w.c19, td_applied(Xp));
}

void x111td0(X11COM* Xp) {
  TableGroup group(Xp, "D_Tables", 74);
  d_tables(Xp, plain_span(Xp));
}

void d_tables(X11COM* Xp, const ChainSpan& s) {
  X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  const long rb = s.rb, re = s.re, mb = s.mb, me = s.me;
  const double* od = td_applied(Xp) && !s.td_from_first_pass ? w.c19 : w.b1;
  fill_missing(w.temp1, Xp->array_size);

  x11c1(Xp, w.temp1, w.c17, w.d11, od, rb, re);
  emit(Xp, s, Tab::D1, w.temp1);
  x11d2(Xp, w.avec4, w.temp1, rb, re);
  emit(Xp, s, Tab::D2, w.avec4);
  x11b3(Xp, w.avec1, w.temp1, w.avec4, mb, me);
  emit(Xp, s, Tab::D4, w.avec1);
  f.pass = 1;
  x11b5(Xp, w.avec2, w.avec1, w.work1, w.work2, w.work3, f.month, 1, mb, me);
  emit(Xp, s, Tab::D5, w.avec2);
  x11b6(Xp, w.avec3, w.temp1, w.avec2, rb, re);
  emit(Xp, s, Tab::D6, w.avec3);
  x11c7(Xp, w.avec4, w.avec3, w.work1, rb, re);
  emit(Xp, s, Tab::D7, w.avec4);
  x11d8(Xp, w.d8, od, w.avec4, rb, re);
  emit(Xp, s, Tab::D8, w.d8);
  // The seasonality tests run for the printed D8, or silently for OUTSTB=.
  const bool print_tests = s.print && print_check(Xp, Tab::D8);
  if (print_tests || Xp->op.outstb_f != 0) {
    x11d8tests(Xp, print_tests ? 1 : 0);
    if (s.write && Xp->op.outstb_f != 0) x11ostb(Xp, Xp->stbaov, Xp->outmov);
  }
  x11d9(Xp, w.d9, w.d8, w.temp1, w.avec4, w.work1, rb, re);
  emit(Xp, s, Tab::D9, w.work1);
  // D9A describes the observations, like the tests on D8.
  if (s.print && print_check(Xp, Tab::D9))
    x11d9p(Xp, w.d9, w.work2, w.work3, f.real_begin, f.real_end, f.firstper);
  f.pass = 2;
  x11d10(Xp, w.d10, w.d9, w.work1, w.work2, w.work3, f.firstper, 2, rb, re);
  if (s.extended && Xp->op.yrahdout_f != 0 && Xp->op.outex_f == 0) {
    // Without the extension in OUT=, the year ahead follows the last
    // observation: computed from its last two years of factors.
    x11yra(Xp, w.work1, w.d10, rb, f.real_end);
    if (s.write) write_check(Xp, Tab::D10, w.work1);
    if (s.print && print_check(Xp, Tab::D10)) print_table(Xp, Tab::D10, w.d10);
  } else {
    emit(Xp, s, Tab::D10, w.d10);
  }
  x11d11(Xp, w.d11, od, w.d10, rb, re, f.ar_go);
  emit(Xp, s, Tab::D11, w.d11);
  x11d12(Xp, w.d12, w.temp1, w.d10, w.work1, w.work2, rb, re);
  emit(Xp, s, Tab::D12, w.d12);
  x11b13(Xp, w.d13, w.d11, w.d12, rb, re);
  emit(Xp, s, Tab::D13, w.d13);
}

void x111te1(X11COM* Xp) {
  TableGroup group(Xp, "E_Tables", 75);
  e_tables(Xp, plain_span(Xp));
}

void e_tables(X11COM* Xp, const ChainSpan& s) {
  X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  const long rb = s.rb, re = s.re;
  const long n = Xp->fake_array_size;
  for (double* v : {w.temp1, w.temp2, w.temp3, w.avec1, w.avec2}) fill_missing(v, n);
  x11e1(Xp, w.temp1, w.original_in, w.pmf, w.c17, w.c18, w.d10, w.d12, td_applied(Xp) ? 1 : 0, rb, re);
  emit(Xp, s, Tab::E1, w.temp1);
  x11e2(w.temp2, w.c17, w.d11, w.d12, rb, re);
  emit(Xp, s, Tab::E2, w.temp2);
  x11e3(Xp, w.temp3, w.c17, w.d13, rb, re);
  emit(Xp, s, Tab::E3, w.temp3);
  if (s.print && level_or_bit(Xp, 1, kE4Bit))
    x11e4p(Xp, w.original_in, w.d11, w.temp1, w.temp2, f.firstyr, f.lastyr, f.firstper, rb, re);
  x11e5(Xp, w.avec1, w.original_in, rb + 1, re);
  emit(Xp, s, Tab::E5, w.avec1);
  x11e6(Xp, w.avec2, w.d11, rb + 1, re);
  emit(Xp, s, Tab::E6, w.avec2);
}

void x113tf1(X11COM* Xp) {
  TableGroup group(Xp, "F_Tables", 76);
  f_tables(Xp, plain_span(Xp));
}

void f_tables(X11COM* Xp, const ChainSpan& s) {
  WORK& w = Xp->work;
  std::array<double, 48> d12p{};
  std::array<double, 48> d13p{};
  long ifirst = 0;
  long ilast = 0;
  int mcd = 0;
  x11f1(Xp, w.avec1, d12p.data(), d13p.data(), w.d11, w.d12, w.d13, s.rb, s.re, &ifirst, &ilast, &mcd);
  emit(Xp, s, Tab::F1, w.avec1);
  // The series as read is the O of F2, so that the shares of P and TD and
  // the ratio to O's change describe one decomposition.
  if (s.print && level_or_bit(Xp, 1, kF2Bit))
    x11f2p(Xp, w.original_in, w.pmf, w.c18, w.d10, w.d11, w.d12, w.d13, w.temp1, w.temp2, w.temp3, w.avec1,
           d12p.data(), d13p.data(), s.rb, s.re, ifirst, ilast, mcd);
}

void x11flw1(X11COM* Xp) {
  x111ta0(Xp);
  x111tb0(Xp);
  x111tc0(Xp);
  x111td0(Xp);
  x111te1(Xp);
  x113tf1(Xp);
  const WORK& w = Xp->work;
  x11chrt(Xp, w.d8, w.d9, w.d10, w.d11, w.d12, w.d13, w.temp3);
}

// --- the extended flows ---------------------------------------------------------------

namespace {

// The first pass of the flow with trading-day regression: the observations,
// nothing written but the regression's OUTTDR= rows, printed only with PRINTFP.
ChainSpan first_pass_span(const X11COM* Xp) {
  ChainSpan s = plain_span(Xp);
  s.write = false;
  s.tdr_rows = true;
  s.print = Xp->op.print_fp != 0;
  return s;
}

// The second pass of that flow: the extended series adjusted for trading day
// by the first pass, whose trading-day tables it writes.
ChainSpan second_pass_span(const X11COM* Xp) {
  ChainSpan s = extended_span(Xp);
  s.regression = false;
  s.td_from_first_pass = true;
  return s;
}

// A1 to A6 of an extended flow.
void extended_prior_tables(X11COM* Xp) {
  TableGroup group(Xp, "A_Tables", 71);
  prior_tables(Xp, plain_span(Xp), true);
}

}  // namespace

int x112ta0(X11COM* Xp) {
  extended_prior_tables(Xp);
  TableGroup group(Xp, "AR_Tables", 78);
  return extension_tables(Xp, Xp->work.a5 + Xp->x11flow.real_begin);
}

void x112tb1(X11COM* Xp) {
  TableGroup group(Xp, "B_Tables", 72);
  b_tables(Xp, extended_span(Xp));
}

void x112tc1(X11COM* Xp) {
  TableGroup group(Xp, "C_Tables", 73);
  c_tables(Xp, extended_span(Xp));
}

void x112td1(X11COM* Xp) {
  TableGroup group(Xp, "D_Tables", 74);
  d_tables(Xp, extended_span(Xp));
}

// The E tables describe the observed series: they run on the observations
// in every flow.
void x112te1(X11COM* Xp) {
  TableGroup group(Xp, "E_Tables", 75);
  e_tables(Xp, plain_span(Xp));
}

void x113ta0(X11COM* Xp) { extended_prior_tables(Xp); }

void x113tb0(X11COM* Xp) {
  const ChainSpan s = first_pass_span(Xp);
  TableGroup group(Xp, "B_Tables", 72, s.print);
  b_tables(Xp, s);
}

void x113tc0(X11COM* Xp) {
  const ChainSpan s = first_pass_span(Xp);
  TableGroup group(Xp, "C_Tables", 73, s.print);
  c_tables(Xp, s);
}

void x113td0(X11COM* Xp) {
  const ChainSpan s = first_pass_span(Xp);
  TableGroup group(Xp, "D_Tables", 74, s.print);
  d_tables(Xp, s);
}

int x113ta1(X11COM* Xp) {
  const X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  TableGroup group(Xp, "AR_Tables", 78);
  // The first pass's series adjusted for trading day (C19); when its factors
  // were not applied, C19 is not computed and the series the D tables
  // adjusted (B1) is extended. A15 holds it, since the extension rewrites B1.
  const double* adjusted = td_applied(Xp) ? w.c19 : w.b1;
  fill_missing(w.a15, Xp->fake_array_size);
  std::copy(adjusted + f.real_begin, adjusted + f.real_end, w.a15 + f.real_begin);
  return extension_tables(Xp, w.a15 + f.real_begin);
}

void x113tb1(X11COM* Xp) {
  TableGroup group(Xp, "B_Tables", 72);
  b_tables(Xp, second_pass_span(Xp));
}

void x113tc1(X11COM* Xp) {
  TableGroup group(Xp, "C_Tables", 73);
  c_tables(Xp, second_pass_span(Xp));
}

void x113td1(X11COM* Xp) {
  TableGroup group(Xp, "D_Tables", 74);
  d_tables(Xp, second_pass_span(Xp));
}

void x113te1(X11COM* Xp) {
  TableGroup group(Xp, "E_Tables", 75);
  e_tables(Xp, plain_span(Xp));
}

int x11flw2(X11COM* Xp) {
  if (x112ta0(Xp) != 0) return 1;
  x112tb1(Xp);
  x112tc1(Xp);
  x112td1(Xp);
  x112te1(Xp);
  x113tf1(Xp);
  const WORK& w = Xp->work;
  x11chrt(Xp, w.d8, w.d9, w.d10, w.d11, w.d12, w.d13, w.temp3);
  return 0;
}

int x11flw3(X11COM* Xp) {
  x113ta0(Xp);
  x113tb0(Xp);
  x113tc0(Xp);
  x113td0(Xp);
  if (x113ta1(Xp) != 0) return 1;
  x113tb1(Xp);
  x113tc1(Xp);
  x113td1(Xp);
  x113te1(Xp);
  x113tf1(Xp);
  const WORK& w = Xp->work;
  x11chrt(Xp, w.d8, w.d9, w.d10, w.d11, w.d12, w.d13, w.temp3);
  return 0;
}

}  // namespace x11sa
