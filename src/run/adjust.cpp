#include "x11sa/adjust.h"

#include <fmt/format.h>

#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "host/program.h"
#include "io/x11g.h"
#include "io/x11in.h"
#include "io/x11pars.h"
#include "run/ornqx11.h"
#include "run/adjust_internal.h"
#include "run/x11com.h"

namespace x11sa {

namespace {

// The options as the statements of a step, so that they pass through the
// same grammar, defaults and checks as a program.
std::string statements(const SeriesOptions& o, std::size_t n) {
  const bool q = o.quarterly;
  const double first = zmdy(q ? 3 * (o.start_period - 1) + 1 : o.start_period, 1, o.start_year);
  const double last = zintnx(q ? "QTR" : "MONTH", first, static_cast<long>(n) - 1);
  auto when = [&](double d) {
    return is_missing(d) ? std::string("none") : q ? format_yyq(d, 6) : format_monyy(d, 7);
  };
  std::string s = fmt::format("proc x11 noprint{};\n{} start={} end={} fullweight={} zeroweight={} exclude={}",
                              o.year_ahead ? " yraheadout" : "", q ? "quarterly" : "monthly", when(first),
                              when(last), o.fullweight, o.zeroweight, o.exclude);
  if (o.additive) s += " additive";
  if (o.trendma != 0) s += fmt::format(" trendma={}", o.trendma);
  if (o.ptrendma != 0) s += fmt::format(" ptrendma={}", o.ptrendma);
  if (o.extreme_new) s += " extreme=new";
  static constexpr const char* kTd[] = {"none", "print", "adjust", "test"};
  if (o.tdregr != TradingDay::None) s += fmt::format(" tdregr={}", kTd[static_cast<int>(o.tdregr)]);
  if (o.tdcompute != 0) s += fmt::format(" tdcompute={}", o.tdcompute);
  if (o.tdapply != 0) s += fmt::format(" tdapply={}", o.tdapply);
  if (o.length) s += " length";
  if (o.summary) s += " summary";
  if (o.trendadj) s += " trendadj";
  s += ";\n";
  if (o.pdweights) {
    const auto& w = *o.pdweights;
    s += fmt::format("pdweights mon={} tue={} wed={} thu={} fri={} sat={} sun={};\n", w[0], w[1], w[2], w[3], w[4],
                     w[5], w[6]);
  }
  static constexpr const char* kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                              "jul", "aug", "sep", "oct", "nov", "dec"};
  std::string curves;
  for (int m = 0; m < 12; ++m)
    if (!o.macurves[static_cast<std::size_t>(m)].empty())
      curves += fmt::format(" {}='{}'", kMonths[m], o.macurves[static_cast<std::size_t>(m)]);
  if (!curves.empty()) s += "macurves" + curves + ";\n";
  return s + "run;\n";
}

}  // namespace

void prepare_series(X11COM* Xp, std::span<const double> values, const SeriesOptions& options) {
  Host& host = *Xp->host;
  Xp->memory_series = true;
  Xp->memory_pmf = !options.prior_factors.empty();
  if (Xp->memory_pmf && options.prior_factors.size() != values.size()) {
    host.log().error(fmt::format("{} prior factors were given for {} values; give one per value.",
                                 options.prior_factors.size(), values.size()));
    xexit(1012);
  }
  const Program prog = read_program(statements(options, values.size()));
  x11pars(Xp, xsparse(*prog.items.front().step, host));
  if (Xp->exitlvl > 4) xexit(Xp->exitlvl);

  VAR v;
  v.varno = 0;
  v.v_vs = "series";
  Xp->vars = {v};
  const std::size_t limit = host.settings().util_memory_limit;
  Xp->util1 = std::make_unique<UtilFile>(limit);
  Xp->util2 = std::make_unique<UtilFile>(limit);
  Xp->util3 = std::make_unique<UtilFile>(limit);

  const int parse_level = Xp->exitlvl;
  Xp->bycnt = 1;
  x11in_begin(Xp);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (Xp->memory_pmf) Xp->work.pmf_temp = options.prior_factors[i];
    if (x11in_row(Xp, static_cast<long>(i) + 1, &values[i]) == 2) break;
  }
  x11in_end(Xp);
  if (Xp->exitlvl > 4) xexit(Xp->exitlvl);
  if (check_bygroup(Xp) != 0) {
    host.log().error("The series cannot be adjusted.");
    xexit(std::max(Xp->exitlvl, 1008));
  }
  // Every table is written, in the order of the table list.
  const bool monthly = Xp->op.month_f != 0;
  for (int k = 0; k < kOutTables; ++k) {
    const std::string_view name = out_table_name(k);
    const bool trading_day = name == "B14" || name == "B16" || name == "B18" || name == "B19" ||
                             name == "C14" || name == "C16" || name == "C18" || name == "C19";
    Xp->table_cnt[k] = monthly || !trading_day ? 1 : 0;
    Xp->vars[0].no_tbls += Xp->table_cnt[k];
  }
  Xp->exitlvl = std::max(Xp->exitlvl, parse_level);
}

std::span<const double> AdjustedSeries::table(std::string_view name) const {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return std::span<const double>(values).subspan(i * length, length);
  return {};
}

AdjustedSeries adjust_series(std::span<const double> values, const SeriesOptions& options) {
  AdjustedSeries result;
  Host host(TextOut(&result.log), TextOut(), TextOut(), HostSettings{});
  X11COM com;
  X11COM* Xp = &com;
  Xp->host = &host;
  try {
    prepare_series(Xp, values, options);
    const int level = Xp->exitlvl;
    result.length = static_cast<std::size_t>(Xp->array_size);
    result.values.reserve(static_cast<std::size_t>(Xp->vars[0].no_tbls) * result.length);
    Xp->captured_tables = &result.values;
    x11run(Xp);
    result.henderson = Xp->trendma_prnt;
    result.ic_ratio = Xp->ratioic;
    for (int k = 0; k < kOutTables; ++k)
      if (Xp->table_cnt[k] != 0) result.names.emplace_back(out_table_name(k));
    if (result.values.size() != result.names.size() * result.length) xebug_exit("a table of the series is missing");
    result.exit_level = std::max(level, Xp->exitlvl);
  } catch (const StepExit& e) {
    if (!e.text().empty()) host.log().error(fmt::format("Internal error: {}", e.text()));
    result.exit_level = std::max(e.level(), Xp->exitlvl);
    result.names.clear();
    result.values.clear();
    result.length = 0;
  }
  return result;
}

}  // namespace x11sa
