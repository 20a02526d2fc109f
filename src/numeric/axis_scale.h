// Axis scaling for charts: a tick increment from a small set of readable
// leading factors times a power of ten.
#pragma once

namespace x11sa {

struct SCALESTR {
  double xmin = 0;    // data range in, axis range out
  double xmax = 0;
  int plotpos = 0;    // print positions (or pixels) available
  int ticpos = 0;     // positions between ticks; negative: at least that many, chosen by choose_axis_scale
  int ntic = 0;       // number of tick intervals
  double inc = 0;     // value between ticks
  long options = 0;
  double unit = 0;    // value per position
  const double* accept = nullptr;  // acceptable leading factors (nullptr: 1, 2, 2.5, 5, 10)
  int naccept = 0;
};

// Chooses the axis: xmin and xmax become multiples of inc around the data,
// ticpos the positions per tick (within plotpos), unit the value per
// position. Returns 0, or 1 when the range cannot be scaled.
int choose_axis_scale(SCALESTR* s);

}  // namespace x11sa
