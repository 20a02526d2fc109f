// The report of a trading-day regression (B15, C15) and the figures it shares
// with the OUTTDR= data set.
#pragma once

#include <string>

#include "run/x11com.h"

namespace x11sa {

// One weekday row of the regression report.
struct TdrDayRow {
  double cwgt, prwgt, coeff, stderr_, t1, t2, probt1, probt2;
};

// The weekday rows from the regression just run (the coefficients are still
// in tdr_wgts, the standard errors in x11flow.s).
void tdr_day_rows(X11COM* Xp, TdrDayRow rows[7]);

// Prints the regression tables: coefficients, analysis of variance, and the
// standard errors by month length.
void print_regression(X11COM* Xp, bool final_pass);

// A table that holds only a message, printed in place of a table.
void print_message_table(X11COM* Xp, const std::string& name, const std::string& text);

inline constexpr const char* kDayNames[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                             "Friday", "Saturday", "Sunday"};
inline constexpr const char* kMonthLengthNames[4] = {"31-Day-Month", "30-Day-Month", "29-Day-Month",
                                                     "28-Day-Month"};

}  // namespace x11sa
