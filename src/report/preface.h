// The preface that opens the printed output of each variable.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Prints the preface of variable v: what is adjusted, over which periods,
// how, and with which options.
void x11prn0(X11COM* Xp, const VAR* v);

}  // namespace x11sa
