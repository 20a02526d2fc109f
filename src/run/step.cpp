#include "run/step.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "data/output_datasets.h"
#include "data/series_input.h"
#include "host/exit.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "records/exit_levels.h"
#include "host/recording.h"
#include "run/outsum_rows.h"
#include "run/variable_loop.h"
#include "run/worker_pool.h"
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
  long groups = 0;  // read
  long adjusted = 0;
};

// The share of the input data set read so far, for the progress shown.
double fraction_read(const InputDataSet& data) {
  return data.nobs() > 0 ? static_cast<double>(data.row_number()) / static_cast<double>(data.nobs()) : -1.0;
}

// Reads, adjusts and writes every BY group, one after the other.
ByLoopResult by_loop(const StepOptions& o, InputDataSet& data, OutputDataSets& datasets, Host& host) {
  ByLoopResult result;
  SeriesInput input(o, data, host);
  const GroupTarget target{o, host, datasets, data.vars()};
  ChainWorkspace work;
  const bool by_groups = !o.vars.by.empty();
  long& number = result.groups;
  host.progress().start("BY groups");
  while (std::optional<GroupData> group = input.next_group()) {
    ++number;
    result.level = std::max(result.level, group->exit_level);
    if (group->exit_level > exit_level::kWarning) {
      if (by_groups && group->exit_level == exit_level::kGroupDataError) {
        host.log().note(fmt::format("BY group {} is skipped.", number));
        write_outsum_rows_unadjusted(o, *group, datasets);
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
    } else {
      write_outsum_rows_unadjusted(o, *group, datasets);
    }
    host.progress().step(number, fraction_read(data));
  }
  host.progress().finish();
  return result;
}

// The end of a step's BY loop, once every group is done: an input without
// a group, or one out of BY order.
void finish_by_loop(InputDataSet& data, Host& host, ByLoopResult& result) {
  if (result.groups == 0) {
    // An empty data set has no group at all; say so rather than end silently.
    host.msg(message_id::kNoObservations);
    result.level = std::max(result.level, exit_level::kDataError);
  }
  if (const auto& error = data.sort_error()) {
    host.log().error(*error);
    xexit(exit_level::kResource);
  }
}

// One BY group of a step whose groups are adjusted by several threads: read
// by the step's thread, adjusted by a worker against a host and data sets of
// its own that record what it sends them, then replayed by the step's thread
// in BY order.
struct GroupJob {
  // `empty_recording` may have held an earlier group's, and keeps the memory
  // that group needed.
  GroupJob(const HostSettings& settings, std::unique_ptr<HostRecording> empty_recording)
      : recording(std::move(empty_recording)), host(settings, *recording) {}
  GroupJob(const GroupJob&) = delete;
  GroupJob& operator=(const GroupJob&) = delete;

  std::unique_ptr<HostRecording> recording;
  Host host;
  long number = 0;
  double fraction = -1.0;
  std::optional<GroupData> group;
  std::optional<OutputDataSets> datasets;
  OutIdValues ids;
  std::string label;
  bool adjusted = false;
  // How the group ended the step, when it did: rethrown at its turn.
  std::optional<StepExit> exit;
  std::exception_ptr fault;
  bool done = false;  // under the step's mutex once a worker has it
};

// Adjusts the group of `job` on a worker thread; never throws.
void adjust_job(const StepOptions& o, std::span<const VarInfo> variables, GroupJob& job, ChainWorkspace& work) {
  try {
    GroupData& group = *job.group;
    OutputDataSets& datasets = *job.datasets;
    datasets.start_group(group, out_rows_of(o, group));
    {
      ByGroupOutput output(job.host, o, job.number, job.label);
      (void)adjust_group(GroupTarget{o, job.host, datasets, variables}, group, job.number, job.label, work);
    }
    job.adjusted = true;
    datasets.write_out_rows(group, job.ids);
  } catch (const StepExit& e) {
    job.exit = e;
  } catch (...) {
    job.fault = std::current_exception();
  }
}

// The same as by_loop(), the groups adjusted by `threads` threads: this one,
// which also reads the groups ahead and writes the finished ones in order,
// and threads - 1 workers. This thread adjusts a group whenever it has none
// to read or write, rather than wait: with as many threads as cores, no core
// stands idle while groups wait, and none is shared by a thread that waits
// most of the time and wakes at every finished group.
// At most four times as many groups as threads are held at a time: enough
// that a worker seldom waits for the next group, or this thread for the next
// one to write.
ByLoopResult parallel_by_loop(const StepOptions& o, InputDataSet& data, OutputDataSets& datasets, Host& host,
                              int threads) {
  ByLoopResult result;
  SeriesInput input(o, data, host);
  const std::span<const VarInfo> variables = data.vars();
  const bool by_groups = !o.vars.by.empty();
  const std::size_t window = 4 * static_cast<std::size_t>(threads);
  std::mutex mutex;
  std::condition_variable finished;
  // Declared before the pool, so that the workers are joined before the
  // groups they adjust go, however the loop ends.
  std::deque<std::unique_ptr<GroupJob>> jobs;
  std::vector<std::unique_ptr<HostRecording>> spare_recordings;
  WorkerPool pool(threads - 1);
  ChainWorkspace own_work;  // for the groups this thread adjusts
  long& number = result.groups;
  bool reading = true;
  host.progress().start("BY groups");
  for (;;) {
    while (reading && jobs.size() < window) {
      std::unique_ptr<HostRecording> recording;
      if (spare_recordings.empty()) {
        recording = std::make_unique<HostRecording>();
      } else {
        recording = std::move(spare_recordings.back());
        spare_recordings.pop_back();
      }
      auto job = std::make_unique<GroupJob>(host.settings(), std::move(recording));
      bool adjust = false;
      try {
        job->group = input.next_group(job->host);
        if (!job->group) {
          // The groups' messages go with their groups; this one had none to send.
          reading = false;
          break;
        }
        job->number = ++number;
        job->fraction = fraction_read(data);
        const GroupData& group = *job->group;
        if (group.exit_level > exit_level::kWarning) {
          if (!by_groups || group.exit_level != exit_level::kGroupDataError) xexit(group.exit_level);
          job->host.log().note(fmt::format("BY group {} is skipped.", number));
        } else if (group.can_be_adjusted()) {
          job->label = by_groups ? by_label(variables, o.vars.by, group.by_values) : std::string();
          job->datasets.emplace(datasets.recorder(job->host, *job->recording));
          job->ids = datasets.read_id_values(group, data);
          adjust = true;
        }
      } catch (const StepExit& e) {
        job->exit = e;
      } catch (...) {
        job->fault = std::current_exception();
      }
      // Nothing is read past a group that ends the step.
      if (job->exit || job->fault) reading = false;
      GroupJob& queued = *jobs.emplace_back(std::move(job));
      if (adjust) {
        pool.submit([&o, variables, &queued, &mutex, &finished](ChainWorkspace& work) {
          adjust_job(o, variables, queued, work);
          {
            const std::lock_guard lock(mutex);
            queued.done = true;
          }
          finished.notify_all();
        });
      } else {
        queued.done = true;
      }
    }
    if (jobs.empty()) break;
    GroupJob& job = *jobs.front();
    for (;;) {
      {
        const std::lock_guard lock(mutex);
        if (job.done) break;
      }
      // The oldest group is still being adjusted: adjust one that waits,
      // or, when the workers have them all, wait for it.
      if (!pool.run_waiting_task(own_work)) {
        std::unique_lock lock(mutex);
        finished.wait(lock, [&job] { return job.done; });
        break;
      }
    }
    host.replay(*job.recording, [&datasets](int dataset, std::string_view row) {
      datasets.write_recorded_row(dataset, row);
    });
    if (job.exit) throw StepExit(*job.exit);
    if (job.fault) std::rethrow_exception(job.fault);
    if (job.group) {
      result.level = std::max(result.level, job.group->exit_level);
      if (job.adjusted) ++result.adjusted;
      else write_outsum_rows_unadjusted(o, *job.group, datasets);
      if (job.group->exit_level <= exit_level::kWarning) host.progress().step(job.number, job.fraction);
    }
    // The recording, emptied, serves a group to come: it has grown to what
    // a group records, which then costs no allocation or copy as it grows.
    std::unique_ptr<HostRecording> replayed = std::move(job.recording);
    jobs.pop_front();
    replayed->clear();
    spare_recordings.push_back(std::move(replayed));
  }
  host.progress().finish();
  finish_by_loop(data, host, result);
  return result;
}

ByLoopResult run_by_loop(const StepOptions& o, InputDataSet& data, OutputDataSets& datasets, Host& host) {
  const int threads = host.settings().jobs;
  if (threads > 1) return parallel_by_loop(o, data, datasets, host, threads);
  ByLoopResult result = by_loop(o, data, datasets, host);
  finish_by_loop(data, host, result);
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
    const ByLoopResult groups = run_by_loop(o, *read.input, datasets, host);
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
  // The step's own last messages concern no group.
  host.log().set_group({});
  host.log().set_variable({});
  return level;
}

}  // namespace x11sa
