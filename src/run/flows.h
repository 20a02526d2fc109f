// Table flows: the group drivers that run the tables of one variable in
// order, print each selected table and write each requested one.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// The plain flow: A, B, C, D, E and F tables, then the charts.
void x11flw1(X11COM* Xp);

// Group drivers of the plain flow.
void x111ta0(X11COM* Xp);
void x111tb0(X11COM* Xp);
void x111tc0(X11COM* Xp);
void x111td0(X11COM* Xp);
void x111te1(X11COM* Xp);
void x113tf1(X11COM* Xp);

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
