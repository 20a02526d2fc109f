// The step that adjusts one series held in memory: the statements' options
// from the typed ones, printing nothing and capturing every table.
#pragma once

#include <cstddef>

#include "records/step_options.h"
#include "x11sa/adjust.h"

namespace x11sa {

class Host;

struct SeriesStep {
  StepOptions options;
  // The highest level the checks raised; above 4 the series cannot be adjusted.
  int exit_level = 0;
};

// The step for `values` values starting where `options` says; every
// problem of the options is logged in the statements' words.
[[nodiscard]] SeriesStep series_step(std::size_t values, const SeriesOptions& options, Host& host);

}  // namespace x11sa
