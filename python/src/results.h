// The library's results as plain Python values: dicts, lists, floats (NaN
// where a figure is missing) and strings.
#pragma once

#include <pybind11/pybind11.h>

#include "x11sa/adjust.h"

namespace x11sa::python {

// The tests for seasonality on D8; an empty dict when the series was not adjusted.
[[nodiscard]] pybind11::dict tests_dict(const AdjustedSeries& r);
// Henderson choice, I/C ratio, MCD, F2 figures, D9A, E4 (with `years`: a
// frame of many series leaves the annual ratios out), the ARIMA extension
// and the sliding spans.
[[nodiscard]] pybind11::dict summary_dict(const AdjustedSeries& r, bool years = true);
// The log's lines as (severity, text) pairs, severity 'NOTE', 'WARNING' or 'ERROR'.
[[nodiscard]] pybind11::list messages_list(const std::vector<LogMessage>& messages);

}  // namespace x11sa::python
