// Reading the input series: the data-set set-up of a step and the reading of
// one BY group into one series per analysis variable.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Once per step: the variable records, the output data sets, the utility
// files and the BY reading of the input data set.
void x11ds(X11COM* Xp);

// Once per BY group, after the group was started: reads the group's rows
// into util2 (one record of `obs` values per variable) and util3 (the
// PMFACTOR= values), and works out every variable's span.
void x11in(X11COM* Xp);

// The same in three steps, for callers that supply the rows themselves:
// set up, one call per row (values of the nvar variables in VAR order, with
// date.current and work.pmf_temp set first; returns check_range's code
// after keeping the row), and the work after the last row.
void x11in_begin(X11COM* Xp);
int x11in_row(X11COM* Xp, long row, const double* values);
void x11in_end(X11COM* Xp);

// The per-observation check: 0 keeps the row, -1 skips it, 2 stops the group.
int check_range(X11COM* Xp, long row, const double* values);

// True when at least 12 months lie from the TDCOMPUTE= date to the first day
// of the month of variable k's last value.
[[nodiscard]] bool tdcompute_date_ok(X11COM* Xp, int k);

// Transposes `nrow` rows of `ncol` doubles in `in` (from its start) into
// `ncol` contiguous columns in `out`; false when a file operation failed.
[[nodiscard]] bool zttrans(UtilFile& in, UtilFile& out, long nrow, long ncol);

// Interval name of the run: "MONTH" or "QTR".
[[nodiscard]] const char* run_interval(const X11COM* Xp);

// Level of a data error of the current group: 108 with BY groups, else 1008.
[[nodiscard]] int group_error_level(const X11COM* Xp);

}  // namespace x11sa
