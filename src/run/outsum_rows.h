// The OUTSUM= rows of a BY group: one per analysis variable, in the order of
// the VAR list, whether the variable was adjusted or not.
#pragma once

#include <span>

#include "data/output_datasets.h"
#include "data/series_input.h"
#include "records/step_options.h"
#include "records/variable_summary.h"
#include "run/variable_loop.h"

namespace x11sa {

// The summary of variable `v` of `group`: from `outcome` when it was
// adjusted (null when it was not, or its group was skipped).
[[nodiscard]] VariableSummary variable_summary(const StepOptions& o, const GroupData& group, const VariableReading& v,
                                               const VariableOutcome* outcome);

// Writes the group's rows to OUTSUM=, when the step has it; `outcomes` are
// those adjust_group() returned, none for a group that was not adjusted.
void write_outsum_rows(const StepOptions& o, const GroupData& group, std::span<const VariableOutcome> outcomes,
                       OutputDataSets& datasets);

// The same for a group that was not adjusted: its BY values start a group of
// the data sets first.
void write_outsum_rows_unadjusted(const StepOptions& o, const GroupData& group, OutputDataSets& datasets);

}  // namespace x11sa
