// The options of one PROC X11 step, read from its statements, checked and
// settled once; nothing changes them afterwards.
#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <vector>

#include "host/dataset.h"
#include "records/table_catalogue.h"
#include "x11sa/options.h"

namespace x11sa {

// The input data set: its file and the name messages show.
struct InputDataSetRef {
  std::string path;
  std::string name;
};

// An output data set, its library resolved to a folder.
struct OutputDataSetRef {
  DataSetName name;
  std::string folder;
};

// The variables of the step, as indexes of the input data set's variables.
// A series held in memory has the series as variable 0 and its prior
// factors as variable 1.
struct StepVariables {
  std::vector<int> analysis;  // VAR, or every numeric variable not otherwise used
  std::vector<int> by;
  std::vector<bool> by_descending;  // per BY variable
  bool by_notsorted = false;
  std::vector<int> id;
  std::optional<int> date;           // DATE=
  std::optional<int> prior_factors;  // PMFACTOR=
};

// The switches that write the working state of a run to the log.
struct DebugSwitches {
  bool debug = false;
  bool debugd = false;
  bool debugx = false;
};

struct StepOptions {
  AdjustmentOptions method;
  // Settled: NOPRINT has cleared every level, and a TABLES statement the
  // levels that were not written.
  PrintOptions print;

  std::optional<InputDataSetRef> input;  // none for a series held in memory
  std::optional<OutputDataSetRef> out, outstb, outtdr, outspan;
  // OUTSUM=: a row per BY group and variable; the diagnostics are kept for it.
  std::optional<OutputDataSetRef> outsum;
  bool outextrap = false;  // OUT= has the rows of the ARIMA extension

  // START= and END=: the first and the last period read, as dates.
  std::optional<double> start, end;
  StepVariables vars;

  // OUTPUT: the new variables of each table, one per analysis variable, by
  // the table's place in OUT= (table_info(t).out_index).
  std::array<std::vector<std::string>, kOutTableCount> out_names;

  // Anything at all is printed: the preface and the page titles follow.
  bool prints_anything = false;
  // The diagnostics of each variable (the tests on D8, D9A, E4, F2) are
  // computed whether or not their tables are printed: the library returns them.
  bool keep_diagnostics = false;
  // The sliding-spans reports S0 to S7 that are printed.
  std::bitset<8> span_reports;

  DebugSwitches debug;

  [[nodiscard]] const std::vector<std::string>& out_names_of(Table t) const {
    static const std::vector<std::string> kNone;
    const int k = table_info(t).out_index;
    return k < 0 ? kNone : out_names[static_cast<std::size_t>(k)];
  }
  [[nodiscard]] std::size_t out_variable_count() const {
    std::size_t n = 0;
    for (const auto& names : out_names) n += names.size();
    return n;
  }
};

// Anything at all is printed under settled print options.
[[nodiscard]] bool prints_anything(const PrintOptions& print) noexcept;
// The sliding-spans reports S0 to S7 printed: those TABLES names, or else
// those of the SSPAN print level (S3, which compares trading-day factors,
// only with a trading-day regression; S7 only with PRINTALL).
[[nodiscard]] std::bitset<8> printed_span_reports(const PrintOptions& print, TradingDayRegression tdregr);

}  // namespace x11sa
