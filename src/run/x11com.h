// X11COM: the run state of one procedure step. Every routine receives it
// first (parameter Xp); nothing else is shared between routines.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/dataset.h"
#include "host/pool.h"
#include "host/utilfile.h"
#include "core/henderson.h"
#include "pipeline/chain_tables.h"
#include "records/arima_outcome.h"
#include "x11sa/missing.h"

namespace x11sa {

class Host;
struct StepOptions;
struct X11COM;

// ---------------------------------------------------------------------------
// Per-variable records

// One analysis variable of the step (filled by the input step).
struct VAR {
  int varno = -1;    // variable index in the input data set
  int no_tbls = 0;   // number of OUT= table variables of this variable
  int varno2 = 0;    // position in the VAR list, 0-based
  int begin_msg = 0;
  int end_msg = 0;   // 1 once a missing value has ended the series
  int err_msg1 = 0;  // 1 once a bad value has rejected the variable
  int err_msg2 = 0;
  int embed_msg = 0;  // 1 once the message on values after the end was given
  int run_f = 1;      // 1 while the variable is to be adjusted
  int firstyr = 0, firstper = 0, xfirstper = 0;
  int lastyr = 0, lastper = 0, xlastper = 0;
  double b_date = kMissing, e_date = kMissing;
  long nobs = 0;
  long nmiss = 0;
  std::string v_vs;  // the variable's name
};

// Index model and per-variable working state of the table chain.
struct X11FLOW {
  int month = 0;  // period-of-year of index real_ma_beg
  int prnflag = 0;
  int firstyr = 0, firstper = 0;
  int lastyr = 0, lastper = 0;
  int xfirstper = 0, xlastper = 0;
  int xn = 0;
  int pass = 0;
  int varno2 = 0;
  int first_write = 0;
  int ar_reset = 0;
  int X11ArimaFail = 0;
  double b_date = kMissing, e_date = kMissing;
  long real_begin = 0, real_end = 0, real_ma_beg = 0, real_ma_end = 0;
  long fake_begin = 0, fake_end = 0, fake_ma_beg = 0, fake_ma_end = 0;
  long xfirst = 0, xlast = 0, xfirst2 = 0, xlast2 = 0;
  long fake_xlast = 0, fake_xlast2 = 0;
  long adjust = 0, real_adj = 0;
  int ar_go = 0;
  int test = 0;
  long td_adj = 0;
  long nobs = 0, nmiss = 0;
  long nextreme = 0;
  long nobsplus = 0;
  long util_pos = 0;
  short* montype = nullptr;
  double regress[7][6] = {};
  double c[7] = {};
  double s[7] = {};
  double ssr = 0, sumysq = 0, sse = 0, mse = 0, se = 0, msr = 0, fv = 0, prbf = 0;
  double stdmonth[4] = {};
  double* temp_addr1 = nullptr;
  VAR* vv = nullptr;
};

// ---------------------------------------------------------------------------
// The ARIMA statement's options

struct X11ARIMAOPTS {
  int ar_prnt = 0;  // 0 NOPRINT, 1 normal, 2 PRINTALL
  int yrs_b = 0;    // BACKCAST= in years
  int yrs_f = 1;    // FORECAST= in years
  int fore = 0, back = 0, ar_len = 0;
  int need_first_pass = 0;
  int trans_code = 0;  // 0 none, 1 log, 3 power
  int nlag = -1;
  int maxit = 15;
  int method = 0;
  double addcon = 0, lambda = 0;
  double converge = 0.001;
  struct {
    int u_f = 0;  // a user model was given
    int a_f = 0;  // automatic model selection
  } op;
  struct {
    double mape_crit = 15.0;
    double chi_crit = 0.05;
    double ovdif_crit = 0.90;
  } crit_val;
  struct {
    int p = 0, sp = 0, q = 0, sq = 0, dif = 0, sdif = 0, center = 0, noint = 0;
  } user;
};

struct X11ACOM {
  X11ARIMAOPTS arima;
  // Transitional, until the flows are rewritten: the outcome of the current
  // variable's extension, and a pointer to it once the series is extended
  // (the flows hand it to x11a14).
  std::optional<ArimaOutcome> outcome;
  const ArimaOutcome* passed_ptr = nullptr;
};

// ---------------------------------------------------------------------------
// Sliding spans: the statement's options and the series as read, kept for
// the reruns (run/sliding_spans.h); the spans' results are a SpansOutcome.

struct X11SSP {
  std::bitset<8> reports;  // the reports S0 to S7 printed (bit k: Sk)
  int NumDec = 2;
  int PNumDec1 = 2, PNumDec2 = 2;  // decimals of the spreads, of C18 the second
  double cutoff = 3.0;     // for the spreads of D10, D11 and its changes
  double td_cutoff = 2.0;  // for those of C18
  struct {
    int yrahdout_f = 0;
  } op;
  X11FLOW* sfp = nullptr;
  double* sp_orig = nullptr;
};

// ---------------------------------------------------------------------------
// Options

struct X11OP {
  int hol = 0;
  int yrahdout_f = 0;
  int month_f = 1;
  int noprint_f = 1;
  int noprint2_f = 0;
  int start_f = 0, end_f = 0;
  int add_f = 0;
  int summaryf = 0;
  int len_f = 0;
  int trndadj_f = 0;
  int arima_f = 0;
  int pdwgt_f = 0;
  int macrvs_f = 0;
  int tdcmpt_f = 0, tdapply_f = 0;
  int output_f = 0;
  int outex_f = 0;
  int outtdr_f = 0, outstb_f = 0, outspan_f = 0;
  int old_f = 0;
  int ftest_f = 0;
  int print_fp = 0;
  int sspan_f = 0;
  int debug = 0, debugd = 0, debugx = 0;
};

struct RC {
  int rc1 = 0;
  int rc2 = 0;
  int rc3 = 0;
};

struct FTEST {
  int fail = 0;
  double f[2] = {};
  double p[2] = {};
  // The T statistics of the combined test (missing when the stable F is 0).
  double t1 = kMissing, t2 = kMissing, t = kMissing;
};

struct KWSTATS {
  double stat = 0;
  long df = 0;
  double prob = 0;
  double level = 0;
};

struct XIN {
  long range_len = 0;
  int test1 = 0, test2 = 0, test3 = 0;
  int range_flag = 0;
};

// One data set of the step: its name, label and handle.
struct DSN {
  std::string dsname;  // "LIB.member"
  std::string label;
  std::string folder;  // output data sets: target folder
  std::string member;
  bool given = false;
};

struct DATEINFO {
  int varno = -1;  // DATE= variable index in the input data set; -1 none
  int firstyr = 0, firstper = 0;
  int range_code = 0;
  double current = kMissing, previous = kMissing;
  double start = -138061.0, end = 6589335.0;
  double start2 = -138061.0, end2 = 6589335.0;
  double ar_start = kMissing, ar_end = kMissing;
  int fmt = 0;  // 0 MONYY (monthly), 1 YYQ (quarterly)
};

struct MACRV {
  const double* wt = nullptr;
  short len = 0;
  short spec[16] = {};
};

// The series workspace of one BY group (arrays from the group pool).
struct WORK {
  short* mon_type = nullptr;
  short* mon_type_work = nullptr;  // month types with the regression's exclusion marks
  long sizeob = 0;
  long sizetb = 0;
  double* wrt_vec = nullptr;
  double* temp1 = nullptr;
  double* temp2 = nullptr;
  double* temp3 = nullptr;
  double* avec1 = nullptr;
  double* avec2 = nullptr;
  double* avec3 = nullptr;
  double* avec4 = nullptr;
  double* work1 = nullptr;
  double* work2 = nullptr;
  double* work3 = nullptr;
  double pmf_temp = 0;
  double* pmf = nullptr;
  double* original_in = nullptr;
  double* a3 = nullptr;
  double* a5 = nullptr;
  double* a13 = nullptr;
  double* a14 = nullptr;
  double* a15 = nullptr;
  double* a6 = nullptr;
  double* b1 = nullptr;
  double* c17 = nullptr;
  double* c18 = nullptr;
  double* c19 = nullptr;
  double* d8 = nullptr;
  double* d9 = nullptr;
  double* d10 = nullptr;
  double* d11 = nullptr;
  double* d12 = nullptr;
  double* d13 = nullptr;
  double* ptdfactor = nullptr;
  double* b14 = nullptr;
  double* b16 = nullptr;
  double* b18 = nullptr;
  double* b19 = nullptr;
  double* c14 = nullptr;
  double* c16 = nullptr;
};

// An ID variable of the data-set step: type, length and the current value.
struct ID_VARS {
  int varno = -1;
  int ntype = 1;  // 1 numeric, 2 character
  int nlng = 8;
  double num = kMissing;
  std::string text;
};

// One row of the OUTTDR= data set.
struct OUTTDR_ROW {
  std::string v_vs, table, _type_, parm, source;
  double cwgt = kMissing, prwgt = kMissing, coeff = kMissing, stderr_ = kMissing;
  double t1 = kMissing, t2 = kMissing, probt1 = kMissing, probt2 = kMissing;
  double ss = kMissing, df = kMissing, ms = kMissing, f = kMissing, probf = kMissing;
};

// One row of the OUTSTB= data set.
struct OUTSTBL {
  std::string varname, table, source;
  double ss = kMissing, df = kMissing, ms = kMissing, f = kMissing, probf = kMissing;
};

// The analysis of variance of the stable seasonality test: rows between
// periods, residual and total (MS of the total, F and PROBF of the last two
// rows stay missing).
struct STBAOV {
  double ss[3] = {kMissing, kMissing, kMissing};
  double df[3] = {kMissing, kMissing, kMissing};
  double ms[3] = {kMissing, kMissing, kMissing};
  double f = kMissing, probf = kMissing;
};

// The two-way analysis of variance of the moving seasonality test on the
// complete years [first, last) of the series.
struct OUTMOV {
  long first = 0, last = 0;
  long nyr = 0;
  double ss_periods = kMissing, ss_years = kMissing, ss_error = kMissing, ss_total = kMissing;
  double df_years = kMissing, df_error = kMissing;
  double ms_years = kMissing, ms_error = kMissing;
  double f = kMissing, probf = kMissing;
};

using XtrmFcnt = void (*)(X11COM* Xp, double* wt, double* std, const double* in, long adj,
                          long first, long last);

inline constexpr int kOutTables = 59;  // tables that can go to OUT=

// ---------------------------------------------------------------------------

struct X11COM {
  X11COM() = default;
  X11COM(const X11COM&) = delete;
  X11COM& operator=(const X11COM&) = delete;

  Host* host = nullptr;  // the host services of this step
  // The step's options as the statements gave them (records/step_options.h);
  // the option fields below are filled from them (run/legacy_options.h).
  std::shared_ptr<const StepOptions> options;
  int vargrp = 0;        // output group of the variable in process; 0 between variables

  X11FLOW x11flow;
  X11SSP x11ssp;
  X11ACOM x11acom;
  X11OP op;
  RC rc;
  FTEST ftest;
  KWSTATS kwstats;
  XIN xin;
  struct {
    DSN data, out, outtdr, outstb, outspan;
  } ds;
  WORK work;
  DATEINFO date;
  MACRV macrv;

  // Data sets and utility files of the step.
  std::unique_ptr<InputDataSet> in_ds;
  std::unique_ptr<OutputDataSet> out_ds, outtdr_ds, outstb_ds, outspan_ds;
  std::unique_ptr<UtilFile> util1;  // written table vectors, in order
  std::unique_ptr<UtilFile> util2;  // input observations, one record per variable
  std::unique_ptr<UtilFile> util3;  // prior monthly factors of the group
  std::unique_ptr<MemPool> pool;    // workspace of the current BY group

  long bycnt = 0;
  long memdef = 0;
  long obs = 0;
  long len1 = 0;
  long array_size = 0;
  long fake_array_size = 0;
  long util_pos = 0;
  long inobs = 0;
  std::vector<VAR> vars;
  std::vector<ID_VARS> idvars;
  std::vector<int> varlst, bylst, idlst;  // data-set variable indexes
  std::vector<bool> by_descending;
  bool by_notsorted = false;
  int vn_pmf = -1;  // PMFACTOR= variable index; -1 none
  long msg1_cnt = 0, msg2_cnt = 0;
  RowPos startobs;  // first kept row of the group, to re-read it for OUT=
  std::vector<double> kept_dates;  // DATE= values of the kept rows of the group
  std::vector<double> by_num;      // BY values of the current group
  std::vector<std::string> by_text;
  std::string by_label;  // "region=north, year=1990" for titles; empty without BY
  long pmf_msg = 0;  // message on missing PMFACTOR= values given in this group
  short ptd_reg_done = 0;
  short a_tbl_prnt[5] = {};
  int nby = 0, nid = 0;
  int nvar = 0;
  int need_ds = 0;
  int ndec = -1;
  int nper = 12;
  int printout = 1;
  int extreme = 0;
  int charts = 1;
  int tdregr = 0;
  int lmopt = 0;
  int trendma = 0;
  int ptrendma = 12;
  // The vectors of the table chain and the series a group's variables
  // share, kept from one group to the next; the trend last taken.
  ChainTables chain_tables;
  GroupSeries group_series;
  HendersonChoice last_trend{0, 0.0};
  int table_cnt[kOutTables] = {};
  int tot_tbls = 0;
  int exitlvl = 0;
  int error = 0;
  int prior = 1;
  int maxname = 8;
  int fp_dsn = 0;
  int TableStmtFlag = 0;
  double fuzz = 0;
  double tdcompute = kMissing, tdapply = kMissing;
  double fullweight = 1.5;
  double zeroweight = 2.5;
  double exclude = 2.5;
  double tdr_wgts[7] = {};
  double pdweights[7] = {};
  double* temp_addr = nullptr;
  std::vector<std::string> table_lst[kOutTables];
  unsigned char print_table_f[12] = {};
  OUTTDR_ROW outtdr;
  OUTSTBL outstb;
  STBAOV stbaov;  // the latest stable seasonality test
  OUTMOV outmov;  // the latest moving seasonality test
  XtrmFcnt XtrmFcntPtr = nullptr;

  // When set, written tables are appended here, in order, instead of to util1.
  std::vector<double>* captured_tables = nullptr;

  // Names the user wrote for PRINTOUT= and CHARTS=, to tell an explicit
  // setting from a default when a TABLES statement is given.
  bool printout_given = false;
  bool charts_given = false;
};

// Bit k of the 96-bit TABLES selection (most significant bit first).
[[nodiscard]] inline bool table_bit(const X11COM* Xp, int k) noexcept {
  return k >= 0 && k < 96 && (Xp->print_table_f[k / 8] & (128 >> (k % 8))) != 0;
}
inline void set_table_bit(X11COM* Xp, int k) noexcept {
  if (k >= 0 && k < 96) Xp->print_table_f[k / 8] |= static_cast<unsigned char>(128 >> (k % 8));
}

// Raises the exit level to at least `level`.
inline void raise_level(X11COM* Xp, int level) noexcept {
  if (level > Xp->exitlvl) Xp->exitlvl = level;
}

}  // namespace x11sa
