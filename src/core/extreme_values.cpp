// Extreme values.

#include "core/extreme_values.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "x11sa/missing.h"

namespace x11sa {

namespace {

constexpr double kFullWeight = 100.0;
// Pass-1 mark of EXTREME=NEW on values beyond the upper limit; any negative
// weight is such a mark, graded weights are never negative.
constexpr double kFlagged = -99.0;

long floor_mod(long a, long m) {
  const long r = a % m;
  return r < 0 ? r + m : r;
}

// The sigma spans of a stretch of n values, in positions of the stretch.
// More than five full years give five-year windows stepping a year at a
// time; otherwise one span holds all full years.
struct Spans {
  long n = 0;
  long period = 12;
  long jan = 0, dec = 0;  // first and last position of the full years
  long count = 1;

  [[nodiscard]] long window_first(long i) const { return count == 1 ? jan : jan + period * i; }
  [[nodiscard]] long window_last(long i) const { return count == 1 ? dec : jan + period * (i + 5) - 1; }
  // The first span serves up to the end of its third year, the last one from
  // the start of its third year, the others their third year only.
  [[nodiscard]] long served_first(long i) const { return (count == 1 || i == 0) ? 0 : jan + period * (i + 2); }
  [[nodiscard]] long served_last(long i) const {
    return (count == 1 || i == count - 1) ? n - 1 : jan + period * (i + 3) - 1;
  }
};

Spans make_spans(long n, long period, long first_period) {
  Spans s;
  s.n = n;
  s.period = period;
  s.jan = floor_mod(-first_period, period);
  s.dec = n - 1 - floor_mod(first_period + n, period);
  const long years = s.dec >= s.jan ? (s.dec - s.jan + 1) / period : 0;
  s.count = years > 5 ? years - 4 : 1;
  return s;
}

// Sums of squared deviations of the included values, one full year at a time.
// A span's sigma adds up the five years of its window; a year is summed again
// only after a span has graded it, so a pass sums each year at most twice
// instead of five times.
template <class Included>
class YearSums {
 public:
  YearSums(const Spans& spans, const double* in, const double* wt, double mean, Included included)
      : spans_(spans), in_(in), wt_(wt), mean_(mean), included_(included) {}

  // Root mean square deviation over the window of span i; 0 when nothing is included.
  double sigma(long i) {
    if (spans_.window_last(i) < spans_.window_first(i)) return 0.0;  // no full year
    const long y_first = (spans_.window_first(i) - spans_.jan) / spans_.period;
    const long y_last = (spans_.window_last(i) - spans_.jan) / spans_.period;
    double squares = 0.0;
    long n = 0;
    for (long y = y_first; y <= y_last; ++y) {
      const Entry& e = year(y);
      squares += e.squares;
      n += e.n;
    }
    return n > 0 ? std::sqrt(squares / static_cast<double>(n)) : 0.0;
  }
  // Positions up to `p` may have changed weight since they were summed.
  void graded_through(long p) {
    if (p >= spans_.jan) graded_ = std::max(graded_, (p - spans_.jan) / spans_.period);
  }

 private:
  struct Entry {
    long year = -1;
    bool graded = false;
    double squares = 0.0;
    long n = 0;
  };
  static constexpr long kRing = 8;  // a window holds five years

  const Entry& year(long y) {
    Entry& e = ring_[y % kRing];
    const bool graded = y <= graded_;
    if (e.year == y && e.graded == graded) return e;
    e = Entry{y, graded, 0.0, 0};
    const long from = spans_.jan + y * spans_.period;
    for (long p = from; p < from + spans_.period; ++p) {
      if (!included_(wt_[p])) continue;
      const double d = in_[p] - mean_;
      e.squares += d * d;
      ++e.n;
    }
    return e;
  }

  const Spans& spans_;
  const double* in_;
  const double* wt_;
  double mean_;
  Included included_;
  long graded_ = -1;
  std::array<Entry, kRing> ring_{};
};

struct Limits {
  double lower;   // at or below: the weight stays as it is
  double upper;   // above: `beyond`; between: graded linearly to 0
  double beyond;  // weight of a value beyond the upper limit
};

// The irregular, its weights and the sigma of each year of one stretch.
struct Grading {
  const Spans& spans;
  const double* in;
  double* wt;
  std::span<double> year_sigmas;
  double mean;

  // Grades positions [from, to] by `sigma`.
  void grade(long from, long to, double sigma, const Limits& lim) const {
    for (long p = from; p <= to; ++p) {
      const double dev = sigma > 0.0 ? std::fabs(in[p] - mean) / sigma : 0.0;
      if (dev > lim.upper)
        wt[p] = lim.beyond;
      else if (dev > lim.lower)
        wt[p] = (lim.upper - dev) * 100.0 / (lim.upper - lim.lower);
    }
  }

  // The first year (of the stretch) span i serves; each span serves one.
  [[nodiscard]] long first_year_served(long i) const {
    return (spans.served_first(i) + spans.period - 1) / spans.period;
  }

  void store_sigma(long i, double sigma) const {
    for (long j = first_year_served(i); spans.period * j <= spans.served_last(i); ++j) year_sigmas[j] = sigma;
  }

  // One pass over the spans in order; each span's sigma sees the weights left
  // by the spans before it.
  template <class Included>
  void in_turn(const Limits& lim, Included included) const {
    YearSums<Included> sums(spans, in, wt, mean, included);
    for (long i = 0; i < spans.count; ++i) {
      const double sigma = sums.sigma(i);
      store_sigma(i, sigma);
      grade(spans.served_first(i), spans.served_last(i), sigma, lim);
      sums.graded_through(spans.served_last(i));
    }
  }

  // One pass whose sigmas all come from the weights as they stand at its start.
  template <class Included>
  void at_once(const Limits& lim, Included included) const {
    YearSums<Included> sums(spans, in, wt, mean, included);
    for (long i = 0; i < spans.count; ++i) store_sigma(i, sums.sigma(i));
    for (long i = 0; i < spans.count; ++i)
      grade(spans.served_first(i), spans.served_last(i), year_sigmas[first_year_served(i)], lim);
  }
};

void monthly_weights(const Grading& g, const ExtremeValueRules& r) {
  const auto all = [](double) { return true; };
  const auto nonzero = [](double w) { return w != 0.0; };
  if (r.rule == ExtremeRule::Old) {
    const Limits lim{r.fullweight, r.zeroweight, 0.0};
    if (r.old_sigma)
      g.in_turn(lim, nonzero);
    else
      g.in_turn(lim, all);
    g.in_turn(lim, nonzero);
    return;
  }
  // Pass 1 flags the values beyond the upper limit; pass 2 leaves exactly
  // those out of every sigma, whatever weight it then gives them, so all its
  // sigmas are taken before any weight changes.
  g.in_turn(Limits{r.fullweight, r.zeroweight, kFlagged}, all);
  g.at_once(Limits{r.fullweight, r.zeroweight, 0.0}, [](double w) { return w >= 0.0; });
  for (long p = 0; p < g.spans.n; ++p) g.wt[p] = std::max(g.wt[p], 0.0);
}

void quarterly_weights(const Grading& g, const ExtremeValueRules& r) {
  // Pass 1 knows only full and zero weight.
  g.in_turn(Limits{r.zeroweight, r.zeroweight, 0.0}, [](double) { return true; });
  g.in_turn(Limits{r.fullweight, r.zeroweight, 0.0}, [](double w) { return w != 0.0; });
}

// ---------------------------------------------------------------------------
// Replacement

bool full_weight(double w) { return w == kFullWeight; }

constexpr int kNeighbours = 4;  // no rule ever asks for more than four neighbours

// The full-weight positions nearest to a position of one chain start,
// start + space, ... below `last`: up to four behind it and four ahead. The
// positions asked about come in increasing order and each chain position is
// examined at most once from either side, so a whole chain costs time linear
// in its length however far apart its full-weight values lie.
class ChainNeighbours {
 public:
  ChainNeighbours(const double* wt, long start, long space, long last)
      : wt_(wt), space_(space), last_(last), behind_scan_(start), ahead_scan_(start) {}

  void move_to(long p) {
    for (; behind_scan_ < p; behind_scan_ += space_)
      if (full_weight(wt_[behind_scan_])) push_behind(behind_scan_);
    int dropped = 0;
    while (dropped < n_ahead_ && ahead_[dropped] <= p) ++dropped;
    std::copy(ahead_.begin() + dropped, ahead_.begin() + n_ahead_, ahead_.begin());
    n_ahead_ -= dropped;
    ahead_scan_ = std::max(ahead_scan_, p + space_);
    for (; n_ahead_ < kNeighbours && ahead_scan_ < last_; ahead_scan_ += space_)
      if (full_weight(wt_[ahead_scan_])) ahead_[n_ahead_++] = ahead_scan_;
  }

  [[nodiscard]] int behind_count() const { return n_behind_; }
  [[nodiscard]] int ahead_count() const { return n_ahead_; }
  [[nodiscard]] long behind(int i) const { return behind_[i]; }  // 0: nearest
  [[nodiscard]] long ahead(int i) const { return ahead_[i]; }

 private:
  void push_behind(long p) {
    std::copy_backward(behind_.begin(), behind_.end() - 1, behind_.end());
    behind_[0] = p;
    n_behind_ = std::min(n_behind_ + 1, kNeighbours);
  }

  const double* wt_;
  long space_;
  long last_;
  long behind_scan_;  // next position not yet examined for `behind_`
  long ahead_scan_;   // next position not yet examined for `ahead_`
  std::array<long, kNeighbours> behind_{};
  std::array<long, kNeighbours> ahead_{};
  int n_behind_ = 0;
  int n_ahead_ = 0;
};

struct NeighbourRule {
  int max_back;        // full-weight values taken backwards first
  bool back_again;     // after the forward search, go on backwards when short
  bool mean_when_few;  // a chain with fewer full-weight values than needed takes its mean
};

// The value's own weighted contribution plus `needed` full-weight neighbours
// (fewer where the chain has none left), averaged with the value counting by
// its weight. A value of zero weight without any neighbour keeps its value.
double neighbour_average(const double* sf, const double* wt, long p, int needed, const ChainNeighbours& nb,
                         const NeighbourRule& rule) {
  double sum = wt[p] * sf[p] / 100.0;
  int count = 0;
  const int back = std::min({rule.max_back, nb.behind_count(), needed});
  for (int i = 0; i < back; ++i, ++count) sum += sf[nb.behind(i)];
  for (int i = 0; i < nb.ahead_count() && count < needed; ++i, ++count) sum += sf[nb.ahead(i)];
  if (rule.back_again && back > 0) {
    for (int i = back; i < nb.behind_count() && count < needed; ++i, ++count) sum += sf[nb.behind(i)];
  }
  const double weight = (100.0 * count + wt[p]) / 100.0;
  return weight > 0.0 ? sum / weight : sf[p];
}

// Replaces the values without full weight along one chain; `needed(p, nb)`
// gives the number of neighbours wanted at p. `out`, when given, receives the
// replacement values.
template <class Needed>
void replace_chain(double* sf, const double* wt, double* out, long start, long space, long last,
                   const NeighbourRule& rule, Needed needed) {
  ChainNeighbours nb(wt, start, space, last);
  bool counted = false;
  long nfull = 0;
  double mean = 0.0;
  for (long p = start; p < last; p += space) {
    if (full_weight(wt[p])) continue;
    if (rule.mean_when_few && !counted) {
      // Taken before any value of the chain is replaced.
      double sum = 0.0;
      long n = 0;
      for (long q = start; q < last; q += space, ++n) {
        sum += sf[q];
        if (full_weight(wt[q])) ++nfull;
      }
      mean = sum / static_cast<double>(n);
      counted = true;
    }
    nb.move_to(p);
    const int nt = needed(p, nb);
    const double value = (rule.mean_when_few && nfull < nt) ? mean : neighbour_average(sf, wt, p, nt, nb, rule);
    sf[p] = value;
    if (out != nullptr) out[p] = value;
  }
}

// Same period of other years: four neighbours, three within two years of
// either end of the period's chain.
template <long kSpace>
void replace_by_years(std::span<double> values, std::span<const double> weights, std::span<double> replacements) {
  const long n = static_cast<long>(values.size());
  constexpr long kTwoYears = 2 * kSpace;
  constexpr NeighbourRule rule{2, true, true};
  for (long start = 0; start < kSpace && start < n; ++start) {
    replace_chain(values.data(), weights.data(), replacements.data(), start, kSpace, n, rule,
                  [&](long p, const ChainNeighbours&) { return (p >= start + kTwoYears && p + kTwoYears < n) ? 4 : 3; });
  }
}

}  // namespace

long sigma_count(long n, Frequency frequency) noexcept {
  return n > 0 ? (n - 1) / periods_per_year(frequency) + 1 : 0;
}

void extreme_value_weights(std::span<const double> irregular, Frequency frequency, int first_period,
                           const ExtremeValueRules& rules, std::span<double> weights,
                           std::span<double> year_sigmas) {
  std::fill(weights.begin(), weights.end(), kFullWeight);
  const long n = static_cast<long>(irregular.size());
  if (n == 0) return;
  const Spans spans = make_spans(n, periods_per_year(frequency), first_period);
  const Grading g{spans, irregular.data(), weights.data(), year_sigmas,
                  rules.mode == Mode::Additive ? 0.0 : 100.0};
  if (frequency == Frequency::Monthly)
    monthly_weights(g, rules);
  else
    quarterly_weights(g, rules);
}

void replace_extremes_by_years(std::span<double> values, std::span<const double> weights, Frequency frequency,
                               std::span<double> replacements) {
  fill_missing(replacements);
  if (frequency == Frequency::Monthly)
    replace_by_years<12>(values, weights, replacements);
  else
    replace_by_years<4>(values, weights, replacements);
}

void replace_extremes_by_neighbours(std::span<double> values, std::span<const double> weights,
                                    Frequency frequency) {
  const long n = static_cast<long>(values.size());
  if (frequency == Frequency::Monthly) {
    // Four neighbours, three next to the ends of the stretch.
    constexpr NeighbourRule rule{2, true, false};
    replace_chain(values.data(), weights.data(), nullptr, 0, 1, n, rule,
                  [&](long p, const ChainNeighbours&) { return (p - 2 < 0 || p + 2 >= n) ? 3 : 4; });
    return;
  }
  // The nearest full-weight quarter before and one after (a single one at
  // either end of the stretch); without one before, a single one after.
  constexpr NeighbourRule rule{1, false, false};
  replace_chain(values.data(), weights.data(), nullptr, 0, 1, n, rule, [&](long p, const ChainNeighbours& nb) {
    if (nb.behind_count() == 0) return 1;
    return (p == 0 || p == n - 1) ? 1 : 2;
  });
}

}  // namespace x11sa
