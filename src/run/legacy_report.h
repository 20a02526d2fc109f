// Transitional: the report producers under the names and arguments the
// flows, the variable loop, OUTTDR= and the benchmarks still call. Each
// gathers the typed inputs from X11COM (its option fields, the variable's
// calendar in x11flow, the regression's results) and calls the function of
// report/ that prints them. Goes away once the flows call report/ directly.
#pragma once

#include <string>

#include "report/charts.h"
#include "report/month_year_table.h"
#include "report/preface.h"
#include "report/trading_day_regression.h"
#include "run/x11com.h"

namespace x11sa {

// The month-by-year table of the table whose title message is `title`, `n`
// values `x` from year `startyr`, period `startper`. The layout codes
// (totcol, totrow, sumflag, ttype) are those of the table catalogue and not
// read; `iarg` and `farg` are, as the Henderson trend's length and I/C ratio.
void x11prn1(X11COM* Xp, int title, int totcol, int totrow, int sumflag, int startyr, int startper, long n,
             const double* x, int iarg, double farg, int ttype);

// Table name of a title message ("A1 ", "D10"; "XXX" for a title no table has).
[[nodiscard]] std::string NameMsg(int title);

// The prior daily weights `w` as a list (title 281).
void x11prn2(X11COM* Xp, int title, const double* w);

// The preface of variable v.
void x11prn0(X11COM* Xp, const VAR* v);

// The charts of the variable in x11flow; `work` holds E3.
void x11chrt(X11COM* Xp, const double* d8, const double* d9, const double* d10, const double* d11,
             const double* d12, const double* d13, const double* work);

// The report of the regression just run: coefficients in tdr_wgts, the fit
// and test in x11flow.
void print_regression(X11COM* Xp, bool final_pass);

// A note printed in place of the table named `name`.
void print_message_table(X11COM* Xp, const std::string& name, const std::string& text);

// The weekday rows of the regression just run, for OUTTDR=.
struct TdrDayRow {
  double cwgt, prwgt, coeff, stderr_, t1, t2, probt1, probt2;
};
void tdr_day_rows(X11COM* Xp, TdrDayRow rows[7]);

}  // namespace x11sa
