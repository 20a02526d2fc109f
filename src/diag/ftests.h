// Seasonality tests on the final SI ratios (D8): the stable and the moving
// seasonality F-tests, and the entry point that runs all D8 tests in order.
#pragma once

#include <string>

#include "run/x11com.h"

namespace x11sa {

// Stable seasonality: one-way analysis of variance of data[first - 1 .. last)
// (`first` counted from one) grouped by period, the first value's period
// being group 0. Stores F and its probability in ftest.f[0], ftest.p[0] and
// the table in stbaov; prints it when `print_f` is non-zero.
void x11ft(X11COM* Xp, const double* data, long first, long last, int print_f);

// Moving seasonality: two-way analysis of variance (periods by years) of
// the absolute deviations of `series` from its neutral level over the
// complete years of the real stretch of `fp`. `work` receives the
// deviations. Stores F and its probability in ftest.f[1], ftest.p[1] and
// the table in outmov; prints it when `print_f` is non-zero.
void x11msft(X11COM* Xp, const X11FLOW* fp, const double* series, double* work, int print_f);

// The note under an F-test table for the probability `prob` (the test
// against 0.0001 is strict); empty for a missing probability.
[[nodiscard]] std::string ftest_note(double prob);

// The tests on D8 of the current variable, in order: stable and moving
// F-tests, Kruskal-Wallis, combined test. Printed when `print_flag` is
// non-zero; the results stay in ftest, kwstats, stbaov and outmov (the
// caller writes the OUTSTB= rows). Uses work1 as scratch.
void x11d8tests(X11COM* Xp, int print_flag);

}  // namespace x11sa
