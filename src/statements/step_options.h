// The options of a step from its parsed statements: values, defaults, the
// checks of each value and of the statements together, the data sets and
// variables resolved, and what is printed settled.
#pragma once

#include <memory>

#include "host/dataset.h"
#include "records/step_options.h"
#include "statements/grammar.h"

namespace x11sa {

class Host;

// Where the series of the step come from.
enum class SeriesSource {
  DataSet,  // the input data set the statements name (or the last one written)
  Memory,   // one series held by the caller: no data set is opened
};

struct StepOptionsRead {
  StepOptions options;
  std::unique_ptr<InputDataSet> input;  // open when the statements name one that could be read
  // The highest exit level raised, the statements' own included; above
  // exit_level::kWarning the step cannot run.
  int exit_level = 0;
};

// Reads the options of a step. Every problem is logged, in the order the
// statements' checks find them, so that all of a step's faults show at once.
[[nodiscard]] StepOptionsRead read_step_options(const ParsedStep& step, Host& host,
                                                SeriesSource source = SeriesSource::DataSet);

}  // namespace x11sa
