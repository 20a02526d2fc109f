#include "run/step.h"

#include <algorithm>
#include <exception>

#include <fmt/format.h>

#include "data/output_datasets.h"
#include "data/series_input.h"
#include "host/exit.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "records/exit_levels.h"
#include "run/variable_loop.h"
#include "statements/step_options.h"

namespace x11sa {

namespace {

// The output group of a BY group, named in the titles of its pages.
class ByGroupOutput {
 public:
  ByGroupOutput(Host& host, const StepOptions& o, long number, const std::string& label)
      : host_(host), open_(!o.vars.by.empty() && !o.print.noprint && host.ods().active()) {
    if (open_) host.ods().open_group(fmt::format("ByGroup{}", number), label);
  }
  ~ByGroupOutput() noexcept(false) {
    if (open_ && std::uncaught_exceptions() == 0) host_.ods().close_group();
  }
  ByGroupOutput(const ByGroupOutput&) = delete;
  ByGroupOutput& operator=(const ByGroupOutput&) = delete;

 private:
  Host& host_;
  bool open_;
};

struct ByLoopResult {
  int level = exit_level::kNormal;
  long adjusted = 0;
};

// Reads, adjusts and writes every BY group.
ByLoopResult by_loop(const StepOptions& o, InputDataSet& data, OutputDataSets& datasets, Host& host) {
  ByLoopResult result;
  SeriesInput input(o, data, host);
  const GroupTarget target{o, host, datasets, data.vars()};
  ChainWorkspace work;
  const bool by_groups = !o.vars.by.empty();
  long number = 0;
  host.progress().start("BY groups");
  while (std::optional<GroupData> group = input.next_group()) {
    ++number;
    result.level = std::max(result.level, group->exit_level);
    if (group->exit_level > exit_level::kWarning) {
      if (by_groups && group->exit_level == exit_level::kGroupDataError) {
        host.log().note(fmt::format("BY group {} is skipped.", number));
        continue;
      }
      xexit(group->exit_level);
    }
    if (group->can_be_adjusted()) {
      const std::string label = by_groups ? by_label(data.vars(), o.vars.by, group->by_values) : std::string();
      datasets.start_group(*group, out_rows_of(o, *group));
      {
        ByGroupOutput output(host, o, number, label);
        (void)adjust_group(target, *group, number, label, work);
      }
      ++result.adjusted;
      datasets.write_out_rows(*group, &data);
    }
    host.progress().step(
        number, data.nobs() > 0 ? static_cast<double>(data.row_number()) / static_cast<double>(data.nobs()) : -1.0);
  }
  host.progress().finish();
  if (number == 0) {
    // An empty data set has no group at all; say so rather than end silently.
    host.msg(message_id::kNoObservations);
    result.level = std::max(result.level, exit_level::kDataError);
  }
  if (const auto& error = data.sort_error()) {
    host.log().error(*error);
    xexit(exit_level::kResource);
  }
  return result;
}

}  // namespace

int run_step(Host& host, const ProcStep& step) {
  int level = exit_level::kNormal;
  try {
    // Options are read and checked even after a statement error, so that
    // every diagnostic of the step shows at once.
    StepOptionsRead read = read_step_options(parse_step(step, host), host);
    level = read.exit_level;
    if (level > exit_level::kWarning) return level;
    const StepOptions& o = read.options;
    if (!read.input) xebug_exit("the step's options were read without its input data set");
    OutputDataSets datasets(o, read.input->vars(), host);
    level = std::max(level, datasets.exit_level());
    if (level > exit_level::kWarning) return level;
    const ByLoopResult groups = by_loop(o, *read.input, datasets, host);
    level = std::max(level, groups.level);
    // A step that adjusted nothing leaves the output data sets as they were.
    if (groups.adjusted > 0 || level <= exit_level::kWarning) {
      level = std::max(level, datasets.commit());
    } else {
      datasets.discard();
    }
  } catch (const StepExit& e) {
    if (!e.text().empty()) host.log().error(fmt::format("Internal error: {}", e.text()));
    level = std::max(level, e.level());
  }
  return level;
}

}  // namespace x11sa
