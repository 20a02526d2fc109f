// Helpers shared by the sliding-spans reports.
#pragma once

#include <string>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/host.h"
#include "run/x11com.h"

namespace x11sa::spans_report {

inline OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

inline bool monthly(const X11COM* Xp) { return Xp->op.month_f != 0; }

// "Jan" ... "Dec", or "Q1" ... "Q4".
inline std::string period_name(const X11COM* Xp, int p) {
  return monthly(Xp) ? msgtext(231 + p) : fmt::format("Q{}", p + 1);
}

// "JAN1990" or "1990Q1".
inline std::string date_text(const X11COM* Xp, double date) {
  return monthly(Xp) ? format_monyy(date, 7) : format_yyq(date, 6);
}

inline const char* interval(const X11COM* Xp) { return monthly(Xp) ? "MONTH" : "QTR"; }

// The name of compared series s, for titles.
inline std::string series_name(const X11COM* Xp, int s) {
  static constexpr int kNames[5] = {624, 625, 626, 627, 629};
  if (s == 3 && !monthly(Xp)) return msgtext(628);
  return msgtext(kNames[s]);
}

// Decimals of the spreads of series s.
inline int spread_decimals(const X11COM* Xp, int s) {
  return s == 1 ? Xp->x11ssp.PNumDec2 : Xp->x11ssp.PNumDec1;
}

// Opens a report table; `id` ("S 2.A.1") identifies it among the tables of
// the same template.
inline OdsManager& open_table(X11COM* Xp, const char* path, const char* name, const std::string& title,
                              const std::string& id) {
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table(path, name, title));
  ods_check(ods.set_entry("tab_title", id));
  return ods;
}

inline void column(OdsManager& ods, std::string name, std::string label, ColType type, int decimals = -1) {
  ods_check(ods.add_column(OdsColumn{std::move(name), std::move(label), type, decimals}));
}

}  // namespace x11sa::spans_report
