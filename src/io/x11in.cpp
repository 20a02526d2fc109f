#include "io/x11in.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "io/x11out.h"

namespace x11sa {

namespace {

constexpr double kTooLarge = 1.3407807929943e+154;

Host& host_of(X11COM* Xp) { return *Xp->host; }

std::string format_run_date(const X11COM* Xp, double d) {
  return Xp->op.month_f != 0 ? format_monyy(d, 7) : format_yyq(d, 6);
}

void set_test(X11COM* Xp) {
  const bool has_date = Xp->date.varno >= 0;
  Xp->xin.test1 = has_date && (Xp->op.start_f != 0 || Xp->op.end_f != 0) ? 1 : 0;
  Xp->xin.test2 = !has_date && Xp->op.start_f != 0 && Xp->op.end_f != 0 ? 1 : 0;
  Xp->xin.test3 = !has_date && Xp->op.start_f != 0 ? 1 : 0;
  if (Xp->xin.test2 != 0)
    Xp->xin.range_len =
        static_cast<long>(zintck(run_interval(Xp), Xp->date.start2, Xp->date.end2)) + 1;
  if (Xp->xin.test3 != 0) {
    Xp->date.firstyr = zyear(Xp->date.start2);
    Xp->date.firstper = Xp->op.month_f != 0 ? zmonth(Xp->date.start2) - 1 : zqtr(Xp->date.start2) - 1;
  }
  Xp->xin.range_flag = 0;
  Xp->msg1_cnt = 0;
  Xp->msg2_cnt = 0;
  Xp->pmf_msg = 0;
  for (std::size_t i = 0; i < Xp->vars.size(); ++i) {
    VAR& v = Xp->vars[i];
    v.run_f = 1;
    v.begin_msg = v.end_msg = v.err_msg1 = v.err_msg2 = v.embed_msg = 0;
    v.nobs = 0;
    v.nmiss = 0;
    v.varno2 = static_cast<int>(i);
  }
  Xp->util1->clear();
  Xp->util3->clear();
}

void set_period(X11COM* Xp, double d) {
  Xp->date.firstyr = zyear(d);
  Xp->date.firstper = Xp->op.month_f != 0 ? zmonth(d) - 1 : zqtr(d) - 1;
}

// A missing or out-of-range date stops the group with a data error.
bool bad_date(X11COM* Xp, long row, double d) {
  if (date_in_range(d)) return false;
  host_of(Xp).msg(21, row);
  raise_level(Xp, group_error_level(Xp));
  Xp->rc.rc1 = 1;
  return true;
}

void check_date(X11COM* Xp, long row) {
  const double d = Xp->date.current;
  if (bad_date(Xp, row, d)) return;
  if (Xp->inobs == 1) {
    Xp->date.previous = d;
    Xp->date.start = d;
    set_period(Xp, d);
    return;
  }
  const double step = zintck(run_interval(Xp), Xp->date.previous, d);
  if (is_missing(step) || step != 1.0) {
    if (Xp->msg1_cnt < 10) {
      host_of(Xp).msg(23, format_run_date(Xp, Xp->date.previous), format_run_date(Xp, d), row);
    } else if (Xp->msg2_cnt == 0) {
      host_of(Xp).msg(65);
      Xp->msg2_cnt = 1;
    }
    ++Xp->msg1_cnt;
    raise_level(Xp, group_error_level(Xp));
  }
  Xp->date.previous = d;
}

void set_flags(X11COM* Xp, long row, const double* values) {
  for (std::size_t i = 0; i < Xp->vars.size(); ++i) {
    VAR& v = Xp->vars[i];
    if (v.err_msg1 != 0) continue;
    const double x = values[i];
    if (v.end_msg == 0) {
      if (is_missing(x)) {
        if (v.nobs == 0) {
          ++v.nmiss;
        } else {
          v.end_msg = 1;
        }
        continue;
      }
      ++v.nobs;
      if (v.nobs == 1 && v.nmiss > 0) host_of(Xp).msg(22, v.v_vs);
      if (Xp->op.add_f == 0 && x <= 0.0) {
        host_of(Xp).msg(27, v.v_vs, row);
        v.run_f = 0;
        v.err_msg1 = 1;
      } else if (std::fabs(x) > kTooLarge || std::isnan(x)) {
        host_of(Xp).msg(26, fmt::format("{:g}", x), v.v_vs);
        v.run_f = 0;
        v.err_msg1 = 1;
      }
    } else if (!is_missing(x) && v.embed_msg == 0) {
      host_of(Xp).msg(24, v.v_vs, v.nobs);
      v.embed_msg = 1;
    }
  }
}

void write_pmfact_util(X11COM* Xp, long row) {
  double x = Xp->work.pmf_temp;
  if (is_missing(x)) {
    x = Xp->op.add_f != 0 ? 0.0 : 100.0;
    if (Xp->pmf_msg == 0) host_of(Xp).msg(31, x);
    Xp->pmf_msg = 1;
  } else if ((Xp->op.add_f == 0 && !(x > 0.0)) || std::fabs(x) > kTooLarge) {
    // A factor of infinity (or one that overflows once applied) would turn
    // the prior-adjusted series into zeros or infinities.
    const std::string name =
        Xp->in_ds ? Xp->in_ds->vars()[static_cast<std::size_t>(Xp->vn_pmf)].name : std::string("prior_factors");
    if (std::fabs(x) > kTooLarge) {
      host_of(Xp).log().error(fmt::format("The PMFACTOR= variable {} has the value {:g} at observation {}, "
                                          "above 1.3407807929943E154 in size; the BY group cannot be adjusted.",
                                          name, x, row));
    } else {
      host_of(Xp).msg(18, fmt::format("{:g}", x), row, name);
    }
    raise_level(Xp, group_error_level(Xp));
    Xp->rc.rc1 = 1;
    return;
  }
  if (!Xp->util3->write(&x, sizeof x)) {
    host_of(Xp).msg(95);
    raise_level(Xp, 1020);
    xexit(Xp->exitlvl);
  }
}

void set_start_end_values(X11COM* Xp) {
  const char* iv = run_interval(Xp);
  const int p = Xp->nper;
  const int half = p / 2;
  for (VAR& v : Xp->vars) {
    v.b_date = zintnx(iv, Xp->date.start, v.nmiss);
    v.e_date = zintnx(iv, v.b_date, std::max(v.nobs - 1, 0L));
    v.firstyr = zyear(v.b_date);
    v.lastyr = zyear(v.e_date);
    v.firstper = Xp->op.month_f != 0 ? zmonth(v.b_date) - 1 : zqtr(v.b_date) - 1;
    v.lastper = Xp->op.month_f != 0 ? zmonth(v.e_date) - 1 : zqtr(v.e_date) - 1;
    v.xfirstper = v.firstper + half;
    if (v.xfirstper > p - 1) v.xfirstper -= p;
    v.xlastper = v.lastper - half;
    if (v.xlastper < 0) v.xlastper += p;
  }
}

void check_nobs_all(X11COM* Xp) {
  const long minimum = Xp->op.month_f != 0 ? 36 : 12;
  int short_count = 0;
  int td_count = 0;
  for (std::size_t k = 0; k < Xp->vars.size(); ++k) {
    VAR& v = Xp->vars[k];
    if (v.nobs < minimum) {
      ++short_count;
      if (v.run_f != 0) {
        host_of(Xp).msg(20, v.v_vs, v.nobs);
        raise_level(Xp, 4);
        v.run_f = 0;
      }
      continue;
    }
    if (Xp->tdregr != 0 && Xp->op.tdcmpt_f != 0 && !tdcompute_date_ok(Xp, static_cast<int>(k))) {
      ++td_count;
      if (v.run_f != 0) {
        host_of(Xp).msg(29, v.v_vs);
        v.run_f = 0;
      }
    }
  }
  // A group in which no variable can be adjusted is a data error of the
  // group, whatever rejected its variables: too few values, the TDCOMPUTE=
  // date, or bad values.
  int adjusted = 0;
  for (const VAR& v : Xp->vars) adjusted += v.run_f;
  const int n = static_cast<int>(Xp->vars.size());
  if (n > 0 && (short_count == n || td_count == n || adjusted == 0)) {
    host_of(Xp).msg(37);
    raise_level(Xp, group_error_level(Xp));
  }
}

void capture_by_values(X11COM* Xp) {
  const InputDataSet& ds = *Xp->in_ds;
  Xp->by_num.assign(Xp->bylst.size(), kMissing);
  Xp->by_text.assign(Xp->bylst.size(), std::string());
  for (std::size_t i = 0; i < Xp->bylst.size(); ++i) {
    const int k = Xp->bylst[i];
    if (ds.vars()[static_cast<std::size_t>(k)].type == VarType::Numeric) {
      Xp->by_num[i] = ds.num(k);
    } else {
      Xp->by_text[i] = std::string(ds.str(k));
    }
  }
}

}  // namespace

const char* run_interval(const X11COM* Xp) { return Xp->op.month_f != 0 ? "MONTH" : "QTR"; }

int group_error_level(const X11COM* Xp) { return Xp->nby > 0 ? 108 : 1008; }

bool tdcompute_date_ok(X11COM* Xp, int k) {
  const VAR& v = Xp->vars[static_cast<std::size_t>(k)];
  const double last_month = zintnx("MONTH", v.e_date, 0);
  const double n = zintck("MONTH", Xp->tdcompute, last_month);
  return !is_missing(n) && n >= 12.0;
}

int check_range(X11COM* Xp, long row, const double* values) {
  XIN& xin = Xp->xin;
  xin.range_flag = 0;
  if (xin.test1 == 0) {
    if (xin.test2 != 0 && Xp->inobs == xin.range_len) return 2;
  } else {
    if (bad_date(Xp, row, Xp->date.current)) return 2;
    if (Xp->date.current < Xp->date.start2) return -1;
    if (Xp->date.current > Xp->date.end2) return 2;
  }
  ++Xp->inobs;
  if (Xp->inobs == 1) {
    if (Xp->op.output_f != 0) Xp->startobs = Xp->in_ds->note();
    if (xin.test2 != 0 || xin.test3 != 0) {
      Xp->date.current = Xp->date.previous = Xp->date.start = Xp->date.start2;
      set_period(Xp, Xp->date.start2);
    }
  }
  if (Xp->date.varno >= 0) {
    check_date(Xp, row);
  } else if (Xp->inobs > 1) {
    Xp->date.current = zintnx(run_interval(Xp), Xp->date.previous, 1);
    Xp->date.previous = Xp->date.current;
  }
  if (Xp->rc.rc1 == 0) {
    set_flags(Xp, row, values);
    if (Xp->vn_pmf >= 0) write_pmfact_util(Xp, row);
  }
  return Xp->rc.rc1 != 0 ? 2 : xin.range_flag;
}

bool zttrans(UtilFile& in, UtilFile& out, long nrow, long ncol) {
  out.clear();
  if (nrow <= 0 || ncol <= 0) return true;
  constexpr long kBlockRows = 8192;
  const long block_rows = std::min(nrow, kBlockRows);
  std::vector<double> block(static_cast<std::size_t>(block_rows * ncol));
  std::vector<double> column(static_cast<std::size_t>(block_rows), kMissing);
  // Lay out the columns in full first, so every block can be written in place.
  for (long k = 0; k < ncol * nrow; k += block_rows)
    if (!out.write(column.data(), static_cast<std::size_t>(std::min(block_rows, ncol * nrow - k)) * sizeof(double)))
      return false;
  if (!in.point(0)) return false;
  for (long r0 = 0; r0 < nrow; r0 += block_rows) {
    const long rows = std::min(block_rows, nrow - r0);
    if (!in.read(block.data(), static_cast<std::size_t>(rows * ncol) * sizeof(double))) return false;
    for (long j = 0; j < ncol; ++j) {
      for (long r = 0; r < rows; ++r)
        column[static_cast<std::size_t>(r)] = block[static_cast<std::size_t>(r * ncol + j)];
      if (!out.point(static_cast<std::size_t>(j * nrow + r0) * sizeof(double))) return false;
      if (!out.write(column.data(), static_cast<std::size_t>(rows) * sizeof(double))) return false;
    }
  }
  return true;
}

void x11ds(X11COM* Xp) {
  Host& host = host_of(Xp);
  // The DATE= variable is written once, as the date of OUT=.
  if (Xp->date.varno >= 0)
    Xp->idlst.erase(std::remove(Xp->idlst.begin(), Xp->idlst.end(), Xp->date.varno), Xp->idlst.end());
  Xp->nid = static_cast<int>(Xp->idlst.size());
  Xp->idvars.clear();
  for (int k : Xp->idlst) {
    const VarInfo& vi = Xp->in_ds->vars()[static_cast<std::size_t>(k)];
    ID_VARS id;
    id.varno = k;
    id.ntype = vi.type == VarType::Numeric ? 1 : 2;
    id.nlng = vi.length;
    Xp->idvars.push_back(std::move(id));
  }
  Xp->vars.clear();
  for (std::size_t i = 0; i < Xp->varlst.size(); ++i) {
    VAR v;
    v.varno = Xp->varlst[i];
    v.varno2 = static_cast<int>(i);
    v.v_vs = Xp->in_ds->vars()[static_cast<std::size_t>(v.varno)].name;
    Xp->vars.push_back(std::move(v));
  }
  define_output_datasets(Xp);
  const std::size_t limit = host.settings().util_memory_limit;
  Xp->util1 = std::make_unique<UtilFile>(limit);
  Xp->util2 = std::make_unique<UtilFile>(limit);
  Xp->util3 = std::make_unique<UtilFile>(limit);
  Xp->in_ds->set_by(Xp->bylst, Xp->by_descending, Xp->by_notsorted);
}

void x11in_begin(X11COM* Xp) {
  set_test(Xp);
  Xp->inobs = 0;
  Xp->obs = 0;
  Xp->kept_dates.clear();
}

int x11in_row(X11COM* Xp, long row, const double* values) {
  const int rc = check_range(Xp, row, values);
  if (rc != 0) return rc;
  if (Xp->date.varno >= 0) Xp->kept_dates.push_back(Xp->date.current);
  if (!Xp->util1->write(values, static_cast<std::size_t>(Xp->nvar) * sizeof(double))) {
    Xp->host->msg(95);
    raise_level(Xp, 1020);
    xexit(Xp->exitlvl);
  }
  return 0;
}

void x11in_end(X11COM* Xp) {
  Host& host = host_of(Xp);
  if (Xp->rc.rc1 != 0) return;
  if (Xp->inobs == 0) {
    // Nothing to adjust is an error of the data, with or without BY groups:
    // the message, the level and the exit status say the same.
    host.msg(66);
    raise_level(Xp, group_error_level(Xp));
    return;
  }
  if (Xp->inobs > INT_MAX) {
    host.msg(33);
    raise_level(Xp, 1012);
    xexit(Xp->exitlvl);
  }
  Xp->obs = Xp->inobs;
  if (!zttrans(*Xp->util1, *Xp->util2, Xp->obs, Xp->nvar))
    xebug_exit(fmt::format("X11IN: ERROR RC from zttran-1: {}", 1));
  // The rows are in util2 now; util1 receives the group's tables from position 0.
  Xp->util1->clear();
  const long p = Xp->nper;
  Xp->array_size = Xp->obs + (Xp->op.yrahdout_f != 0 ? p : 0);
  Xp->fake_array_size = Xp->array_size + Xp->x11acom.arima.ar_len;
  set_start_end_values(Xp);
  check_nobs_all(Xp);
}

void x11in(X11COM* Xp) {
  InputDataSet& ds = *Xp->in_ds;
  x11in_begin(Xp);
  std::vector<double> row(static_cast<std::size_t>(Xp->nvar));
  bool first_row = true;
  while (ds.next_row()) {
    if (first_row) {
      first_row = false;
      capture_by_values(Xp);
    }
    for (int i = 0; i < Xp->nvar; ++i)
      row[static_cast<std::size_t>(i)] = ds.num(Xp->varlst[static_cast<std::size_t>(i)]);
    if (Xp->date.varno >= 0) Xp->date.current = ds.num(Xp->date.varno);
    if (Xp->vn_pmf >= 0) Xp->work.pmf_temp = ds.num(Xp->vn_pmf);
    const int rc = x11in_row(Xp, ds.row_number(), row.data());
    if (rc == 2) break;
  }
  x11in_end(Xp);
}

}  // namespace x11sa
