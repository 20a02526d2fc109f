// Table flows: the group drivers that run the tables of one variable in
// order, print each selected table and write each requested one.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// The plain flow: A, B, C, D, E and F tables, then the charts.
void x11flw1(X11COM* Xp);
// The flows with the ARIMA extension, without and with a trading-day
// regression: 1 when the extension failed (nothing after it ran), else 0.
int x11flw2(X11COM* Xp);
int x11flw3(X11COM* Xp);

// Group drivers of the plain flow.
void x111ta0(X11COM* Xp);
void x111tb0(X11COM* Xp);
void x111tc0(X11COM* Xp);
void x111td0(X11COM* Xp);
void x111te1(X11COM* Xp);
void x113tf1(X11COM* Xp);

// Group drivers of the extended flows. The A drivers that run the extension
// return 1 when it failed.
int x112ta0(X11COM* Xp);
void x112tb1(X11COM* Xp);
void x112tc1(X11COM* Xp);
void x112td1(X11COM* Xp);
void x112te1(X11COM* Xp);
void x113ta0(X11COM* Xp);
void x113tb0(X11COM* Xp);
void x113tc0(X11COM* Xp);
void x113td0(X11COM* Xp);
int x113ta1(X11COM* Xp);
void x113tb1(X11COM* Xp);
void x113tc1(X11COM* Xp);
void x113td1(X11COM* Xp);
void x113te1(X11COM* Xp);

// The stretch a chain of tables runs on, and what happens to its tables.
// The plain flow runs on the observations; the extended flows on the series
// with its backcasts and forecasts; the sliding spans on each span, silently.
struct ChainSpan {
  long rb = 0, re = 0;  // the series
  long mb = 0, me = 0;  // where a centred average of it exists
  // Calendar positions of the first and last centred-average point and of
  // the first and last value, for the monthly extreme-value routines.
  long xfirst = 0, xlast = 0, xfirst2 = 0, xlast2 = 0;
  long adj = 0;     // array index + adj = calendar position (B4, B9, B17, C17)
  long adj_b7 = 0;  // the same for B7 with TRENDADJ
  bool print = true;         // tables go to the print hook
  bool write = true;         // tables go to util1 (and OUTSTB=, OUTTDR= rows)
  bool write_first = false;  // each table written before it is printed
  bool regression = true;    // the trading-day regression runs (B14 to B16, C14 to C16)
  bool tdr_rows = false;     // OUTTDR= rows are written even when the tables are not
  bool extended = false;     // the stretch holds the ARIMA backcasts and forecasts
  bool b1_given = false;     // B1 holds the series already (the extended series)
  // The trading-day tables are a first pass's: no regression runs, they are
  // written as they are, and B1 is already adjusted for trading day.
  bool td_from_first_pass = false;
};

// The stretch of the plain flow: the observations of the current variable.
[[nodiscard]] ChainSpan plain_span(const X11COM* Xp);
// The stretch of the extended flows: the series with its backcasts and
// forecasts, each table written before it is printed.
[[nodiscard]] ChainSpan extended_span(const X11COM* Xp);

// The A, B, C, D, E and F tables on a stretch; the drivers of the flows open
// the output groups around them.
void a_tables(X11COM* Xp, const ChainSpan& s);
void b_tables(X11COM* Xp, const ChainSpan& s);
void c_tables(X11COM* Xp, const ChainSpan& s);
void d_tables(X11COM* Xp, const ChainSpan& s);
void e_tables(X11COM* Xp, const ChainSpan& s);
void f_tables(X11COM* Xp, const ChainSpan& s);
// All six in order, without output groups (the sliding spans' reruns).
void run_chain(X11COM* Xp, const ChainSpan& s);

// Writes table k (index of the OUT= table list) of the current variable to util1.
void x11wrt1(X11COM* Xp, int k, const double* table);
// Notes where the variable's writes begin (first call per variable only).
void x11fwr(X11COM* Xp);

// Identifiers of the printable and writable tables.
enum class Tab {
  A1, A2, A3, A4, A5, A6, A13, A14, A15,
  B1, B2, B3, B4, B5, B6, B7, B8, B9, B10, B11, B13, B14, B16, B17, B18, B19,
  C1, C2, C4, C5, C6, C7, C9, C10, C11, C13, C14, C16, C17, C18, C19,
  D1, D2, D4, D5, D6, D7, D8, D9, D10, D11, D12, D13,
  E1, E2, E3, E5, E6, F1,
};

// True when table t is to be printed: PRINTOUT= reaches its level or the
// TABLES statement selects it, and printing is on.
[[nodiscard]] bool print_check(X11COM* Xp, Tab t);
// Prints table t from `vec` (the print hook of the flows).
void print_table(X11COM* Xp, Tab t, const double* vec);
// Prints (when selected) and writes (when requested) table t.
void print_and_write(X11COM* Xp, Tab t, const double* vec);

}  // namespace x11sa
