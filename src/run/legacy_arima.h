// Transitional: the ARIMA extension as the flows call it today. The inputs
// come from X11COM, the reports go to the output objects and the messages
// to the log, and the results land where the flows read them (B1, A13, A14,
// rc.rc2). The computation is arima/extension, the printing
// report/arima_reports; this file goes when the flows are rewritten.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Extends the current variable's series (`series` points at its first
// observation) into B1, with A13. 0 on success; 1 on failure, reported in
// the log, with B1 holding the observations.
int x11a15(X11COM* Xp, double* series);
// A14 of the extension `outcome` points at (all missing without backcasts).
void x11a14(X11COM* Xp, const ArimaOutcome* outcome);
// Forgets the outcome of the last extension (end of a BY group).
void release_arima_engine(X11COM* Xp);

// The ARIMA statement's options as typed options.
[[nodiscard]] ArimaOptions arima_options(const X11COM* Xp);

}  // namespace x11sa
