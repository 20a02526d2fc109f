#include "run/ornqx11.h"

#include <algorithm>
#include <chrono>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "io/x11in.h"
#include "io/x11out.h"
#include "run/legacy_options.h"
#include "statements/step_options.h"

namespace x11sa {

namespace {

// Resets what belongs to one BY group.
void reset_group(X11COM* Xp) {
  Xp->error = 0;
  Xp->rc.rc1 = 0;
  Xp->memdef = 0;
  Xp->bycnt += 1;
  Xp->ptd_reg_done = 0;
  Xp->util_pos = 0;
  Xp->exitlvl = 0;
}

// "name=value" of every BY variable of the current group.
std::string by_label(const X11COM* Xp) {
  std::string label;
  for (std::size_t i = 0; i < Xp->bylst.size(); ++i) {
    const VarInfo& v = Xp->in_ds->vars()[static_cast<std::size_t>(Xp->bylst[i])];
    if (!label.empty()) label += ", ";
    label += v.name + "=";
    if (v.type == VarType::Numeric) {
      const double x = Xp->by_num[i];
      label += is_missing(x) ? std::string(".") : v.is_date ? format_iso_date(x) : format_cell(OdsCell{x}, -1);
    } else {
      label += Xp->by_text[i];
    }
  }
  return label;
}

// The output group of a BY group, named in the titles of its pages.
class ByGroupOutput {
 public:
  explicit ByGroupOutput(X11COM* Xp) : Xp_(Xp) {
    Xp->by_label = Xp->nby > 0 ? by_label(Xp) : std::string();
    OdsManager& ods = Xp->host->ods();
    open_ = Xp->nby > 0 && Xp->op.noprint_f == 0 && ods.active();
    if (open_) ods_check(ods.open_group(fmt::format("ByGroup{}", Xp->bycnt), Xp->by_label));
  }
  ~ByGroupOutput() noexcept(false) {
    if (open_ && std::uncaught_exceptions() == 0) ods_check(Xp_->host->ods().close_group());
  }
  ByGroupOutput(const ByGroupOutput&) = delete;
  ByGroupOutput& operator=(const ByGroupOutput&) = delete;

 private:
  X11COM* Xp_;
  bool open_ = false;
};

// Runs every BY group; returns how many were adjusted.
long by_loop(X11COM* Xp, int& step_level) {
  Host& host = *Xp->host;
  InputDataSet& ds = *Xp->in_ds;
  host.progress().start("BY groups");
  Xp->bycnt = 0;
  long adjusted = 0;
  while (ds.next_group()) {
    reset_group(Xp);
    x11in(Xp);
    if (Xp->exitlvl > 4) {
      step_level = std::max(step_level, Xp->exitlvl);
      if (Xp->nby > 0 && Xp->exitlvl == 108) {
        host.log().note(fmt::format("BY group {} is skipped.", Xp->bycnt));
        continue;
      }
      xexit(Xp->exitlvl);
    }
    if (check_bygroup(Xp) == 0) {
      ByGroupOutput group(Xp);
      x11run(Xp);
      ++adjusted;
      if (Xp->op.output_f != 0 && Xp->tot_tbls > 0 && Xp->out_ds) x11out(Xp);
    }
    step_level = std::max(step_level, Xp->exitlvl);
    host.progress().step(Xp->bycnt, ds.nobs() > 0 ? static_cast<double>(ds.row_number()) / static_cast<double>(ds.nobs()) : -1.0);
  }
  host.progress().finish();
  if (Xp->bycnt == 0) {
    // An empty data set has no group at all; say so rather than end silently.
    host.msg(66);
    step_level = std::max(step_level, 1008);
  }
  if (const auto& err = ds.sort_error()) {
    host.log().error(*err);
    Xp->exitlvl = 1012;
    xexit(1012);
  }
  return adjusted;
}

}  // namespace

int check_bygroup(X11COM* Xp) {
  const long minimum = Xp->op.month_f != 0 ? 36 : 12;
  if (Xp->obs < minimum) return 1;
  int run = 0;
  for (const VAR& v : Xp->vars) run += v.run_f;
  return run == 0 ? 1 : 0;
}

int ornqx11(Host& host, const ProcStep& step) {
  X11COM com;
  X11COM* Xp = &com;
  Xp->host = &host;
  int step_level = 0;
  try {
    // Options are read and checked even after a statement error, so that
    // every diagnostic of the step shows at once.
    StepOptionsRead read = read_step_options(parse_step(step, host), host);
    raise_level(Xp, read.exit_level);
    if (Xp->exitlvl > 4) xexit(Xp->exitlvl);
    Xp->in_ds = std::move(read.input);
    apply_step_options(read.options, Xp);
    x11ds(Xp);
    if (Xp->exitlvl > 4) xexit(Xp->exitlvl);
    step_level = Xp->exitlvl;
    if (Xp->op.noprint_f == 0) Xp->fuzz = 1e-8;
    // A step that adjusted nothing leaves the output data sets as they were.
    if (by_loop(Xp, step_level) > 0 || step_level <= 4) commit_output_datasets(Xp);
    step_level = std::max(step_level, Xp->exitlvl);
  } catch (const StepExit& e) {
    if (!e.text().empty()) host.log().error(fmt::format("Internal error: {}", e.text()));
    step_level = std::max(step_level, e.level());
  }
  return step_level;
}

}  // namespace x11sa
