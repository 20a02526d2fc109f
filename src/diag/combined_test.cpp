#include "diag/combined_test.h"

namespace x11sa {

namespace {

// Below this the stable F leaves T1 and T2 undefined.
constexpr double kTinyF = 1.110223024625157e-16;

bool not_below(double p, double level) { return is_missing(p) || p >= level; }

}  // namespace

CombinedSeasonalityTest combined_seasonality_test(const StableSeasonalityTest& stable,
                                                  const MovingSeasonalityTest& moving,
                                                  const KruskalWallisTest& kruskal_wallis) {
  CombinedSeasonalityTest c;
  c.p_stable = stable.probability;
  c.p_moving = moving.probability;
  c.p_kruskal_wallis = kruskal_wallis.probability;
  const double fs = stable.f;
  const double fm = moving.f;
  if (fs > kTinyF) {
    c.t1 = 7.0 / fs;
    if (!is_missing(fm)) {
      c.t2 = 3.0 * fm / fs;
      c.t = (c.t1 + c.t2) / 2.0;
    }
  }
  c.verdict = identifiable_seasonality(c.t1, c.t2, c.t, c.p_stable, c.p_moving, c.p_kruskal_wallis);
  return c;
}

IdentifiableSeasonality identifiable_seasonality(double t1, double t2, double t, double p_stable, double p_moving,
                                                 double p_kruskal_wallis) {
  using enum IdentifiableSeasonality;
  if (not_below(p_stable, 0.001)) return NotPresent;
  if (not_below(p_moving, 0.05) || (!is_missing(t) && t < 1.0)) {
    const bool doubtful = is_missing(t1) || t1 >= 1.0 || is_missing(t2) || t2 >= 1.0 ||
                          not_below(p_kruskal_wallis, 0.001);
    return doubtful ? ProbablyNotPresent : Present;
  }
  return NotPresent;
}

}  // namespace x11sa
