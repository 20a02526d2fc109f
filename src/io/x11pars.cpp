#include "io/x11pars.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/host.h"

namespace x11sa {

namespace {

// Bounds compared with a small tolerance, as the weights and criteria are.
constexpr double kTol = 1.1368683772161603e-13;

bool outside(double v, double lo, double hi) { return v < lo - kTol || v > hi + kTol; }

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

Host& host_of(X11COM* Xp) { return *Xp->host; }

void statement_error(X11COM* Xp, SourcePos pos, const std::string& text, int level) {
  host_of(Xp).log().error(fmt::format("Line {}, column {}: {}", pos.line, pos.col, text));
  raise_level(Xp, level);
}

// Resolves an output data set name to its folder; an unassigned library is
// an error of the data set's status.
void set_output_dsn(X11COM* Xp, DSN& dsn, const OptValue& v, int label_msg) {
  const DataSetName& n = *v.ds;
  dsn.given = true;
  dsn.dsname = n.display();
  dsn.member = n.member;
  dsn.label = msgtext(label_msg);
  const auto folder = host_of(Xp).library().folder(n.libref);
  if (!folder) {
    statement_error(Xp, v.pos,
                    fmt::format("The library {} of {} is not assigned; assign it with LIBNAME or "
                                "--lib {}=FOLDER.",
                                n.libref, dsn.dsname, n.libref),
                    1012);
    dsn.given = false;
    return;
  }
  dsn.folder = *folder;
}

void open_input(X11COM* Xp, const ParsedStatement& proc) {
  Host& host = host_of(Xp);
  std::string display;
  std::string path;
  if (const OptValue* v = proc.get("DATA")) {
    const DataSetName& n = *v->ds;
    display = n.display();
    const auto folder = host.library().folder(n.libref);
    if (!folder) {
      statement_error(Xp, v->pos,
                      fmt::format("The library {} of DATA={} is not assigned; assign it with "
                                  "LIBNAME or --lib {}=FOLDER.",
                                  n.libref, display, n.libref),
                      1012);
      return;
    }
    const auto found = InputDataSet::locate(*folder, n.member);
    if (!found) {
      host.log().error(fmt::format("The data set {} does not exist (no file {}/{}.csv).", display,
                                   *folder, n.member));
      raise_level(Xp, 1012);
      return;
    }
    path = *found;
  } else if (!host.last_dataset.empty()) {
    path = host.last_dataset;
    display = path;
  } else {
    host.log().error(
        "No input data set: give DATA= on the PROC X11 statement (no earlier step wrote one).");
    raise_level(Xp, 1012);
    return;
  }
  std::string error;
  Xp->in_ds = InputDataSet::open(path, display, error);
  if (!Xp->in_ds) {
    host.log().error(error);
    raise_level(Xp, 1012);
    return;
  }
  host.note_input(path);
  Xp->ds.data.given = true;
  Xp->ds.data.dsname = display.substr(0, 80);
}

void proc_statement(X11COM* Xp, const ParsedStatement& proc) {
  if (!Xp->memory_series) open_input(Xp, proc);
  if (const OptValue* v = proc.get("OUTSTB")) {
    set_output_dsn(Xp, Xp->ds.outstb, *v, 184);
    Xp->op.outstb_f = Xp->ds.outstb.given ? 1 : 0;
  }
  if (const OptValue* v = proc.get("OUTSPAN")) {
    set_output_dsn(Xp, Xp->ds.outspan, *v, 186);
    Xp->op.outspan_f = Xp->ds.outspan.given ? 1 : 0;
  }
  Xp->op.yrahdout_f = proc.has("YRAHEADOUT") ? 1 : 0;
  Xp->op.outex_f = proc.has("OUTEXTRAP") ? 1 : 0;
  Xp->op.noprint2_f = proc.has("NOPRINT") ? 1 : 0;
  Xp->op.debug = proc.has("DEBUG") ? 1 : 0;
  Xp->op.debugd = proc.has("DEBUGD") ? 1 : 0;
  Xp->op.debugx = proc.has("DEBUGX") ? 1 : 0;
}

void start_end(X11COM* Xp, const OptValue& v, const char* which, double& date, int& flag) {
  const auto d = Xp->op.month_f != 0 ? informat_monyy(v.text) : informat_yyq(v.text);
  if (!d) {
    host_of(Xp).msg(Xp->op.month_f != 0 ? 34 : 35, which, shown_text(v.text));
    raise_level(Xp, 3000);
    return;
  }
  date = *d;
  flag = 1;
}

void weight_checks(X11COM* Xp) {
  const struct {
    const char* name;
    double value;
  } w[] = {{"FULLWEIGHT", Xp->fullweight}, {"EXCLUDE", Xp->exclude}, {"ZEROWEIGHT", Xp->zeroweight}};
  for (const auto& x : w)
    if (outside(x.value, 0.1, 9.9)) {
      host_of(Xp).msg(8, x.name, x.value);
      raise_level(Xp, 2000);
    }
  if (Xp->zeroweight < Xp->fullweight) {
    host_of(Xp).msg(15);
    raise_level(Xp, 2000);
  }
}

// MONTHLY or QUARTERLY: the last such statement holds.
const ParsedStatement* get_mq_stmt(X11COM* Xp, const ParsedStep& step) {
  const ParsedStatement* mq = nullptr;
  for (const auto& s : step.stmts) {
    if (s.kind != StmtKind::Freq) continue;
    if (mq != nullptr) {
      host_of(Xp).msg(1, msgtext(s.word == "QUARTERLY" ? 490 : 491), msgtext(mq->word == "QUARTERLY" ? 490 : 491));
      raise_level(Xp, 4);
    }
    mq = &s;
  }
  if (mq == nullptr) return nullptr;
  const ParsedStatement& s = *mq;
  Xp->op.month_f = s.word == "MONTHLY" ? 1 : 0;
  const bool monthly = Xp->op.month_f != 0;
  Xp->op.add_f = s.has("ADDITIVE") ? 1 : 0;
  Xp->op.summaryf = s.has("SUMMARY") ? 1 : 0;
  Xp->op.trndadj_f = s.has("TRENDADJ") ? 1 : 0;
  if (s.has("NOPRINT")) Xp->op.noprint2_f = 1;
  if (const OptValue* v = s.get("START")) start_end(Xp, *v, "START", Xp->date.start2, Xp->op.start_f);
  if (const OptValue* v = s.get("END")) start_end(Xp, *v, "END", Xp->date.end2, Xp->op.end_f);
  if (!s.has("DATE") && !s.has("START")) {
    host_of(Xp).msg(3);
    raise_level(Xp, 2000);
  }
  if (Xp->op.start_f != 0 && Xp->op.end_f != 0 && Xp->date.start2 > Xp->date.end2) {
    host_of(Xp).msg(16);
    raise_level(Xp, 2000);
  }
  if (const OptValue* v = s.get("NDEC")) Xp->ndec = static_cast<int>(v->num);
  if (const OptValue* v = s.get("PRINTOUT")) {
    const char c = v->text[0];
    Xp->printout = c == 'F' || c == 'A' ? 3 : c == 'L' ? 2 : c == 'S' ? 1 : 0;
    Xp->printout_given = true;
  }
  if (const OptValue* v = s.get("CHARTS")) {
    const char c = v->text[0];
    Xp->charts = c == 'A' || c == 'F' ? 4 : c == 'S' ? 1 : 0;
    Xp->charts_given = true;
  }
  if (const OptValue* v = s.get("TRENDMA")) {
    const int n = static_cast<int>(v->num);
    const bool ok = monthly ? (n == 9 || n == 13 || n == 23) : (n == 5 || n == 7);
    if (ok) {
      Xp->trendma = n;
    } else {
      host_of(Xp).msg(monthly ? 5 : 40);
      raise_level(Xp, 2000);
    }
  }
  Xp->ptrendma = monthly ? 12 : 4;
  if (const OptValue* v = s.get("PTRENDMA")) {
    const int n = static_cast<int>(v->num);
    const bool ok = monthly ? (n == 12 || n == 24) : (n == 4 || n == 8);
    if (ok) {
      Xp->ptrendma = n;
    } else {
      host_of(Xp).msg(45);
      raise_level(Xp, 2000);
    }
  }
  if (const OptValue* v = s.get("FULLWEIGHT")) Xp->fullweight = v->num;
  if (const OptValue* v = s.get("ZEROWEIGHT")) Xp->zeroweight = v->num;
  if (const OptValue* v = s.get("EXCLUDE")) Xp->exclude = v->num;
  // The routine itself is chosen when a flow starts.
  if (const OptValue* v = s.get("EXTREME")) Xp->extreme = v->text[0] == 'O' ? 0 : 1;
  if (const OptValue* v = s.get("TDREGR")) {
    const char c = v->text[0];
    Xp->tdregr = c == 'A' ? 2 : c == 'T' ? 3 : c == 'P' ? 1 : 0;
  }
  auto year_start = [&](const char* name, double& date, int& flag) {
    const OptValue* v = s.get(name);
    if (v == nullptr) return;
    const double d = zmdy(1, 1, static_cast<int>(v->num));
    if (is_missing(d)) {
      host_of(Xp).msg(32, name, v->text);
      raise_level(Xp, 1012);
    } else {
      date = d;
      flag = 1;
    }
  };
  year_start("TDCOMPUTE", Xp->tdcompute, Xp->op.tdcmpt_f);
  year_start("TDAPPLY", Xp->tdapply, Xp->op.tdapply_f);
  if (s.has("LENGTH")) {
    Xp->op.len_f = 1;
    Xp->lmopt = 4;
  }
  Xp->op.old_f = s.has("OLDSIGMA") ? 1 : 0;
  return mq;
}

void tables_statement(X11COM* Xp, const ParsedStatement& s) {
  Xp->TableStmtFlag = 1;
  for (int bit : s.table_bits) set_table_bit(Xp, bit);
  if (!s.table_bits.empty()) Xp->op.noprint_f = 0;
}

void macurves_statement(X11COM* Xp, const ParsedStatement& s) {
  static constexpr const char* kPeriods[16] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG",
                                               "SEP", "OCT", "NOV", "DEC", "Q1",  "Q2",  "Q3",  "Q4"};
  Xp->op.macrvs_f = 1;
  for (int i = 0; i < 16; ++i) {
    const OptValue* v = s.get(kPeriods[i]);
    short code = 0;
    if (v != nullptr) {
      const std::string u = upper(v->text);
      if (u == "3") {
        code = 1;
      } else if (u == "3X3") {
        code = 2;
      } else if (u == "3X5") {
        code = 3;
      } else if (u == "3X9") {
        code = 4;
      } else if (u == "STABLE") {
        code = -1;
      } else if (u == "NONE" || u.empty()) {
        code = 0;
      } else {
        code = -2;
        host_of(Xp).msg(6, kPeriods[i], shown_text(v->text));
        raise_level(Xp, 3000);
      }
    }
    Xp->macrv.spec[i] = code;
  }
}

void arima_statement(X11COM* Xp, const ParsedStatement& s) {
  X11ARIMAOPTS& a = Xp->x11acom.arima;
  Xp->op.arima_f = 1;
  a.ar_prnt = s.has("NOPRINT") ? 0 : s.has("PRINTALL") ? 2 : 1;
  Xp->op.print_fp = s.has("PRINTFP") ? 1 : 0;
  // Ranges of the numbers were checked as the statement was read.
  if (const OptValue* v = s.get("BACKCAST")) a.yrs_b = static_cast<int>(v->num);
  if (const OptValue* v = s.get("FORECAST")) a.yrs_f = static_cast<int>(v->num);
  if (const OptValue* m = s.get("MODEL")) {
    a.op.u_f = 1;
    a.op.a_f = 0;
    auto order = [&](const char* name, int& field) {
      const auto it = m->sub.find(name);
      field = it == m->sub.end() ? 0 : static_cast<int>(it->second.num);
    };
    order("P", a.user.p);
    order("SP", a.user.sp);
    order("Q", a.user.q);
    order("SQ", a.user.sq);
    order("DIF", a.user.dif);
    order("SDIF", a.user.sdif);
    a.user.noint = m->sub.count("NOINT") != 0 ? 1 : 0;
    a.user.center = m->sub.count("CENTER") != 0 ? 1 : 0;
  } else {
    a.op.u_f = 0;
    a.op.a_f = 1;
  }
  if (const OptValue* t = s.get("TRANSFORM")) {
    if (a.op.u_f == 0) {
      host_of(Xp).msg(41);
    } else if (t->text == "LOG") {
      a.trans_code = 1;
    } else {
      a.trans_code = 3;
      const auto ia = t->sub.find("A");
      a.addcon = ia == t->sub.end() ? 0.0 : ia->second.num;
      a.lambda = t->sub.at("B").num;
    }
  }
  if (const OptValue* v = s.get("MAXITER")) {
    if (v->num < 1) {
      host_of(Xp).msg(62);
      raise_level(Xp, 4);
      a.maxit = 15;
    } else {
      a.maxit = static_cast<int>(v->num);
    }
  }
  if (const OptValue* v = s.get("NLAG")) a.nlag = static_cast<int>(v->num);
  if (const OptValue* v = s.get("CONVERGE")) a.converge = v->num;
  if (const OptValue* v = s.get("METHOD")) a.method = v->text == "CLS" ? 0 : v->text == "ULS" ? 1 : 2;
  if (a.op.a_f != 0) {
    auto crit = [&](const char* name, int msg, double lo, double hi, double dflt, double& field) {
      const OptValue* v = s.get(name);
      if (v == nullptr) return;
      if (outside(v->num, lo, hi)) {
        host_of(Xp).msg(msg, v->num, lo, hi, dflt);
        field = dflt;
      } else {
        field = v->num;
      }
    };
    crit("MAPECR", 542, 1.0, 100.0, 15.0, a.crit_val.mape_crit);
    crit("CHICR", 543, 0.01, 0.90, 0.05, a.crit_val.chi_crit);
    crit("OVDIFCR", 544, 0.80, 0.99, 0.90, a.crit_val.ovdif_crit);
  }
}

void sspan_statement(X11COM* Xp, const ParsedStatement& s) {
  X11SSP& sp = Xp->x11ssp;
  Xp->op.sspan_f = 1;
  sp.SpanPrintLevel = s.has("NOPRINT") ? 1 : s.has("PRINTALL") ? 2 : 3;
  if (const OptValue* v = s.get("LENGTH")) sp.u_len = static_cast<long>(v->num);
  if (const OptValue* v = s.get("NSPANS")) sp.u_cnt = static_cast<long>(v->num);
  if (const OptValue* v = s.get("NDEC")) sp.NumDec = static_cast<int>(v->num);
  if (const OptValue* v = s.get("WIDTH")) sp.Width = static_cast<int>(v->num);
  auto width = [](double cut) { return cut < 10 ? 4 : cut < 100 ? 5 : 6; };
  if (const OptValue* v = s.get("CUTOFF")) sp.bd.CutOff1 = v->num;
  if (const OptValue* v = s.get("TDCUTOFF")) sp.bd.CutOff2 = v->num;
  sp.PWidth1 = width(sp.bd.CutOff1);
  sp.PNumDec1 = 2;
  sp.PWidth2 = width(sp.bd.CutOff2);
  sp.PNumDec2 = 2;
}

void pdweights_statement(X11COM* Xp, const ParsedStatement& s) {
  static constexpr const char* kDays[7] = {"MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"};
  Xp->op.pdwgt_f = 1;
  bool any = false;
  for (int d = 0; d < 7; ++d) {
    const OptValue* v = s.get(kDays[d]);
    Xp->pdweights[d] = v != nullptr ? v->num : 0.0;
    if (Xp->pdweights[d] != 0.0) any = true;
  }
  if (!any) {
    host_of(Xp).msg(36);
    raise_level(Xp, 1012);
  }
}

// OUTPUT names, once the analysis variables are known.
void output_statement(X11COM* Xp, const ParsedStatement& s) {
  Xp->op.output_f = 1;
  if (const OptValue* v = s.get("OUT")) {
    set_output_dsn(Xp, Xp->ds.out, *v, 185);
  } else {
    statement_error(Xp, s.pos, "The OUTPUT statement needs OUT= to name its data set.", 2000);
  }
  bool told = false;
  for (const auto& [k, names] : s.out_names) {
    if (!Xp->table_lst[k].empty())
      host_of(Xp).log().warning(fmt::format("Table {} is named more than once in the OUTPUT statement; "
                                            "the last names are used.",
                                            out_table_name(k)));
    std::vector<std::string> kept = names;
    // Without a data set the variables are unknown: nothing to count against.
    const bool vars_known = Xp->in_ds != nullptr || Xp->memory_series;
    if (vars_known && static_cast<int>(kept.size()) > Xp->nvar) {
      if (!told) host_of(Xp).msg(7, 3, out_table_name(k));
      told = true;
      raise_level(Xp, 4);
      kept.resize(static_cast<std::size_t>(std::max(Xp->nvar, 0)));
    }
    Xp->table_lst[k] = std::move(kept);
  }
  Xp->tot_tbls = 0;
  for (int k = 0; k < kOutTables; ++k) {
    Xp->table_cnt[k] = static_cast<int>(Xp->table_lst[k].size());
    Xp->tot_tbls += Xp->table_cnt[k];
  }
}

// Looks a variable up in the input data set; -1 with an error when absent
// or of the wrong type.
int resolve_var(X11COM* Xp, const std::string& name, const char* role, bool numeric, SourcePos pos) {
  if (!Xp->in_ds) return -1;
  const int k = Xp->in_ds->find_var(name);
  if (k < 0) {
    statement_error(Xp, pos,
                    fmt::format("Variable {} named in {} is not on data set {}.", name, role,
                                Xp->in_ds->name()),
                    3000);
    return -1;
  }
  if (numeric && Xp->in_ds->vars()[static_cast<std::size_t>(k)].type != VarType::Numeric) {
    statement_error(Xp, pos,
                    fmt::format("Variable {} named in {} is a character variable; {} needs a numeric "
                                "variable.",
                                name, role, role),
                    3000);
    return -1;
  }
  return k;
}

void variables(X11COM* Xp, const ParsedStatement& proc, const ParsedStatement* mq, bool have_mq) {
  if (Xp->memory_series) {
    Xp->varlst = {0};
    Xp->nvar = 1;
    Xp->vn_pmf = Xp->memory_pmf ? 1 : -1;
    return;
  }
  if (!Xp->in_ds) return;
  for (std::size_t i = 0; i < proc.by.size(); ++i) {
    const int k = resolve_var(Xp, proc.by[i], "BY", false, proc.by_pos[i]);
    if (k >= 0) {
      Xp->bylst.push_back(k);
      Xp->by_descending.push_back(proc.by_descending[i]);
    }
  }
  Xp->by_notsorted = proc.notsorted;
  for (std::size_t i = 0; i < proc.id.size(); ++i) {
    const std::string& n = proc.id[i];
    const int k = resolve_var(Xp, n, "ID", false, proc.id_pos[i]);
    if (k >= 0 && std::find(Xp->idlst.begin(), Xp->idlst.end(), k) == Xp->idlst.end())
      Xp->idlst.push_back(k);
  }
  if (mq != nullptr) {
    if (const OptValue* v = mq->get("DATE")) Xp->date.varno = resolve_var(Xp, v->text, "DATE=", true, v->pos);
    if (const OptValue* v = mq->get("PMFACTOR"))
      Xp->vn_pmf = resolve_var(Xp, v->text, "PMFACTOR=", true, v->pos);
  }
  auto taken = [&](int k) {
    return std::find(Xp->bylst.begin(), Xp->bylst.end(), k) != Xp->bylst.end() ||
           std::find(Xp->idlst.begin(), Xp->idlst.end(), k) != Xp->idlst.end() ||
           (have_mq && (k == Xp->date.varno || k == Xp->vn_pmf));
  };
  if (proc.has_var) {
    for (std::size_t i = 0; i < proc.var.size(); ++i) {
      const std::string& n = proc.var[i];
      const int k = resolve_var(Xp, n, "VAR", true, proc.var_pos[i]);
      if (k < 0) continue;
      if (std::find(Xp->varlst.begin(), Xp->varlst.end(), k) != Xp->varlst.end()) {
        statement_error(Xp, proc.var_pos[i], fmt::format("Variable {} is named twice in the VAR statement.", n),
                        3000);
        continue;
      }
      Xp->varlst.push_back(k);
    }
  } else {
    const auto& vars = Xp->in_ds->vars();
    for (std::size_t k = 0; k < vars.size(); ++k)
      if (vars[k].type == VarType::Numeric && !vars[k].is_date && !taken(static_cast<int>(k)))
        Xp->varlst.push_back(static_cast<int>(k));
  }
  Xp->nvar = static_cast<int>(Xp->varlst.size());
  Xp->nby = static_cast<int>(Xp->bylst.size());
  Xp->nid = static_cast<int>(Xp->idlst.size());
  if (Xp->nvar == 0 && !(proc.has_var && Xp->exitlvl >= 3000)) {
    host_of(Xp).msg(2);
    raise_level(Xp, 2000);
  }
  for (const auto& n : Xp->varlst) Xp->maxname = std::max<int>(Xp->maxname, static_cast<int>(Xp->in_ds->vars()[static_cast<std::size_t>(n)].name.size()));
}

void finish_arima_stmt(X11COM* Xp) {
  X11ARIMAOPTS& a = Xp->x11acom.arima;
  const int p = Xp->op.month_f != 0 ? 12 : 4;
  a.back = p * a.yrs_b;
  a.fore = p * a.yrs_f;
  a.ar_len = a.back + a.fore;
  if (a.nlag < 0) a.nlag = Xp->op.month_f != 0 ? 36 : 12;
  a.need_first_pass = (Xp->tdregr >= 2 || Xp->op.pdwgt_f != 0) ? 1 : 0;
}

void check_for_len(X11COM* Xp) {
  const X11ARIMAOPTS& a = Xp->x11acom.arima;
  if (Xp->op.month_f != 0) {
    if (a.yrs_b > 5) host_of(Xp).msg(191, a.yrs_b);
    if (a.yrs_f >= 6) host_of(Xp).msg(190, a.yrs_f);
  } else if (a.yrs_b >= 4) {
    host_of(Xp).msg(193, a.yrs_b);
  } else if (a.yrs_f >= 4) {
    host_of(Xp).msg(192, a.yrs_f);
  }
}

}  // namespace

void FinalSpanPrinting(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  sp.PrintBitFlags = 0;
  bool named = false;
  if (Xp->op.noprint2_f == 0) {
    for (int k = 0; k < 8; ++k)
      if (table_bit(Xp, 71 + k)) {
        sp.PrintBitFlags |= 0x80 >> k;
        named = true;
      }
  }
  if (!named && sp.SpanPrintLevel != 1) {
    sp.PrintBitFlags = sp.SpanPrintLevel == 2 ? 0xFF : 0xFE;
    if (Xp->tdregr == 0) sp.PrintBitFlags &= ~0x10;
  }
}

void check_errors(X11COM* Xp) {
  Host& host = host_of(Xp);
  const X11ARIMAOPTS& a = Xp->x11acom.arima;
  const bool monthly = Xp->op.month_f != 0;
  if (Xp->op.pdwgt_f != 0 && Xp->op.add_f != 0) {
    host.msg(10);
    raise_level(Xp, 2000);
  }
  if (Xp->nid > 0 && !Xp->ds.out.given) {
    host.msg(11);
    raise_level(Xp, 4);
  }
  if (Xp->op.outtdr_f != 0 && Xp->tdregr == 0) {
    host.msg(568);
    raise_level(Xp, 4);
  }
  if (Xp->op.arima_f != 0 && a.op.a_f != 0 && a.nlag != (monthly ? 36 : 12)) {
    host.msg(59);
    raise_level(Xp, 4);
  }
  if (Xp->op.arima_f != 0 && a.op.u_f != 0 && a.user.p == 0 && a.user.sp == 0 && a.user.q == 0 &&
      a.user.sq == 0 && a.user.noint != 0) {
    host.msg(70);
    raise_level(Xp, 2000);
  }
  if (Xp->op.tdcmpt_f != 0 && Xp->tdregr == 0) {
    host.msg(30);
    raise_level(Xp, 4);
  }
  if (Xp->op.macrvs_f != 0) {
    int months = 0;
    int quarters = 0;
    for (int i = 0; i < 12; ++i) months += Xp->macrv.spec[i];
    for (int i = 12; i < 16; ++i) quarters += Xp->macrv.spec[i];
    if ((!monthly && months > 0) || (monthly && quarters > 0)) {
      host.msg(12, upper(msgtext(99)), msgtext(346));
      raise_level(Xp, 2000);
    }
  }
  if (!monthly && Xp->op.pdwgt_f != 0) {
    host.msg(13);
    raise_level(Xp, 2000);
  }
  if (!monthly && Xp->ds.out.given) {
    for (const char* name : {"A1", "A2", "A3", "A4", "B14", "B16", "B18", "B19", "C14", "C16", "C18", "C19"}) {
      const int k = out_table_index(name);
      if (Xp->table_cnt[k] > 0) {
        host.msg(14, name);
        raise_level(Xp, 4);
        Xp->tot_tbls -= Xp->table_cnt[k];
        Xp->table_cnt[k] = 0;
        Xp->table_lst[k].clear();
      }
    }
  }
  if (Xp->op.arima_f != 0 && a.trans_code == 3 && !(a.lambda > 0)) {
    host.msg(63);
    raise_level(Xp, 2000);
  }
  if (Xp->op.sspan_f != 0) FinalSpanPrinting(Xp);
  if (Xp->op.outspan_f != 0 && Xp->op.sspan_f == 0) {
    host.msg(209);
    raise_level(Xp, 4);
    Xp->op.outspan_f = 0;
  }
  if (Xp->op.sspan_f != 0 && Xp->op.arima_f != 0) {
    host.msg(67);
    raise_level(Xp, 4);
    Xp->op.sspan_f = 0;
    Xp->op.outspan_f = 0;
  }
}

void FinalPrinting(X11COM* Xp) {
  if (Xp->op.noprint2_f != 0) {
    Xp->printout = 0;
    Xp->charts = 0;
    Xp->x11ssp.SpanPrintLevel = 1;
    Xp->op.noprint_f = 1;
    Xp->x11acom.arima.ar_prnt = 0;
    std::fill(std::begin(Xp->print_table_f), std::end(Xp->print_table_f), 0);
    return;
  }
  if (Xp->printout != 0 || Xp->charts != 0 || Xp->x11acom.arima.ar_prnt != 0 ||
      Xp->x11ssp.SpanPrintLevel != 1)
    Xp->op.noprint_f = 0;
  if (Xp->TableStmtFlag != 0) {
    if (!Xp->printout_given) Xp->printout = 0;
    if (!Xp->charts_given) Xp->charts = 0;
  }
}

void x11pars(X11COM* Xp, const ParsedStep& step) {
  Host& host = host_of(Xp);
  Xp->x11acom = X11ACOM{};
  Xp->op.noprint_f = 1;
  Xp->x11ssp.SpanPrintLevel = 1;
  Xp->x11acom.arima.ar_prnt = 0;
  raise_level(Xp, step.level);

  const ParsedStatement& proc = step.stmts.front();
  proc_statement(Xp, proc);

  const ParsedStatement* mq = get_mq_stmt(Xp, step);
  const bool have_mq = mq != nullptr;
  if (!have_mq) {
    host.msg(9);
    raise_level(Xp, 2000);
  }
  weight_checks(Xp);
  if (const OptValue* v = proc.get("OUTTDR")) {
    if (Xp->op.month_f == 0) {
      host.msg(205);
      Xp->op.outtdr_f = 0;
    } else {
      set_output_dsn(Xp, Xp->ds.outtdr, *v, 179);
      Xp->op.outtdr_f = Xp->ds.outtdr.given ? 1 : 0;
    }
  }
  const ParsedStatement* output = nullptr;
  for (const auto& s : step.stmts) {
    switch (s.kind) {
      case StmtKind::Tables:
        tables_statement(Xp, s);
        break;
      case StmtKind::Macurves:
        macurves_statement(Xp, s);
        break;
      case StmtKind::Arima:
        if (Xp->op.arima_f != 0)
          host.log().warning("A second ARIMA statement replaces the first.");
        arima_statement(Xp, s);
        break;
      case StmtKind::Sspan:
        sspan_statement(Xp, s);
        break;
      case StmtKind::Output:
        if (output != nullptr) host.log().warning("A second OUTPUT statement replaces the first.");
        output = &s;
        break;
      case StmtKind::Pdweights:
        pdweights_statement(Xp, s);
        break;
      case StmtKind::Proc:
      case StmtKind::Freq:
        break;
    }
  }
  variables(Xp, proc, mq, have_mq);
  if (output != nullptr) output_statement(Xp, *output);

  // Finishers.
  if (!Xp->in_ds && !Xp->memory_series) raise_level(Xp, 1012);
  Xp->prior = Xp->op.pdwgt_f != 0 ? (Xp->vn_pmf >= 0 ? 4 : 2) : (Xp->vn_pmf >= 0 ? 3 : 1);
  Xp->nper = Xp->op.month_f != 0 ? 12 : 4;
  Xp->date.fmt = Xp->op.month_f != 0 ? 0 : 1;
  if (Xp->op.pdwgt_f == 0) {
    std::fill(std::begin(Xp->pdweights), std::end(Xp->pdweights), Xp->op.add_f != 0 ? 0.0 : 1.0);
    Xp->ptd_reg_done = 1;
  }
  if (Xp->op.arima_f != 0) {
    finish_arima_stmt(Xp);
    check_for_len(Xp);
  }
  check_errors(Xp);
  FinalPrinting(Xp);
}

}  // namespace x11sa
