// The tables of the seasonality tests on D8: the stable and moving
// seasonality F-tests, the Kruskal-Wallis test and the combined test.
#pragma once

#include <string>

#include "host/ods.h"
#include "x11sa/options.h"
#include "x11sa/seasonality_tests.h"

namespace x11sa {

// The note under an F-test table for the probability `probability` (the
// test against 0.0001 is strict); empty for a missing probability.
[[nodiscard]] std::string ftest_note(double probability);

// The analysis of variance of the stable test; its first row is named for
// months or quarters.
void print_stable_seasonality_test(OdsManager& ods, const StableSeasonalityTest& test, Frequency frequency);
void print_moving_seasonality_test(OdsManager& ods, const MovingSeasonalityTest& test);
void print_kruskal_wallis_test(OdsManager& ods, const KruskalWallisTest& test);
void print_combined_seasonality_test(OdsManager& ods, const CombinedSeasonalityTest& test);

}  // namespace x11sa
