// OUTSUM=: a row per BY group and variable that says what the listing, the
// log and the other data sets say of it, with the figures the library call
// returns for the same series; the same rows whatever the threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "host/dates.h"
#include "support/run_support.h"
#include "x11sa/adjust.h"
#include "x11sa/missing.h"

namespace x11sa::test {
namespace {

using nlohmann::json;

// A row of a data set read back, by column name.
struct Row {
  const Table& t;
  std::size_t i;
  double num(const std::string& c) const { return t.num.at(c)[i]; }
  // A text column whose cells are all empty reads back as numeric.
  std::string text(const std::string& c) const { return t.text.count(c) != 0 ? t.text.at(c)[i] : std::string(); }
  std::string date(const std::string& c) const { return is_missing(num(c)) ? "" : format_iso_date(num(c)); }
};

// Three BY groups of two variables, one outcome each: airline passengers
// (seasonal, an ARIMA model accepted) with a copy holding a zero; noise
// without seasonality, for which no model meets the criteria, with a series
// of 30 months; and the passengers again with a row without a date.
std::string kinds() {
  const Table air = read_table(data_file("airline.csv"));
  const std::vector<double>& x = air.num.at("passengers");
  std::string csv = "kind,date,x,y\n";
  for (std::size_t t = 0; t < x.size(); ++t)
    csv += fmt::format("a_seasonal,{},{},{}\n", Row{air, t}.date("date"), x[t], t == 40 ? 0.0 : x[t]);
  std::uint32_t seed = 12345;
  for (std::size_t t = 0; t < x.size(); ++t) {
    seed = static_cast<std::uint32_t>((seed * 1103515245ULL + 12345ULL) % (1ULL << 31));
    const double noise = 100.0 + 0.05 * static_cast<double>(t) + 80.0 * (seed / 2147483648.0 - 0.5);
    csv += fmt::format("b_noise,{},{:.3f},{}\n", Row{air, t}.date("date"), noise, t < 30 ? fmt::format("{}", x[t]) : "");
  }
  for (std::size_t t = 0; t < x.size(); ++t)
    csv += fmt::format("c_baddate,{},{},{}\n", t == 50 ? "" : Row{air, t}.date("date"), x[t], x[t]);
  return csv;
}

struct Outputs {
  RunResult result;
  std::string log, listing;
  json report;
};

Outputs run(const ScratchDir& dir, const std::string& program, int jobs = 1) {
  Outputs r;
  RunOptions opt;
  opt.libs.emplace_back("WORK", dir.path().string());
  opt.log_text = &r.log;
  opt.listing_text = &r.listing;
  opt.progress = nullptr;
  opt.json_path = (dir.path() / "report.json").string();
  opt.jobs = jobs;
  r.result = run_program(program, opt);
  r.report = json::parse(read_file(dir.path() / "report.json"));
  return r;
}

// The output object `name` of variable `variable` of the BY group labelled `group`.
const json& object(const json& report, const std::string& group, const std::string& variable, const std::string& name) {
  static const json kNone;
  for (const json& o : report["steps"][0]["objects"]) {
    const json& path = o["path"];
    if (path.size() >= 2 && path[0]["label"] == group && path[1]["name"] == variable && o["name"] == name) return o;
  }
  ADD_FAILURE() << "no " << name << " for " << variable << " in " << group;
  return kNone;
}


// The figures of an adjusted variable are those the library returns for
// the same series.
void expect_figures_of(const Row& row, const AdjustedSeries& lib) {
  SCOPED_TRACE(row.text("_NAME_"));
  ASSERT_TRUE(lib.seasonality && lib.f2) << lib.log;
  EXPECT_EQ(row.num("FSTABLE"), lib.seasonality->stable.f);
  EXPECT_EQ(row.num("PSTABLE"), lib.seasonality->stable.probability);
  EXPECT_EQ(row.num("FMOVING"), lib.seasonality->moving.f);
  EXPECT_EQ(row.num("PMOVING"), lib.seasonality->moving.probability);
  EXPECT_EQ(row.num("KW"), lib.seasonality->kruskal_wallis.statistic);
  EXPECT_EQ(row.num("PKW"), lib.seasonality->kruskal_wallis.probability);
  EXPECT_EQ(row.num("HENDERSON"), lib.henderson);
  EXPECT_EQ(row.num("MCD"), lib.f2->mcd);
  EXPECT_EQ(row.num("F2ICRATIO"), lib.f2->ic_ratio[0]);
  EXPECT_EQ(row.num("ADRI"), lib.f2->run_irregular);
  EXPECT_EQ(row.text("REASON"), "");
}

AdjustedSeries adjust_like(const std::vector<double>& values, const std::string& first_date, SeriesOptions o) {
  o.start_year = std::stoi(first_date.substr(0, 4));
  o.start_period = std::stoi(first_date.substr(5, 2));
  if (o.method.frequency == Frequency::Quarterly) o.start_period = (o.start_period - 1) / 3 + 1;
  return adjust_series(values, o);
}

TEST(Outsum, EachRowSaysWhatTheReportsTheLogAndTheLibrarySay) {
  ScratchDir dir;
  dir.write("kinds.csv", kinds());
  const std::string program =
      "proc x11 data=kinds outsum=sum;\n"
      "   monthly date=date;\n   arima;\n   by kind;\n   var x y;\n"
      "   output out=sa d11=x_sa y_sa;\nrun;\n";
  const Outputs r = run(dir, program);
  ASSERT_EQ(r.result.steps.at(0).exit_level, 108) << r.log;
  const Table sum = read_table(dir.path() / "sum.csv");
  const Table sa = read_table(dir.path() / "sa.csv");
  const Table input = read_table(dir.path() / "kinds.csv");
  ASSERT_EQ(sum.rows, 6);
  EXPECT_EQ(sum.names.front(), "kind");
  EXPECT_EQ(sum.names.back(), "REASON");

  for (std::size_t i = 0; i < 6; ++i) {
    const Row row{sum, i};
    const std::string kind = row.text("kind");
    const std::string name = row.text("_NAME_");
    SCOPED_TRACE(kind + " " + name);
    // BY order, then VAR order.
    EXPECT_EQ(kind, (std::vector<std::string>{"a_seasonal", "b_noise", "c_baddate"})[i / 2]);
    EXPECT_EQ(name, i % 2 == 0 ? "x" : "y");
    EXPECT_EQ(row.text("MODE"), "multiplicative");
    // The input's values of the variable in the group, from the first to the last.
    std::vector<double> values;
    std::vector<std::string> dates;
    for (std::size_t k = 0; k < input.text.at("kind").size(); ++k) {
      if (input.text.at("kind")[k] != kind || is_missing(input.num.at(name)[k])) continue;
      values.push_back(input.num.at(name)[k]);
      dates.push_back(Row{input, k}.date("date"));
    }
    const std::string reason = row.text("REASON");
    if (!reason.empty()) {
      // Not adjusted: the reason is the log's warning or error, which sets the level.
      // The log names the group before the reason.
      const std::string subject = "kind=" + kind + ": ";
      const bool error = r.log.find("ERROR: " + subject + reason + "\n") != std::string::npos;
      const bool warning = r.log.find("WARNING: " + subject + reason + "\n") != std::string::npos;
      ASSERT_TRUE(error || warning) << reason << "\n" << r.log;
      EXPECT_EQ(row.num("EXITLEVEL"), error ? 108 : 4);
      for (const char* c : {"FSTABLE", "KW", "HENDERSON", "ICRATIO", "MCD", "F2ICRATIO", "ADRI"})
        EXPECT_TRUE(is_missing(row.num(c))) << c;
      EXPECT_EQ(row.text("SEASONALITY") + row.text("TD") + row.text("ARIMA"), "");
      // The count and the periods only of a series read to its end.
      if (kind == "b_noise") {
        EXPECT_EQ(row.num("NOBS"), 30);
        EXPECT_EQ(row.date("FIRST"), dates.front());
        EXPECT_EQ(row.date("LAST"), dates.back());
      } else {
        EXPECT_TRUE(is_missing(row.num("NOBS")) && is_missing(row.num("FIRST")) && is_missing(row.num("LAST")));
      }
      continue;
    }
    // Adjusted: its OUT= rows give the count and the periods.
    long adjusted = 0;
    std::string first, last;
    for (std::size_t k = 0; k < sa.text.at("kind").size(); ++k) {
      if (sa.text.at("kind")[k] != kind || is_missing(sa.num.at(name + "_sa")[k])) continue;
      ++adjusted;
      last = Row{sa, k}.date("date");
      if (first.empty()) first = last;
    }
    EXPECT_EQ(row.num("NOBS"), adjusted);
    EXPECT_EQ(row.date("FIRST"), first);
    EXPECT_EQ(row.date("LAST"), last);
    // What the group's printed tests and trend say; the figures are the library's, below.
    const std::string group = "kind=" + kind;
    EXPECT_EQ(row.num("FSTABLE"), object(r.report, group, name, "STABLE_FT")["rows"][0][4].get<double>());
    EXPECT_EQ(row.text("SEASONALITY"), object(r.report, group, name, "CombinedSeasonalityTest")["rows"][6][3]);
    EXPECT_EQ(row.text("SEASONALITY"), kind == "a_seasonal" ? "present" : "not present");
    const std::string d12 = object(r.report, group, name, "D12")["title"];
    EXPECT_NE(d12.find(fmt::format("{}-Term Moving Average, I/C Ratio {:.3f}", row.num("HENDERSON"), row.num("ICRATIO"))),
              std::string::npos)
        << d12;
    EXPECT_EQ(row.text("TD"), "none");
    EXPECT_TRUE(is_missing(row.num("SPANS")));
    // The model the ARIMA report describes, or the log's reason for none.
    const std::string arima = row.text("ARIMA");
    if (kind == "a_seasonal") {
      EXPECT_EQ(row.num("EXITLEVEL"), 0);
      ASSERT_TRUE(arima.ends_with(" log")) << arima;
      const std::string criteria = object(r.report, group, name, "CriteriaSummary")["rows"][0][0];
      EXPECT_NE(criteria.find(arima.substr(0, arima.size() - 4) + "s, Log Transform"), std::string::npos) << criteria;
    } else {
      EXPECT_EQ(row.num("EXITLEVEL"), 4);
      EXPECT_EQ(arima, "none: no model met the criteria");
      EXPECT_NE(r.log.find("WARNING: kind=" + kind + ", variable x: No ARIMA model meets the acceptance criteria"),
                std::string::npos);
    }
    // And the library's figures for the same series.
    SeriesOptions o;
    o.method.arima.emplace();
    const AdjustedSeries lib = adjust_like(values, dates.front(), o);
    expect_figures_of(row, lib);
    EXPECT_EQ(row.num("ICRATIO"), lib.ic_ratio);
    ASSERT_TRUE(lib.arima);
    EXPECT_EQ(lib.arima->extended(), kind == "a_seasonal");
  }

  // The same rows with the groups adjusted side by side.
  const std::string serial = read_file(dir.path() / "sum.csv");
  std::filesystem::remove(dir.path() / "sum.csv");
  (void)run(dir, program, 2);
  EXPECT_TRUE(read_file(dir.path() / "sum.csv") == serial);
}

// Trading day, the sliding spans, a quarterly series, and OUTSUM= as a
// file path: the figures are the library's, computed though nothing prints.
TEST(Outsum, TradingDaySpansAndQuarterlySeries) {
  ScratchDir dir;
  for (const char* f : {"lungdeaths_by_sex.csv", "seatbelts.csv", "ukgas.csv"}) dir.copy_data(f);
  const std::string path = (dir.path() / "lung summary.csv").string();
  const Outputs r = run(dir,
                        "proc x11 data=lungdeaths_by_sex noprint outsum='" + path + "';\n"
                        "   monthly date=date tdregr=test;\n   sspan;\n   by sex;\n   var deaths;\nrun;\n"
                        "proc x11 data=seatbelts noprint outsum=belts_summary;\n"
                        "   monthly date=date;\n   sspan;\n   var drivers;\nrun;\n"
                        "proc x11 data=ukgas noprint outsum=gas_summary;\n   quarterly date=date;\n   var gas;\n"
                        "   output out=gas_sa d11=adjusted;\nrun;\n"
                        "proc x11 noprint;\n   quarterly date=date;\n   var adjusted;\nrun;\n");
  // OUTSUM= holds no series: the step without DATA= reads the OUT= written
  // before it.
  ASSERT_EQ(r.result.exit_status, 0) << r.log;
  ASSERT_EQ(r.result.steps.size(), 4u);

  const Table lung = read_table(path);
  const Table input = read_table(dir.path() / "lungdeaths_by_sex.csv");
  ASSERT_EQ(lung.rows, 2);
  std::vector<std::string> treatments;
  for (std::size_t i = 0; i < 2; ++i) {
    const Row row{lung, i};
    std::vector<double> values;
    for (std::size_t k = 0; k < input.text.at("sex").size(); ++k)
      if (input.text.at("sex")[k] == row.text("sex")) values.push_back(input.num.at("deaths")[k]);
    SeriesOptions o;
    o.method.tdregr = TradingDayRegression::Test;
    o.method.spans.emplace();
    const AdjustedSeries lib = adjust_like(values, row.date("FIRST"), o);
    expect_figures_of(row, lib);
    EXPECT_EQ(row.num("NOBS"), static_cast<double>(values.size()));
    // The test applied the factors where the series has C19, the series
    // adjusted for trading day.
    const std::span<const double> c19 = lib.table("C19");
    const bool applied = std::any_of(c19.begin(), c19.end(), [](double x) { return !is_missing(x); });
    EXPECT_EQ(row.text("TD"), applied ? "tested: applied" : "tested: not applied");
    treatments.push_back(row.text("TD"));
    // Six years are too few for two spans: the log warns, nothing is flagged.
    EXPECT_TRUE(is_missing(row.num("SPANS")));
    EXPECT_EQ(row.num("EXITLEVEL"), 4);
  }
  EXPECT_NE(r.log.find(", variable deaths: Variable deaths is too short for two sliding spans"), std::string::npos)
      << r.log;
  // The two series end differently, so both words are checked.
  EXPECT_NE(treatments[0], treatments[1]);

  const Table belts = read_table(dir.path() / "belts_summary.csv");
  ASSERT_EQ(belts.rows, 1);
  const Row row{belts, 0};
  SeriesOptions o;
  o.method.spans.emplace();
  const AdjustedSeries lib = adjust_like(read_table(dir.path() / "seatbelts.csv").num.at("drivers"), row.date("FIRST"), o);
  expect_figures_of(row, lib);
  ASSERT_TRUE(lib.spans && lib.spans->spans > 0);
  EXPECT_EQ(row.num("SPANS"), lib.spans->seasonal_factors.percent_exceeding());
  EXPECT_GT(row.num("SPANS"), 0.0);
  EXPECT_EQ(row.num("EXITLEVEL"), 0);
  EXPECT_EQ(row.text("TD"), "none");

  const Table gas = read_table(dir.path() / "gas_summary.csv");
  ASSERT_EQ(gas.rows, 1);
  const Row quarterly{gas, 0};
  SeriesOptions q;
  q.method.frequency = Frequency::Quarterly;
  const AdjustedSeries gas_lib = adjust_like(read_table(dir.path() / "ukgas.csv").num.at("gas"), quarterly.date("FIRST"), q);
  expect_figures_of(quarterly, gas_lib);
  // A quarterly trend's length is not chosen by an I/C ratio.
  EXPECT_TRUE(is_missing(quarterly.num("ICRATIO")));
  EXPECT_EQ(quarterly.text("TD") + "|" + quarterly.text("ARIMA"), "none|none: not requested");
}

}  // namespace
}  // namespace x11sa::test
