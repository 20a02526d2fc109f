// Keyword arguments of the Python functions as the library's typed options.
#pragma once

#include <pybind11/pybind11.h>

#include "x11sa/adjust.h"

namespace x11sa::python {

// The method's options from keyword arguments named like the statements'
// options in lower case (additive=True, tdregr='adjust', arima='auto', ...).
// An unknown name or a value of the wrong type raises TypeError, a value
// outside its choices or range ValueError, in the statements' words.
[[nodiscard]] AdjustmentOptions adjustment_options(const pybind11::dict& kwargs);

// listing=True or a dict of printout=, charts=, tables=, ndec=, arima=,
// sspan=, linesize=, pagesize=.
[[nodiscard]] ListingOptions listing_options(const pybind11::handle& listing);

}  // namespace x11sa::python
