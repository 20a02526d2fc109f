// The series workspace of a BY group and the index model of a variable.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Allocates every work array of the group from a fresh group pool; the step
// ends with level 1012 when memory runs short.
void alloc_memory(X11COM* Xp);
// With SSPAN: the saved input series and the spare flow record of the spans.
void sp_alloc_memory(X11COM* Xp);
// Month types to -999, the prior-daily-weight factors to missing.
void init_memory(X11COM* Xp);
// Loads variable kk's observations from util2 into original_in from index B on.
void read_var(X11COM* Xp, int kk);
// The variable-level index model.
void set_values(X11COM* Xp, VAR* v);
void set_fp_dsn(X11COM* Xp);
// flag 0 saves and clears YRAHEADOUT, flag 1 restores it.
void reset_opts(X11COM* Xp, int flag);
// Releases the group pool and every pointer into it.
void free_memory(X11COM* Xp);

}  // namespace x11sa
