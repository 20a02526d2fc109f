#include "run/workspace.h"

#include <cstring>

#include "host/exit.h"
#include "host/host.h"

namespace x11sa {

namespace {

void memory_check(X11COM* Xp) {
  Xp->memdef += Xp->pool ? Xp->pool->deficit() : 0;
  if (Xp->memdef != 0) {
    Xp->host->log().error(fmt::format(
        "Not enough memory for the workspace of BY group {} ({} bytes short).", Xp->bycnt, Xp->memdef));
    raise_level(Xp, 1012);
    xexit(1012);
  }
}

}  // namespace

void alloc_memory(X11COM* Xp) {
  const long n = Xp->fake_array_size;
  const auto N = static_cast<std::size_t>(n);
  // One pool serves every group of the step; it is released after each.
  if (!Xp->pool) Xp->pool = std::make_unique<MemPool>(Xp->host->settings().pool_limit);
  MemPool& p = *Xp->pool;
  WORK& w = Xp->work;
  w.sizeob = 8 * Xp->obs;
  w.sizetb = 8 * n;
  Xp->len1 = 8 * n;
  w.mon_type = Xp->op.month_f != 0 ? p.alloc<short>(N + 24) : nullptr;
  w.mon_type_work = Xp->op.month_f != 0 ? p.alloc<short>(N + 24) : nullptr;
  for (double** a : {&w.wrt_vec, &w.temp1, &w.temp2, &w.avec1, &w.avec2, &w.avec3, &w.avec4,
                     &w.work2, &w.work3, &w.pmf, &w.original_in, &w.a3, &w.a5, &w.a13, &w.a14,
                     &w.a15, &w.b1, &w.c17, &w.c18, &w.c19, &w.d8, &w.d9, &w.d10, &w.d11, &w.d12,
                     &w.d13, &w.b14, &w.b16, &w.b18, &w.b19, &w.c14, &w.c16})
    *a = p.alloc<double>(N);
  w.temp3 = p.alloc<double>(N + 24);
  w.work1 = p.alloc<double>(N + 24);
  w.a6 = p.alloc<double>(N + 48);
  w.ptdfactor = p.alloc<double>(N + 24);
  memory_check(Xp);
  // Every table starts missing; a table defines only its own range.
  for (double* a : {w.wrt_vec, w.temp1, w.temp2, w.avec1, w.avec2, w.avec3, w.avec4, w.work2,
                    w.work3, w.pmf, w.original_in, w.a3, w.a5, w.a13, w.a14, w.a15, w.b1, w.c17,
                    w.c18, w.c19, w.d8, w.d9, w.d10, w.d11, w.d12, w.d13, w.b14, w.b16, w.b18,
                    w.b19, w.c14, w.c16})
    fill_missing(a, n);
  fill_missing(w.temp3, n + 24);
  fill_missing(w.work1, n + 24);
  fill_missing(w.a6, n + 48);
}

void sp_alloc_memory(X11COM* Xp) {
  Xp->x11ssp.sp_orig = Xp->pool->alloc<double>(static_cast<std::size_t>(Xp->fake_array_size));
  Xp->x11ssp.sfp = &Xp->x11flow;
  memory_check(Xp);
}

void init_memory(X11COM* Xp) {
  const long n = Xp->fake_array_size;
  if (Xp->work.mon_type != nullptr) {
    std::fill(Xp->work.mon_type, Xp->work.mon_type + n + 24, static_cast<short>(-999));
    std::fill(Xp->work.mon_type_work, Xp->work.mon_type_work + n + 24, static_cast<short>(-999));
  }
  fill_missing(Xp->work.ptdfactor, n + 24);
}

void read_var(X11COM* Xp, int kk) {
  WORK& w = Xp->work;
  const auto bytes = static_cast<std::size_t>(w.sizeob);
  if (!Xp->util2->point(static_cast<std::size_t>(kk) * bytes) || !Xp->util2->read(w.wrt_vec, bytes))
    xebug_exit(fmt::format("utility file holds no record for variable {}", kk + 1));
  fill_missing(w.original_in, Xp->fake_array_size);
  std::memcpy(w.original_in + Xp->x11acom.arima.back, w.wrt_vec, bytes);
}

void set_values(X11COM* Xp, VAR* v) {
  X11FLOW& f = Xp->x11flow;
  const long P = Xp->nper;
  const long h = P / 2;
  const long B = Xp->x11acom.arima.back;
  const long F = Xp->x11acom.arima.fore;
  const long L = Xp->x11acom.arima.ar_len;
  f.vv = v;
  f.firstyr = v->firstyr;
  f.firstper = v->firstper;
  f.lastyr = v->lastyr;
  f.lastper = v->lastper;
  f.xfirstper = v->xfirstper;
  f.xlastper = v->xlastper;
  f.varno2 = v->varno2;
  f.nobs = v->nobs;
  f.nmiss = v->nmiss;
  f.b_date = v->b_date;
  f.e_date = v->e_date;
  f.fake_begin = f.nmiss;
  f.real_begin = B + f.nmiss;
  f.real_end = f.real_begin + f.nobs;
  f.fake_end = f.real_end + F;
  f.real_ma_beg = f.real_begin + h;
  f.real_ma_end = f.real_end - h;
  f.fake_ma_beg = f.fake_begin + h;
  f.fake_ma_end = f.fake_end - h;
  f.real_adj = f.firstper - f.real_begin + 1;
  f.adjust = f.firstper - f.nmiss + 1;
  f.xfirst2 = f.firstper + 1;
  f.xlast2 = f.lastper + 1 + static_cast<long>(f.lastyr - f.firstyr) * P;
  f.xfirst = f.firstper + h + 1;
  f.xlast = f.lastper - (h - 1) + static_cast<long>(f.lastyr - f.firstyr) * P;
  f.fake_xlast = L + f.xlast;
  f.fake_xlast2 = L + f.xlast2;
  f.month = static_cast<int>((f.firstper + h) % P);
  f.nobsplus = f.nobs + (Xp->op.yrahdout_f != 0 ? P : 0);
  f.temp_addr1 = nullptr;
}

void set_fp_dsn(X11COM* Xp) {
  if (Xp->vars.empty()) return;
  const VAR& v = Xp->vars.front();
  Xp->fp_dsn = static_cast<int>(v.firstper - (v.nmiss % Xp->nper));
  if (Xp->fp_dsn < 0) Xp->fp_dsn += Xp->nper;
}

void reset_opts(X11COM* Xp, int flag) {
  if (flag == 0) {
    Xp->x11ssp.op.yrahdout_f = Xp->op.yrahdout_f;
    Xp->op.yrahdout_f = 0;
  } else {
    Xp->op.yrahdout_f = Xp->x11ssp.op.yrahdout_f;
  }
}

void free_memory(X11COM* Xp) {
  Xp->work = WORK{};
  Xp->x11ssp.sp_orig = nullptr;
  if (Xp->pool) Xp->pool->release();
}

}  // namespace x11sa
