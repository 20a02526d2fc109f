// The month-by-year table in which the X-11 tables are printed.
#pragma once

#include <string>

#include "run/x11com.h"

namespace x11sa {

// Column accumulators of one table.
struct TOTALS {
  double tt = 0;     // grand total
  double ts = 0;     // grand sum of squares
  double xt[12] = {};  // column totals
  double xs[12] = {};  // column sums of squares
  double tn = 0;     // grand count
  double xn[12] = {};  // column counts
};

// Prints `n` values `x` from year `startyr`, period `startper`, as one
// output table: `title` is the title message (with farg and iarg), totcol
// the row-total column, totrow the summary row, sumflag what the footnote
// sums, ttype the layout (0..3 with a statistic, 4 plain).
void x11prn1(X11COM* Xp, int title, int totcol, int totrow, int sumflag, int startyr, int startper,
             long n, const double* x, int iarg, double farg, int ttype);

// Fills the cells of one row from period `per`; `n` and `x` advance past the
// values used. Returns 1 when every cell of the row is missing.
int fill(X11COM* Xp, int per, int freq, int totflag, int sumflag, long& n, const double*& x,
         TOTALS* t, double cells[12], double* row_stat);

// Table name of a title message ("A1 ", "D10", "XXX" for an unknown title).
[[nodiscard]] std::string NameMsg(int title);

}  // namespace x11sa
