#include <fmt/format.h>

#include "run/legacy_arima.h"
#include "host/exit.h"
#include "host/host.h"
#include "run/flows.h"
#include "run/legacy_core.h"
#include "run/legacy_spans.h"
#include "run/legacy_report.h"
#include "run/ornqx11.h"
#include "run/workspace.h"

namespace x11sa {

namespace {

// The page title of a variable: its name, and its label when it has one.
void reset_header(X11COM* Xp, const VAR& v) {
  const VarInfo& vi = Xp->in_ds->vars()[static_cast<std::size_t>(v.varno)];
  std::string title = vi.label.empty() ? msgtext(97, v.v_vs) : msgtext(98, v.v_vs, vi.label);
  // The BY group in the title, as every page of it should say which group it shows.
  if (!Xp->by_label.empty()) title += " (" + Xp->by_label + ")";
  Xp->host->ods().set_page_title(std::move(title));
}

// A variable that is not adjusted still fills its OUT= columns, with missing values.
void write_missing(X11COM* Xp, const VAR& v) {
  const long len = Xp->op.outex_f != 0 ? Xp->fake_array_size : Xp->array_size;
  const long n = len * v.no_tbls;
  if (n == 0) return;
  std::vector<double> block(static_cast<std::size_t>(n), kMissing);
  if (!Xp->util1->write(block.data(), block.size() * sizeof(double))) {
    Xp->host->msg(95);
    raise_level(Xp, 1020);
    xexit(Xp->exitlvl);
  }
  Xp->util_pos += 8 * n;
}

// The output group of the variable in process.
class VariableGroup {
 public:
  VariableGroup(X11COM* Xp, const VAR& v) : Xp_(Xp) {
    OdsManager& ods = Xp->host->ods();
    if (!ods.active()) return;
    ods_check(ods.open_group(v.v_vs, msgtext(881, v.v_vs)));
    Xp->vargrp = 1;
  }
  ~VariableGroup() noexcept(false) {
    if (Xp_->vargrp == 0) return;
    Xp_->vargrp = 0;
    if (std::uncaught_exceptions() == 0) ods_check(Xp_->host->ods().close_group());
  }
  VariableGroup(const VariableGroup&) = delete;
  VariableGroup& operator=(const VariableGroup&) = delete;

 private:
  X11COM* Xp_;
};

// Runs the variable's flow. When the ARIMA extension fails, the plain flow
// reruns and its tables replace the ones already written for the variable,
// so that OUT= keeps its layout.
void run_flow(X11COM* Xp, int flow) {
  if (flow == 0) {
    x11flw1(Xp);
    return;
  }
  if ((flow == 1 ? x11flw2(Xp) : x11flw3(Xp)) == 0) return;
  X11FLOW& f = Xp->x11flow;
  const long start = Xp->util_pos - f.util_pos;
  if (Xp->captured_tables != nullptr) {
    Xp->captured_tables->resize(Xp->captured_tables->size() - static_cast<std::size_t>(f.util_pos / 8));
  } else if (!Xp->util1->point(static_cast<std::size_t>(start))) {
    xebug_exit("the tables of a variable cannot be rewritten after its ARIMA extension failed");
  }
  Xp->util_pos = start;
  f.util_pos = 0;
  f.ar_go = 0;
  f.X11ArimaFail = 1;
  if (Xp->op.outex_f != 0) f.ar_reset = 1;
  x11flw1(Xp);
}

}  // namespace

void x11run(X11COM* Xp) {
  if (!Xp->util3->point(0)) xebug_exit("the prior-factor utility file cannot be rewound");
  const int group_flow = Xp->op.arima_f == 0 ? 0 : Xp->tdregr == 0 ? 1 : 2;
  Xp->XtrmFcntPtr = Xp->extreme == 0 ? &x11xtro : &x11xtrm;
  alloc_memory(Xp);
  if (Xp->op.sspan_f != 0) {
    sp_alloc_memory(Xp);
    set_fp_dsn(Xp);
  }
  init_memory(Xp);
  if (Xp->tdregr != 0 && Xp->op.month_f != 0) x11tdt(Xp, Xp->work.mon_type, Xp->fake_array_size + 12);
  if (Xp->vn_pmf >= 0) fillup_pmf(Xp);
  for (std::size_t kk = 0; kk < Xp->vars.size(); ++kk) {
    VAR& v = Xp->vars[kk];
    X11FLOW& f = Xp->x11flow;
    f.ar_reset = 0;
    f.X11ArimaFail = 0;
    f.ar_go = 0;
    int flow = group_flow;
    const X11ARIMAOPTS& a = Xp->x11acom.arima;
    if (a.op.u_f == 0) {
      if (a.op.a_f == 0) {
        flow = 0;
      } else if (v.nobs < (Xp->op.month_f != 0 ? 60 : 20)) {
        if (v.run_f != 0 && flow != 0) Xp->host->msg(44, v.v_vs);
        flow = 0;
      }
      if (flow == 0 && a.op.a_f != 0 && Xp->op.outex_f != 0) f.ar_reset = 1;
    }
    f.ar_go = flow != 0 ? 1 : 0;
    f.first_write = 1;
    f.util_pos = 0;
    set_values(Xp, &v);
    if (Xp->op.sspan_f != 0) Xp->x11ssp.sfp = &Xp->x11flow;
    read_var(Xp, static_cast<int>(kk));
    if (Xp->op.sspan_f != 0) {
      fill_missing(Xp->x11ssp.sp_orig, Xp->fake_array_size);
      std::copy(Xp->work.original_in, Xp->work.original_in + Xp->fake_array_size, Xp->x11ssp.sp_orig);
    }
    if (v.run_f == 0) {
      write_missing(Xp, v);
      continue;
    }
    VariableGroup group(Xp, v);
    if (Xp->op.noprint_f == 0) {
      std::fill(std::begin(Xp->a_tbl_prnt), std::end(Xp->a_tbl_prnt), 0);
      reset_header(Xp, v);
      x11prn0(Xp, &v);
    } else if (a.ar_prnt > 0) {
      reset_header(Xp, v);
    }
    run_flow(Xp, flow);
    if (Xp->op.sspan_f != 0) {
      reset_opts(Xp, 0);
      run_sliding_spans(Xp, Xp->x11ssp.sfp);
      reset_opts(Xp, 1);
    }
  }
  free_memory(Xp);
  if (Xp->op.arima_f != 0) release_arima_engine(Xp);
}

}  // namespace x11sa
