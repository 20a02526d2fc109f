// The combined test for identifiable seasonality, from the stable and moving
// seasonality F-tests and the Kruskal-Wallis test.
#pragma once

#include "x11sa/seasonality_tests.h"

namespace x11sa {

// T1 = 7 / F(stable), T2 = 3 F(moving) / F(stable) and T their mean (all
// missing when the stable F is about 0), and the verdict.
[[nodiscard]] CombinedSeasonalityTest combined_seasonality_test(const StableSeasonalityTest& stable,
                                                                const MovingSeasonalityTest& moving,
                                                                const KruskalWallisTest& kruskal_wallis);

// The verdict from the T statistics and the three probabilities; any of
// them may be missing, which counts against seasonality.
[[nodiscard]] IdentifiableSeasonality identifiable_seasonality(double t1, double t2, double t, double p_stable,
                                                               double p_moving, double p_kruskal_wallis);

}  // namespace x11sa
