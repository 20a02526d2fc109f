// Helpers shared by the extension driver, the model selection and the reports.
#pragma once

#include <cstddef>
#include <string>

#include "run/x11com.h"

namespace x11sa::detail {

// The name of the variable in process.
[[nodiscard]] const std::string& variable_name(const X11COM* Xp);
// Copies at most `limit` characters of `name` into the record.
void copy_name(X11ARIMA* rec, const std::string& name, std::size_t limit);
// True when ARIMA reports go to the output objects.
[[nodiscard]] bool ods_printing(X11COM* Xp);
// Message rc + 45 on a failed estimation, to the log and, with `to_ods`,
// as a note among the output objects.
void estimation_failure(X11COM* Xp, int rc, bool to_ods);
// The message of a forecaster code, or 0 for a code that has none.
[[nodiscard]] int forecast_failure_message(int rc);
void forecast_failure(X11COM* Xp, int rc, bool to_ods);

}  // namespace x11sa::detail
