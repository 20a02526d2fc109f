// A short list of weights in the listing: the prior daily weights of the
// extended flows.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Prints the title message and one line per day with its weight.
void x11prn2(X11COM* Xp, int title, const double* w);

}  // namespace x11sa
