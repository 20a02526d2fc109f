// Statement semantics: options into the run state, defaults, cross-checks,
// and the settlement of what is printed.
#pragma once

#include "io/x11g.h"
#include "run/x11com.h"

namespace x11sa {

// Fills Xp from the parsed statements of a step; opens the input data set
// to resolve variable names. Every diagnostic is logged; Xp->exitlvl holds
// the highest level raised.
void x11pars(X11COM* Xp, const ParsedStep& step);

// Parts of x11pars, callable on their own for tests.
void check_errors(X11COM* Xp);
void FinalPrinting(X11COM* Xp);
void FinalSpanPrinting(X11COM* Xp);

}  // namespace x11sa
