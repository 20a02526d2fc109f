// Extreme values: every irregular value is graded by its distance from the
// mean (100, or 0 additive) in units of a moving five-year sigma, and values
// without full weight are replaced by averages of full-weight neighbours.

#include "core/extremes.h"

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

double series_mean(const X11COM* Xp) { return Xp->op.add_f != 0 ? 0.0 : 100.0; }

// The sigma spans of a stretch, in calendar numbers (the first period of a
// year is 1 modulo `period`), both ends inclusive. More than five full years
// give five-year windows stepping a year at a time; otherwise one span holds
// all full years. Partial years at the ends are graded by the nearest span but
// never enter a sigma.
struct Spans {
  long first = 0, last = 0;
  long period = 12;
  long jan = 0, dec = 0;  // first and last period of the full years
  long count = 1;

  [[nodiscard]] long window_first(long i) const { return count == 1 ? jan : jan + period * i; }
  [[nodiscard]] long window_last(long i) const {
    return count == 1 ? dec : jan + period * (i + 5) - 1;
  }
  // The first span serves up to the end of its third year, the last one from
  // the start of its third year, the others their third year only.
  [[nodiscard]] long served_first(long i) const {
    return (count == 1 || i == 0) ? first : jan + period * (i + 2);
  }
  [[nodiscard]] long served_last(long i) const {
    return (count == 1 || i == count - 1) ? last : jan + period * (i + 3) - 1;
  }
};

Spans make_spans(long first, long last, long period) {
  Spans s;
  s.first = first;
  s.last = last;
  s.period = period;
  s.jan = first + floor_mod(1 - first, period);
  s.dec = last - floor_mod(last, period);
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
  YearSums(const Spans& spans, const double* in, const double* wt, long adj, double mean,
           Included included)
      : spans_(spans), in_(in), wt_(wt), adj_(adj), mean_(mean), included_(included) {}

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
  // Calendar positions up to `k` may have changed weight since they were summed.
  void graded_through(long k) {
    if (k >= spans_.jan) graded_ = std::max(graded_, (k - spans_.jan) / spans_.period);
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
    for (long k = from; k < from + spans_.period; ++k) {
      const long p = k - adj_;
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
  long adj_;
  double mean_;
  Included included_;
  long graded_ = -1;
  std::array<Entry, kRing> ring_{};
};

struct Limits {
  double lower;       // at or below: the weight stays as it is
  double upper;       // above: `beyond`; between: graded linearly to 0
  double beyond;      // weight of a value beyond the upper limit
};

// Grades calendar positions [from, to] with the sigma stored for each.
void grade(double* wt, const double* std, const double* in, long adj, long from, long to,
           double mean, const Limits& lim) {
  for (long k = from; k <= to; ++k) {
    const long p = k - adj;
    const double dev = std[p] > 0.0 ? std::fabs(in[p] - mean) / std[p] : 0.0;
    if (dev > lim.upper)
      wt[p] = lim.beyond;
    else if (dev > lim.lower)
      wt[p] = (lim.upper - dev) * 100.0 / (lim.upper - lim.lower);
  }
}

void store_sigma(double* std, long adj, long from, long to, double sigma) {
  for (long k = from; k <= to; ++k) std[k - adj] = sigma;
}

// One pass over the spans in order; each span's sigma sees the weights left
// by the spans before it.
template <class Included>
void weigh_in_turn(const Spans& spans, double* wt, double* std, const double* in, long adj,
                   double mean, const Limits& lim, Included included) {
  YearSums<Included> sums(spans, in, wt, adj, mean, included);
  for (long i = 0; i < spans.count; ++i) {
    const double sigma = sums.sigma(i);
    store_sigma(std, adj, spans.served_first(i), spans.served_last(i), sigma);
    grade(wt, std, in, adj, spans.served_first(i), spans.served_last(i), mean, lim);
    sums.graded_through(spans.served_last(i));
  }
}

// One pass whose sigmas all come from the weights as they stand at its start.
template <class Included>
void weigh_at_once(const Spans& spans, double* wt, double* std, const double* in, long adj,
                   double mean, const Limits& lim, Included included) {
  YearSums<Included> sums(spans, in, wt, adj, mean, included);
  for (long i = 0; i < spans.count; ++i)
    store_sigma(std, adj, spans.served_first(i), spans.served_last(i), sums.sigma(i));
  grade(wt, std, in, adj, spans.first, spans.last, mean, lim);
}

// Leaves one sigma per year at the start of `std` (the one that served each
// period `first` + period * j), and repeats the last after it.
void compact_sigmas(double* std, long adj, long first, long last, long period) {
  long j = 0;
  for (long k = first; k <= last; k += period) std[j++] = std[k - adj];
  if (j > 0) std[j] = std[j - 1];
}

void init_monthly(X11COM* Xp, double* wt, double* std) {
  const long n = Xp->fake_array_size;
  std::fill(wt, wt + std::max(n, 0L), kFullWeight);
  std::fill(std, std + std::max(n, 0L), 0.0);
}

// ---------------------------------------------------------------------------
// Replacement

bool full_weight(double w) { return w == kFullWeight; }

constexpr int kRing = 4;  // no rule ever asks for more than four neighbours

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
    for (; n_ahead_ < kRing && ahead_scan_ < last_; ahead_scan_ += space_)
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
    n_behind_ = std::min(n_behind_ + 1, kRing);
  }

  const double* wt_;
  long space_;
  long last_;
  long behind_scan_;  // next position not yet examined for `behind_`
  long ahead_scan_;   // next position not yet examined for `ahead_`
  std::array<long, kRing> behind_{};
  std::array<long, kRing> ahead_{};
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
double neighbour_average(const double* sf, const double* wt, long p, int needed,
                         const ChainNeighbours& nb, const NeighbourRule& rule) {
  double sum = wt[p] * sf[p] / 100.0;
  int count = 0;
  const int back = std::min({rule.max_back, nb.behind_count(), needed});
  for (int i = 0; i < back; ++i, ++count) sum += sf[nb.behind(i)];
  for (int i = 0; i < nb.ahead_count() && count < needed; ++i, ++count) sum += sf[nb.ahead(i)];
  if (rule.back_again && back > 0) {
    for (int i = back; i < nb.behind_count() && count < needed; ++i, ++count)
      sum += sf[nb.behind(i)];
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
    const double value = (rule.mean_when_few && nfull < nt)
                             ? mean
                             : neighbour_average(sf, wt, p, nt, nb, rule);
    sf[p] = value;
    if (out != nullptr) out[p] = value;
  }
}

// Same period of other years: four neighbours, three in the first two and
// the last two years of the period's chain.
template <long kYearSpan>
void replace_by_years(double* sf, const double* wt, double* out, long space, long f0, long last) {
  constexpr NeighbourRule rule{2, true, true};
  for (long start = f0; start < f0 + space && start < last; ++start) {
    replace_chain(sf, wt, out, start, space, last, rule, [&](long p, const ChainNeighbours&) {
      return (p >= start + kYearSpan && p + kYearSpan < last) ? 4 : 3;
    });
  }
}

}  // namespace

void x11xtro(X11COM* Xp, double* wt, double* std, const double* in, long adj, long first,
             long last) {
  init_monthly(Xp, wt, std);
  if (first > last) return;
  const Spans spans = make_spans(first, last, 12);
  const double mean = series_mean(Xp);
  const Limits lim{Xp->fullweight, Xp->zeroweight, 0.0};
  const auto all = [](double) { return true; };
  const auto nonzero = [](double w) { return w != 0.0; };

  if (Xp->op.old_f != 0)
    weigh_in_turn(spans, wt, std, in, adj, mean, lim, nonzero);
  else
    weigh_in_turn(spans, wt, std, in, adj, mean, lim, all);
  weigh_in_turn(spans, wt, std, in, adj, mean, lim, nonzero);
  compact_sigmas(std, adj, first, last, 12);
}

void x11xtrm(X11COM* Xp, double* wt, double* std, const double* in, long adj, long first,
             long last) {
  init_monthly(Xp, wt, std);
  if (first > last) return;
  const Spans spans = make_spans(first, last, 12);
  const double mean = series_mean(Xp);

  // Pass 1 flags the values beyond the upper limit; pass 2 leaves exactly
  // those out of every sigma, whatever weight it then gives them, so all its
  // sigmas are taken before any weight changes.
  weigh_in_turn(spans, wt, std, in, adj, mean, Limits{Xp->fullweight, Xp->zeroweight, kFlagged},
                [](double) { return true; });
  weigh_at_once(spans, wt, std, in, adj, mean, Limits{Xp->fullweight, Xp->zeroweight, 0.0},
                [](double w) { return w >= 0.0; });
  for (long k = first; k <= last; ++k) wt[k - adj] = std::max(wt[k - adj], 0.0);
  compact_sigmas(std, adj, first, last, 12);
}

void x11xtrq(X11COM* Xp, double* wt, double* std, const double* series, long first, long last,
             int qfirst) {
  // The whole vectors are cleared: in the extended flows the stretch reaches
  // beyond the observations.
  fill_missing(wt, Xp->fake_array_size);
  fill_missing(std, Xp->fake_array_size);
  const long f0 = first - 1;
  if (f0 >= last) return;
  std::fill(wt + f0, wt + last, kFullWeight);

  // Calendar numbers with every first quarter at 1 modulo 4.
  const long cal_first = floor_mod(qfirst, 4) + 1;
  const long adj = cal_first - f0;
  const long cal_last = last - 1 + adj;
  const Spans spans = make_spans(cal_first, cal_last, 4);
  const double mean = series_mean(Xp);

  // Pass 1 knows only full and zero weight.
  weigh_in_turn(spans, wt, std, series, adj, mean,
                Limits{Xp->zeroweight, Xp->zeroweight, 0.0}, [](double) { return true; });
  weigh_in_turn(spans, wt, std, series, adj, mean, Limits{Xp->fullweight, Xp->zeroweight, 0.0},
                [](double w) { return w != 0.0; });
  compact_sigmas(std, adj, cal_first, cal_last, 4);
}

void x11rep(X11COM* Xp, double* sf, const double* wt, double* wrk, int space, long first,
            long last) {
  const long f0 = first - 1;
  if (space == 12) {
    fill_missing(wrk, Xp->fake_array_size);
    replace_by_years<24>(sf, wt, wrk, 12, f0, last);
    return;
  }
  if (space <= 0) return;
  // Adjacent months (and any other spacing): four neighbours, three next to
  // the ends of the stretch for adjacent months.
  constexpr NeighbourRule rule{2, true, false};
  for (long start = f0; start < f0 + space && start < last; ++start) {
    replace_chain(sf, wt, nullptr, start, space, last, rule, [&](long p, const ChainNeighbours&) {
      return (space == 1 && (p - 2 < f0 || p + 2 >= last)) ? 3 : 4;
    });
  }
}

void x11repq(X11COM* Xp, double* inout, const double* extreme, double* out, int space, long first,
             long last) {
  fill_missing(out, Xp->fake_array_size);
  const long f0 = first - 1;
  if (space == 4) {
    replace_by_years<8>(inout, extreme, out, 4, f0, last);
    return;
  }
  if (space != 1) return;
  // Adjacent quarters: the nearest full-weight quarter before and one after
  // (a single one at either end of the stretch); without one before, a single
  // one after.
  constexpr NeighbourRule rule{1, false, false};
  replace_chain(inout, extreme, out, f0, 1, last, rule, [&](long p, const ChainNeighbours& nb) {
    if (nb.behind_count() == 0) return 1;
    return (p == f0 || p == last - 1) ? 1 : 2;
  });
}

}  // namespace x11sa
