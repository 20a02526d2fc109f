#include "io/x11out.h"

#include <fmt/format.h>

#include "host/exit.h"
#include "host/host.h"
#include "host/dates.h"
#include "records/table_catalogue.h"
#include "io/x11in.h"
#include "report/trading_day_regression.h"

namespace x11sa {

namespace {

Host& host_of(X11COM* Xp) { return *Xp->host; }

OutColumn input_column(const X11COM* Xp, int k) {
  const VarInfo& vi = Xp->in_ds->vars()[static_cast<std::size_t>(k)];
  return OutColumn{vi.name, vi.type, vi.is_date, vi.label};
}

void append_by(const X11COM* Xp, std::vector<OutColumn>& cols) {
  for (int k : Xp->bylst) cols.push_back(input_column(Xp, k));
}

std::unique_ptr<OutputDataSet> create(X11COM* Xp, const DSN& dsn, std::vector<OutColumn> cols) {
  std::string error;
  auto ds = OutputDataSet::create(dsn.folder, dsn.member, std::move(cols), error);
  if (!ds) {
    host_of(Xp).log().error(fmt::format("The data set {} cannot be created: {}", dsn.dsname, error));
    raise_level(Xp, 1012);
  }
  return ds;
}

OutColumn num(const char* name, int label_msg = 0) {
  return OutColumn{name, VarType::Numeric, false, label_msg != 0 ? msgtext(label_msg) : std::string()};
}
OutColumn chr(const char* name, int label_msg = 0) {
  return OutColumn{name, VarType::Character, false, label_msg != 0 ? msgtext(label_msg) : std::string()};
}

void out(X11COM* Xp) {
  std::vector<OutColumn> cols;
  append_by(Xp, cols);
  for (const ID_VARS& id : Xp->idvars) cols.push_back(input_column(Xp, id.varno));
  if (Xp->date.varno >= 0) {
    OutColumn c = input_column(Xp, Xp->date.varno);
    c.is_date = true;
    cols.push_back(std::move(c));
  } else {
    cols.push_back(OutColumn{"_DATE_", VarType::Numeric, true, ""});
  }
  for (std::size_t i = 0; i < Xp->vars.size(); ++i) {
    VAR& v = Xp->vars[i];
    v.no_tbls = 0;
    for (int k = 0; k < kOutTables; ++k) {
      if (static_cast<int>(i) >= Xp->table_cnt[k]) continue;
      cols.push_back(OutColumn{Xp->table_lst[k][i], VarType::Numeric, false,
                               fmt::format("{} {}", v.v_vs, table_name(out_table(k)))});
      ++v.no_tbls;
    }
  }
  if (Xp->tot_tbls == 0) {
    host_of(Xp).msg(28);
    raise_level(Xp, 4);
  }
  Xp->need_ds = 1;
  Xp->out_ds = create(Xp, Xp->ds.out, std::move(cols));
}

void outstable(X11COM* Xp) {
  std::vector<OutColumn> cols = {chr("VARNAME", 550), chr("TABLE", 551), chr("SOURCE", 554),
                                 num("SS", 563),      num("DF", 564),     num("MS", 565),
                                 num("F", 566),       num("PROBF", 567)};
  append_by(Xp, cols);
  Xp->outstb_ds = create(Xp, Xp->ds.outstb, std::move(cols));
}

void outtdregr(X11COM* Xp) {
  std::vector<OutColumn> cols = {
      chr("VARNAME", 550), chr("TABLE"),      chr("_TYPE_"),    chr("PARM"),       chr("SOURCE", 554),
      num("CWGT", 555),    num("PRWGT", 556), num("COEFF", 557), num("STDERR", 558), num("T1", 559),
      num("T2", 560),      num("PROBT1", 561), num("PROBT2", 562), num("SS", 563),    num("DF", 564),
      num("MS", 565),      num("F", 566),     num("PROBF", 567)};
  append_by(Xp, cols);
  Xp->outtdr_ds = create(Xp, Xp->ds.outtdr, std::move(cols));
}

void outspan(X11COM* Xp) {
  std::vector<OutColumn> cols = {OutColumn{"DATE", VarType::Numeric, true, ""}, chr("VARNAME", 550),
                                 num("SPAN"), num("A1")};
  if (Xp->tdregr != 0) cols.push_back(num("C18", 620));
  cols.push_back(num("D10"));
  cols.push_back(num("D11"));
  append_by(Xp, cols);
  Xp->outspan_ds = create(Xp, Xp->ds.outspan, std::move(cols));
}

// Stages the BY values of the current group from column `first` on.
void set_by_cells(X11COM* Xp, OutputDataSet& ds, int first) {
  for (std::size_t i = 0; i < Xp->bylst.size(); ++i) {
    const int col = first + static_cast<int>(i);
    if (Xp->in_ds->vars()[static_cast<std::size_t>(Xp->bylst[i])].type == VarType::Numeric) {
      ds.set_num(col, Xp->by_num[i]);
    } else {
      ds.set_str(col, Xp->by_text[i]);
    }
  }
}

void write_row(X11COM* Xp, OutputDataSet& ds) {
  if (!ds.write_row()) {
    host_of(Xp).log().error(fmt::format("The data set {} could not be written (disk full?).", ds.path()));
    raise_level(Xp, 1012);
    xexit(Xp->exitlvl);
  }
}

// Clears the OUTSTB= row record.
void zero_stb(X11COM* Xp) {
  OUTSTBL& r = Xp->outstb;
  r.source.clear();
  r.ss = kMissing;
  r.df = kMissing;
  r.ms = kMissing;
  r.f = kMissing;
  r.probf = kMissing;
}

// Writes the OUTSTB= row record.
void put_stb(X11COM* Xp, OutputDataSet& ds) {
  constexpr int kBy = 8;
  const OUTSTBL& r = Xp->outstb;
  ds.set_str(0, r.varname);
  ds.set_str(1, r.table);
  ds.set_str(2, r.source);
  ds.set_num(3, r.ss);
  ds.set_num(4, r.df);
  ds.set_num(5, r.ms);
  ds.set_num(6, r.f);
  ds.set_num(7, r.probf);
  set_by_cells(Xp, ds, kBy);
  write_row(Xp, ds);
}

}  // namespace

void define_output_datasets(X11COM* Xp) {
  if (Xp->op.output_f != 0 && Xp->ds.out.given) out(Xp);
  if (Xp->op.outstb_f != 0) outstable(Xp);
  if (Xp->op.outtdr_f != 0) outtdregr(Xp);
  if (Xp->op.outspan_f != 0) outspan(Xp);
}

void commit_output_datasets(X11COM* Xp) {
  for (auto* ds : {&Xp->out_ds, &Xp->outstb_ds, &Xp->outtdr_ds, &Xp->outspan_ds}) {
    if (!*ds) continue;
    std::string error;
    if (!(*ds)->commit(error)) {
      host_of(Xp).log().error(fmt::format("The data set {} could not be written: {}", (*ds)->path(), error));
      raise_level(Xp, 1012);
    } else {
      host_of(Xp).log().note(fmt::format("The data set {} has {} observations and {} variables.",
                                         (*ds)->path(), (*ds)->rows_written(), (*ds)->columns().size()));
      host_of(Xp).last_dataset = (*ds)->path();
    }
    ds->reset();
  }
}

void x11out(X11COM* Xp) {
  OutputDataSet& ds = *Xp->out_ds;
  const X11ARIMAOPTS& a = Xp->x11acom.arima;
  const bool outex = Xp->op.outex_f != 0;
  const long nrow = outex ? Xp->fake_array_size : Xp->array_size;
  const long ncol = Xp->tot_tbls;
  if (Xp->util1->size() != static_cast<std::size_t>(nrow * ncol) * sizeof(double))
    xebug_exit(fmt::format("X11OUT: the utility file holds {} bytes, not {} tables of {} rows",
                           Xp->util1->size(), ncol, nrow));
  if (!zttrans(*Xp->util1, *Xp->util2, ncol, nrow)) xebug_exit("zttrans: Invalid arguments");
  if (!Xp->util2->point(0)) xebug_exit("X11OUT: ERROR RC from xcpoint");
  const int nby = Xp->nby;
  const int nid = static_cast<int>(Xp->idvars.size());
  const int date_col = nby + nid;
  const int first_table = date_col + 1;
  const bool has_date = Xp->date.varno >= 0;
  // ID values come from the input rows; without ID variables the dates kept
  // while reading suffice.
  const bool reread = nid > 0;
  InputDataSet& in = *Xp->in_ds;
  if (reread) in.point(Xp->startobs);
  const char* iv = run_interval(Xp);
  const long back = outex ? a.back : 0;
  double date = zintnx(iv, Xp->date.start, -back) - 1.0;
  std::vector<double> values(static_cast<std::size_t>(ncol));
  for (long r = 0; r < nrow; ++r) {
    const int cls = r < back ? 0 : r < back + Xp->obs ? 1 : 2;
    if (!Xp->util2->read(values.data(), values.size() * sizeof(double)))
      xebug_exit(fmt::format("X11OUT: ERROR RC from ztout-1: {}", r));
    set_by_cells(Xp, ds, 0);
    bool have_row = false;
    if (cls == 1 && reread) have_row = in.next_row();
    for (int i = 0; i < nid; ++i) {
      const ID_VARS& id = Xp->idvars[static_cast<std::size_t>(i)];
      if (id.ntype == 1) {
        ds.set_num(nby + i, have_row ? in.num(id.varno) : kMissing);
      } else {
        ds.set_str(nby + i, have_row ? in.str(id.varno) : std::string_view());
      }
    }
    if (cls == 1 && has_date) {
      date = Xp->kept_dates[static_cast<std::size_t>(r - back)];
    } else {
      date = zintnx(iv, date, 1);
    }
    ds.set_num(date_col, date);
    for (long c = 0; c < ncol; ++c) ds.set_num(first_table + static_cast<int>(c), values[static_cast<std::size_t>(c)]);
    write_row(Xp, ds);
  }
  if (reread)
    while (in.next_row()) {
    }
}

void x11ostb(X11COM* Xp, const std::string& variable, const StableSeasonalityTest& stable,
             const MovingSeasonalityTest& moving) {
  if (!Xp->outstb_ds) return;
  OutputDataSet& ds = *Xp->outstb_ds;
  Xp->outstb.varname = variable;
  Xp->outstb.table = "D8";
  const int sources[3] = {Xp->op.month_f != 0 ? 350 : 354, 391, 392};
  const VarianceRow* rows[3] = {&stable.between_periods, &stable.residual, &stable.total};
  for (int k = 0; k < 3; ++k) {
    zero_stb(Xp);
    OUTSTBL& r = Xp->outstb;
    r.source = msgtext(sources[k]);
    r.ss = rows[k]->sum_of_squares;
    r.df = rows[k]->df;
    r.ms = rows[k]->mean_square;
    if (k == 0) {
      r.f = stable.f;
      r.probf = stable.probability;
    }
    put_stb(Xp, ds);
  }
  zero_stb(Xp);
  Xp->outstb.source = msgtext(351);
  Xp->outstb.ss = moving.between_years.sum_of_squares;
  Xp->outstb.df = moving.between_years.df;
  Xp->outstb.ms = moving.between_years.mean_square;
  Xp->outstb.f = moving.f;
  Xp->outstb.probf = moving.probability;
  put_stb(Xp, ds);
  zero_stb(Xp);
  Xp->outstb.source = msgtext(352);
  Xp->outstb.ss = moving.error.sum_of_squares;
  Xp->outstb.df = moving.error.df;
  Xp->outstb.ms = moving.error.mean_square;
  put_stb(Xp, ds);
}

void x11otdr(X11COM* Xp, const std::string& variable, const char* table, const B15Regression& regression,
             const DailyWeights& prior) {
  if (!Xp->outtdr_ds) return;
  OutputDataSet& ds = *Xp->outtdr_ds;
  constexpr int kBy = 18;
  auto start = [&](const char* type, const std::string& parm, const std::string& source) {
    ds.set_str(0, variable);
    ds.set_str(1, table);
    ds.set_str(2, type);
    ds.set_str(3, parm);
    ds.set_str(4, source);
    for (int c = 5; c < kBy; ++c) ds.set_num(c, kMissing);
    set_by_cells(Xp, ds, kBy);
  };
  const Mode mode = Xp->op.add_f != 0 ? Mode::Additive : Mode::Multiplicative;
  const auto rows = trading_day_rows(regression, prior, mode);
  for (std::size_t d = 0; d < rows.size(); ++d) {
    const TradingDayRow& r = rows[d];
    start("REGRESS", kDayNames[d], "");
    ds.set_num(5, r.combined_weight);
    ds.set_num(6, r.prior_weight);
    ds.set_num(7, r.coefficient);
    ds.set_num(8, r.standard_error);
    ds.set_num(9, r.t_weight);
    ds.set_num(10, r.t_coefficient);
    ds.set_num(11, r.prob_weight);
    ds.set_num(12, r.prob_coefficient);
    write_row(Xp, ds);
  }
  const TradingDayTest& test = regression.test;
  const TradingDayFit& fit = regression.fit;
  for (std::size_t k = 0; k < kMonthLengthNames.size(); ++k) {
    start("LOM_STD", kMonthLengthNames[k], "");
    ds.set_num(8, test.month_standard_errors[k]);
    write_row(Xp, ds);
  }
  const double n = fit.months;
  const struct {
    const char* source;
    double ss, df, ms;
  } anova[] = {{"Regression", fit.regression_ss, 6.0, test.regression_ms},
               {"Error", test.error_ss, n >= 7 ? n - 6 : 0.0, test.error_ms},
               {"Total", fit.total_ss, n, kMissing}};
  for (const auto& row : anova) {
    start("ANOVA", "", row.source);
    ds.set_num(13, row.ss);
    ds.set_num(14, row.df);
    ds.set_num(15, row.ms);
    if (row.source == anova[0].source) {
      ds.set_num(16, test.f);
      ds.set_num(17, test.prob_f);
    }
    write_row(Xp, ds);
  }
}

void x11ospn(X11COM* Xp, const SpanLayout& layout, std::span<const SpanEstimates> spans,
             std::span<const double> original, const std::string& variable) {
  if (!Xp->outspan_ds) return;
  OutputDataSet& ds = *Xp->outspan_ds;
  const bool td = Xp->tdregr != 0;
  const int by = td ? 7 : 6;
  const char* iv = run_interval(Xp);
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const SpanExtent& e = layout.spans[i];
    const SpanEstimates& span = spans[i];
    double date = e.first_date;
    for (long t = e.first; t < e.end; ++t) {
      const auto k = static_cast<std::size_t>(t - e.first);
      int col = 0;
      ds.set_num(col++, date);
      ds.set_str(col++, variable);
      ds.set_num(col++, static_cast<double>(i + 1));
      ds.set_num(col++, original[static_cast<std::size_t>(t)]);
      if (td) ds.set_num(col++, span.trading_day.empty() ? kMissing : span.trading_day[k]);
      ds.set_num(col++, span.seasonal[k]);
      ds.set_num(col, span.adjusted[k]);
      set_by_cells(Xp, ds, by);
      write_row(Xp, ds);
      date = zintnx(iv, date, 1);
    }
  }
}

}  // namespace x11sa
