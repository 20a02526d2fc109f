// Output data sets: OUT= (tables over time), OUTSTB=, OUTTDR= and OUTSPAN=.
#pragma once

#include <span>
#include <string>

#include "core/trading_day.h"
#include "records/seasonality_tests.h"
#include "records/spans_outcome.h"
#include "run/x11com.h"

namespace x11sa {

// Defines the variables of every requested output data set and creates
// their files (out, outstable, outtdregr, outspan).
void define_output_datasets(X11COM* Xp);

// Writes the OUT= rows of the current BY group from util1.
void x11out(X11COM* Xp);

// Writes the OUTTDR= rows of a regression of `variable` (table "B15" or "C15").
void x11otdr(X11COM* Xp, const std::string& variable, const char* table, const B15Regression& regression,
             const DailyWeights& prior);

// Writes the OUTSTB= rows of `variable` from the seasonality tests on D8:
// the stable test (between periods, residual, total) and the moving test
// (between years, error), all with TABLE "D8".
void x11ostb(X11COM* Xp, const std::string& variable, const StableSeasonalityTest& stable,
             const MovingSeasonalityTest& moving);

// Writes the OUTSPAN= rows of the variable `variable`: every date of every
// sliding span, spans numbered 1 (the oldest) on, with the series as read
// (`original`, from its first observation) and the span's estimates.
void x11ospn(X11COM* Xp, const SpanLayout& layout, std::span<const SpanEstimates> spans,
             std::span<const double> original, const std::string& variable);

// Moves every completed output data set into place at the end of a step;
// data errors are logged and raise the level.
void commit_output_datasets(X11COM* Xp);

}  // namespace x11sa
