#include "numeric/axis_scale.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace x11sa {

namespace {

constexpr double kDefaultAccept[] = {1.0, 2.0, 2.5, 5.0, 10.0};
constexpr double kDegenerate = 2.225073858507202e-305;

}  // namespace

int choose_axis_scale(SCALESTR* s) {
  if (!std::isfinite(s->xmin) || !std::isfinite(s->xmax) || s->plotpos < 2) return 1;
  if (s->xmin > s->xmax) std::swap(s->xmin, s->xmax);
  double lo = s->xmin;
  double hi = s->xmax;
  // A degenerate range is widened around its value.
  if (std::fabs(hi - lo) <= kDegenerate || std::fabs(hi - lo) <= 1e-12 * std::max(std::fabs(lo), std::fabs(hi))) {
    const double pad = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
    lo -= pad;
    hi += pad;
  }
  const double* accept = s->accept != nullptr ? s->accept : kDefaultAccept;
  const int naccept = s->accept != nullptr ? s->naccept : static_cast<int>(std::size(kDefaultAccept));
  const int min_ticpos = s->ticpos < 0 ? -s->ticpos : std::max(s->ticpos, 1);
  const int max_ticks = std::max(1, s->plotpos / min_ticpos);
  // The smallest acceptable increment whose ticks fit the positions.
  const double raw = (hi - lo) / max_ticks;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  double inc = 0;
  for (int tries = 0; tries < 3 && inc == 0; ++tries, power *= 10.0)
    for (int k = 0; k < naccept; ++k) {
      const double candidate = accept[k] * power;
      const double first = std::floor(lo / candidate) * candidate;
      const double last = std::ceil(hi / candidate - 1e-9) * candidate;
      const int ticks = static_cast<int>(std::lround((last - first) / candidate));
      if (candidate >= raw * (1 - 1e-12) && ticks <= max_ticks && ticks >= 1) {
        inc = candidate;
        s->xmin = first;
        s->xmax = last;
        s->ntic = ticks;
        break;
      }
    }
  if (inc == 0) return 1;
  s->inc = inc;
  s->ticpos = s->plotpos / s->ntic;
  s->unit = inc / s->ticpos;
  return 0;
}

}  // namespace x11sa
