// The ARIMA extension of one variable: a model given by the user or chosen
// among five candidates is fitted to the series, whose forecasts and
// backcasts then extend B1; A13 and A14 keep the fitted values.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// --- the extension ---------------------------------------------------------------

// Extends the current variable's series (`series` points at its first
// observation). 0 on success; 1 on failure, reported in the log.
int x11a15(X11COM* Xp, double* series);
// The user's model: 0 when it was estimated and forecast (and backcast), else 1.
int x11user(X11COM* Xp, double* series);
// Fills m1 from the ARIMA statement's model, without estimating it.
void set_up_struct(X11COM* Xp, double* series);
// Forecasts of an estimated and forecast model into B1, fitted values and
// forecasts into A13.
void x11fore(X11COM* Xp, const X11ARIMA* iopts);
// Backcasts of the model into B1, by forecasting the reversed series; sets
// rc.rc2 to 0 on success and 1 on failure.
void x11back(X11COM* Xp, X11ARIMA* iopts);
// A14 from the backcast run: backcasts and the fitted values of the reversed series.
void x11a14(X11COM* Xp, const X11ARIMA* iopts);
// Prints an estimated model as ARIMA printing asks.
void x11aprn(X11COM* Xp, X11ARIMA* iopts);

// --- automatic model selection -----------------------------------------------------

// 0: a model was chosen and the series extended; 1: no candidate could be
// estimated and forecast, or the chosen model's backcast failed; 2: none met
// the criteria.
int x11auto(X11COM* Xp, double* in);
void init_structs(X11COM* Xp);
void set_up_structs(X11COM* Xp, double* series);
// Candidates 2 to 5 share candidate 1's engine context.
void set_tscon(X11COM* Xp);
// Criteria statistics of candidate `index`, estimated and forecast.
void x11crit(X11COM* Xp, X11ARIMA* iopts, int index);
// Mean absolute percentage errors of the last three years of `series`
// (n values) given the one-step forecast errors `error`.
void x11mape(X11COM* Xp, const double* series, const double* error, long n, int index);
// The over-differencing measure: the larger of the first MA factor's sum of
// coefficients and the second factor's first coefficient.
[[nodiscard]] double over_dif(const X11ARIMA* iopts);
// The accepted candidate with the smallest three-year error, or nullptr.
X11ARIMA* x11ctst(X11COM* Xp);
// Prints the criteria summary of candidate `index`.
void x11cprt(X11COM* Xp, const X11ARIMA* iopts, int index);

// --- reports of the engine's records --------------------------------------------------

// Convergence of the estimation, the model with its factors, the parameter
// estimates with the fit statistics, and the Ljung-Box checks of the residuals.
void ztspcnv(X11COM* Xp, const TSACON* tscon);
void ztspmod(X11COM* Xp, const TSACON* tscon);
void ztspmdp(X11COM* Xp, const TSACON* tscon);
void ztsplb(X11COM* Xp, const TSACON* tscon);
// A message sent as a note among the output objects.
void ods_note(X11COM* Xp, const std::string& text);

// --- engine housekeeping -------------------------------------------------------------

// Moves the messages the engine raised into the log.
void report_engine_messages(X11COM* Xp, TSACON* tscon);
// Releases every engine context of the run (end of a BY group).
void release_arima_engine(X11COM* Xp);

}  // namespace x11sa
