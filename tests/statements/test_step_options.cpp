// The options of a step as the statements give them: the typed record, the
// checks with the messages and exit levels users see, what is printed, and
// the same checks on the options of the library call.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include <fmt/format.h>

#include "host/host.h"
#include "host/program.h"
#include "statements/step_options.h"
#include "support/run_support.h"
#include "x11sa/adjust.h"

namespace x11sa::test {
namespace {

struct Read {
  std::string log;
  StepOptionsRead read;
  [[nodiscard]] int level() const { return read.exit_level; }
  [[nodiscard]] const StepOptions& options() const { return read.options; }
  [[nodiscard]] bool says(std::string_view text) const { return log.find(text) != std::string::npos; }
};

// The options of the first step of `program`, with WORK mapped to `dir`.
Read read_in(const ScratchDir& dir, const std::string& program) {
  Read r;
  Host host(TextOut(&r.log), TextOut(), TextOut(), HostSettings{});
  host.library().assign("WORK", dir.path().string());
  for (const auto& item : read_program(program).items)
    if (item.step) {
      r.read = read_step_options(parse_step(*item.step, host), host);
      break;
    }
  return r;
}

class StepOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("sales.csv",
               "region,date,a,b,c,note\n"
               "north,1990-01-01,1,2,3,x\n"
               "north,1990-02-01,1,2,3,y\n");
  }
  Read read(const std::string& body, const std::string& proc_opts = "") const {
    return read_in(dir_, "proc x11 data=sales " + proc_opts + ";\n" + body + "\nrun;\n");
  }
  ScratchDir dir_;
};

// Variables of the sales data set by index.
constexpr int kRegion = 0, kDate = 1, kA = 2, kB = 3, kC = 4;

TEST_F(StepOptionsTest, WithoutVarTheNumericVariablesAreAnalysed) {
  const Read r = read("monthly date=date;");
  ASSERT_EQ(r.level(), 0) << r.log;
  const StepOptions& o = r.options();
  // The numeric variables that are not DATE=, BY or ID.
  EXPECT_EQ(o.vars.analysis, (std::vector<int>{kA, kB, kC}));
  EXPECT_EQ(o.vars.date, kDate);
  EXPECT_TRUE(o.prints_anything);
  ASSERT_TRUE(o.input);
  EXPECT_EQ(o.input->name, "WORK.sales");
  ASSERT_NE(r.read.input, nullptr);
}

// The values the statements convert on their way into the record: names to
// variables, words to curves and levels, dates, transforms, day weights.
TEST_F(StepOptionsTest, ValuesAreConvertedIntoTheRecord) {
  const Read r = read(
      "monthly date=date printout=short charts=all pmfactor=c start=jan90 end=dec1999;\n"
      "var b a;\n by descending region notsorted;\n"
      "macurves feb=3 dec='3X9' mar=stable;\n pdweights mon=1 sat=0.5;\n output out=o d11=x y;\n"
      "arima model=(p=2 q=1 sdif=1 sq=1 noint) transform=(1 ** 0.5) printall printfp;",
      "outstb=s debugx");
  EXPECT_LE(r.level(), 4) << r.log;
  const StepOptions& o = r.options();
  const AdjustmentOptions& m = o.method;
  EXPECT_EQ(m.curves[0], SeasonalCurve::Default);
  EXPECT_EQ(m.curves[1], SeasonalCurve::ThreeTerm);
  EXPECT_EQ(m.curves[2], SeasonalCurve::Stable);
  EXPECT_EQ(m.curves[11], SeasonalCurve::ThreeByNine);
  EXPECT_EQ(m.prior_daily_weights, (std::array<double, 7>{1, 0, 0, 0, 0, 0.5, 0}));
  ASSERT_TRUE(m.arima && m.arima->model);
  const ArimaOptions& a = *m.arima;
  EXPECT_EQ(a.model->p, 2);
  EXPECT_EQ(a.model->sdif, 1);
  EXPECT_TRUE(a.model->noint);
  EXPECT_EQ(a.transform.kind, ArimaTransform::Kind::Power);
  EXPECT_DOUBLE_EQ(a.transform.shift, 1.0);
  EXPECT_DOUBLE_EQ(a.transform.power, 0.5);
  // SHORT prints as STANDARD, ALL draws as FULL.
  EXPECT_EQ(o.print.printout, PrintLevel::Standard);
  EXPECT_EQ(o.print.charts, ChartLevel::Full);
  EXPECT_EQ(o.print.arima, ReportLevel::All);
  EXPECT_TRUE(o.print.arima_first_pass && o.print.list_curves);
  EXPECT_EQ(o.vars.analysis, (std::vector<int>{kB, kA}));
  EXPECT_EQ(o.vars.by, std::vector<int>{kRegion});
  EXPECT_EQ(o.vars.by_descending, std::vector<bool>{true});
  EXPECT_EQ(o.vars.prior_factors, kC);
  EXPECT_EQ(o.start, 10958.0);  // 1990-01-01
  EXPECT_EQ(o.end, 14579.0);    // 1999-12-01
  EXPECT_EQ(o.out_names_of(x11sa::Table::D11), (std::vector<std::string>{"x", "y"}));
  ASSERT_TRUE(o.out && o.outstb);
  EXPECT_EQ(o.out->folder, dir_.path().string());
}

// Each check: its message and the step's exit level. Grammar faults name
// their line and column; the checks of values and of the statements together
// are messages of their own.
TEST_F(StepOptionsTest, ChecksReportTheirMessageAndLevel) {
  const struct {
    std::string body;
    const char* proc;
    const char* message;
    int level;
  } cases[] = {
      {"monthly date=date ndec=-5;", "", "Line 2, column 24: NDEC=-5 is outside its range: it must be from 0 to 12.",
       2000},
      {"monthly date=date;\n sspan ndec=100000000;", "", "NDEC=100000000 is outside its range", 2000},
      {"monthly date=date;\n arima backcast=-1e999;", "", "The number 1e999 is outside the range of numbers", 3000},
      {"monthly date=date;\n arima backcast=-2;", "", "BACKCAST=-2 is outside its range: it must be from 0 to 100.",
       2000},
      {"monthly date=date exclude=1" + std::string(400, '0') + ";", "", "The number 1000000000000", 3000},
      {"monthly date=date;\n arima maxiter=100000;", "",
       "MAXITER=100000 is outside its range: it must be at most 1000.", 2000},
      {"monthly date=date;\n arima model=(p=99 dif=1);", "", "P=99 is outside its range", 2000},
      {"monthly date=date;\n pdweights mon=1 tue=-1;", "", "TUE=-1 is outside its range", 2000},
      {"quarterly date=date length;", "", "at 'length': LENGTH is valid only in the MONTHLY statement.", 3000},
      {"monthly date=date fullweight=10;", "", "ERROR: FULLWEIGHT=10 is outside the range 0.1 to 9.9.", 2000},
      {"monthly date=date fullweight=1.5 zeroweight=1.4;", "", "ZEROWEIGHT= must not be below FULLWEIGHT=.", 2000},
      {"monthly date=date trendma=7;", "", "TRENDMA= must be 9, 13 or 23 for monthly series.", 2000},
      {"quarterly date=date trendma=13;", "", "TRENDMA= must be 5 or 7 for quarterly series.", 2000},
      {"quarterly date=date ptrendma=12;", "", "PTRENDMA= must be 12 or 24 for monthly", 2000},
      {"monthly start=jan1995 end=dec1994;", "", "START= lies after END=.", 2000},
      {"monthly;", "", "Neither DATE= nor START= is given", 2000},
      {"monthly start=1990q1;", "", "START=1990q1 is not a month", 3000},
      {"quarterly start=jan90;", "", "START=jan90 is not a quarter", 3000},
      {"monthly date=date tdregr=adjust tdapply=99999;", "", "The TDAPPLY= year 99999", 1012},
      {"monthly date=date;\n macurves jan=3x7 q1=none;", "", "MACURVES JAN=3x7 is not a known seasonal curve", 3000},
      {"quarterly date=date;\n macurves jan=3x3;", "", "MACURVES choices were given for the periods of the other", 2000},
      {"monthly date=date;\n macurves q2=3x5;", "", "MACURVES choices were given for the periods of the other", 2000},
      {"monthly date=date;\n arima maxiter=0;", "", "WARNING: MAXITER= must be at least 1; 15 is used.", 4},
      {"monthly date=date;\n arima mapecr=0.5;", "", "WARNING: MAPECR=0.5 is outside 1 to 100; 15 is used.", 0},
      {"monthly date=date;\n arima transform=log;", "", "TRANSFORM= has no effect without MODEL=.", 0},
      {"monthly date=date;\n arima nlag=12;", "", "NLAG= does not change the automatic model selection", 4},
      {"monthly date=date;\n arima backcast=6;", "", "BACKCAST=6 years is a long horizon", 0},
      {"monthly date=date;\n arima model=(p=0 q=0 noint);", "", "leaves nothing to estimate", 2000},
      {"monthly date=date;\n arima model=(q=1) transform=(** 0);", "", "must be above 0", 2000},
      {"monthly date=date;\n arima model=(q=1);\n sspan;", "", "SSPAN cannot be combined with ARIMA", 4},
      {"monthly date=date;\n pdweights mon=0;", "", "All seven PDWEIGHTS are zero.", 1012},
      {"monthly date=date additive;\n pdweights mon=1;", "", "PDWEIGHTS cannot be used with ADDITIVE", 2000},
      {"quarterly date=date;\n pdweights mon=1;", "", "PDWEIGHTS can be used only with monthly series.", 2000},
      {"monthly date=date tdcompute=1990;", "", "TDCOMPUTE= has no effect with TDREGR=NONE.", 4},
      {"monthly date=date;\n quarterly date=date;", "", "The QUARTERLY statement repeats an earlier MONTHLY", 4},
      {"var a;", "", "A MONTHLY or QUARTERLY statement is required.", 2000},
      {"monthly date=date;\n id note;", "", "The ID statement has no effect without an OUT=", 4},
      {"quarterly date=date;", "outtdr=t", "OUTTDR= is for monthly series only", 0},
      {"monthly date=date;", "outtdr=t", "OUTTDR= has no rows with TDREGR=NONE", 4},
      {"monthly date=date;", "outspan=sp", "OUTSPAN= needs an SSPAN statement; it is ignored.", 4},
      {"monthly date=date;\n var a b;\n output out=o b1=x1 x2 x3;", "", "more names for table B1 than there are VAR",
       4},
      {"quarterly date=date;\n var a;\n output out=o a1=x d11=y;", "", "Table A1 exists only for monthly series", 4},
      {"monthly date=date;\n output d11=x;", "", "The OUTPUT statement needs OUT= to name its data set.", 2000},
      {"monthly date=date;\n var note;", "", "Variable note named in VAR is a character variable", 3000},
      {"monthly date=date;", "outstb=nolib.s", "The library NOLIB of NOLIB.s is not assigned", 1012},
      {"monthly date=date;", "outsum=nolib.s", "The library NOLIB of NOLIB.s is not assigned", 1012},
  };
  for (const auto& c : cases) {
    const Read r = read(c.body, c.proc);
    EXPECT_TRUE(r.says(c.message)) << c.body << "\n" << r.log;
    EXPECT_EQ(r.level(), c.level) << c.body << "\n" << r.log;
  }
}

TEST_F(StepOptionsTest, WarningsGoOnWithTheValueTheyName) {
  Read r = read("monthly date=date;\n arima maxiter=0 mapecr=0.5 chicr=0.95 ovdifcr=0.85;");
  const ArimaOptions& a = *r.options().method.arima;
  EXPECT_EQ(a.maxiter, 15);
  EXPECT_DOUBLE_EQ(a.mape_criterion, 15.0);
  EXPECT_DOUBLE_EQ(a.chi_criterion, 0.05);
  EXPECT_DOUBLE_EQ(a.overdiff_criterion, 0.85);
  r = read("monthly date=date;\n quarterly date=date additive;");
  EXPECT_FALSE(r.options().method.monthly());
  EXPECT_TRUE(r.options().method.additive());
  r = read("monthly date=date trendma=9 trendma=13;");
  EXPECT_TRUE(r.says("TRENDMA is given more than once in the MONTHLY statement; the last one is used."));
  EXPECT_EQ(r.options().method.trendma, 13);
  r = read("monthly date=date;\n arima model=(q=1);\n sspan;", "outspan=sp");
  EXPECT_FALSE(r.options().method.spans);
  EXPECT_FALSE(r.options().outspan);
  EXPECT_TRUE(r.options().method.arima);
  r = read("quarterly date=date;\n var a;\n output out=o a1=x d11=y;");
  EXPECT_TRUE(r.options().out_names_of(x11sa::Table::A1).empty());
  EXPECT_EQ(r.options().out_names_of(x11sa::Table::D11), std::vector<std::string>{"y"});
}

TEST_F(StepOptionsTest, WhatIsPrinted) {
  // A TABLES list prints only its tables, unless PRINTOUT= or CHARTS= are written.
  Read r = read("monthly date=date;\n tables d11 g1;");
  EXPECT_EQ(r.options().print.printout, PrintLevel::None);
  EXPECT_EQ(r.options().print.charts, ChartLevel::None);
  EXPECT_TRUE(r.options().print.tables.test(static_cast<std::size_t>(x11sa::Table::D11)));
  EXPECT_TRUE(r.options().print.tables.test(static_cast<std::size_t>(x11sa::Table::G1)));
  EXPECT_EQ(r.options().print.tables.count(), 2u);
  EXPECT_TRUE(r.options().prints_anything);
  r = read("monthly date=date printout=long;\n tables d11;");
  EXPECT_EQ(r.options().print.printout, PrintLevel::Long);
  // NOPRINT on either statement prints nothing at all.
  for (const auto& [body, proc] : {std::pair{"monthly date=date;\n tables d11 s1;\n sspan printall;", "noprint"},
                                   std::pair{"monthly date=date noprint printout=full;\n arima;", ""}}) {
    r = read(body, proc);
    const PrintOptions& p = r.options().print;
    EXPECT_FALSE(r.options().prints_anything) << body;
    EXPECT_TRUE(p.noprint && p.printout == PrintLevel::None && p.charts == ChartLevel::None && p.tables.none() &&
                p.arima == ReportLevel::None)
        << body;
  }
  r = read("monthly date=date printout=none charts=none;");
  EXPECT_FALSE(r.options().prints_anything);
  // The spans reports: all but S7, and S3 only with trading day; or those named.
  auto reports = [&](const std::string& body) { return read(body).options().span_reports.to_string(); };
  EXPECT_EQ(reports("monthly date=date;\n sspan;"), "01110111");  // S7 ... S0
  EXPECT_EQ(reports("monthly date=date tdregr=adjust;\n sspan printall;"), "11111111");
  EXPECT_EQ(reports("monthly date=date tdregr=adjust;\n tables s2 s7;\n sspan;"), "10000100");
  EXPECT_EQ(reports("monthly date=date;\n sspan noprint;"), "00000000");
}

// Faults of the text: every statement is still read, so all diagnostics
// show at once, each naming its line, column and word.
TEST_F(StepOptionsTest, GrammarFaultsAreAllReported) {
  const Read r = read(
      "monthly date=date trendma=abc bogus=1 ndec=1.5 additive=yes;\n"
      "tables d11 f9;\n"
      "var a\n   a;\n"
      "flavour x;\n"
      "output out=o f2=x d11=1x;\n"
      "by  nosuch;");
  EXPECT_EQ(r.level(), 3000);
  for (const char* want : {"Line 2, column 27 at 'abc'", "BOGUS= is not an option", "NDEC= needs a whole number",
                           "ADDITIVE is a switch", "at 'f9'", "Line 5, column 4: Variable a is named twice",
                           "FLAVOUR is not a statement", "Table F2 cannot be written", "at '1x'",
                           "Line 8, column 5: Variable nosuch named in BY is not on data set WORK.sales."})
    EXPECT_TRUE(r.says(want)) << want << "\n" << r.log;
  const Read swallowed = read_in(dir_, "proc x11 data=sales\n monthly date=date;\nrun;");
  EXPECT_TRUE(swallowed.says("Is a ';' missing before MONTHLY?")) << swallowed.log;
  // The swallowed statement leaves no second message about its options.
  EXPECT_FALSE(swallowed.says("DATE= is not an option")) << swallowed.log;
  // Variable names ignore case; ranges expand.
  dir_.write("wide.csv", "date,x1,x2,x3\n1990-01-01,1,2,3\n");
  const Read wide = read_in(dir_, "proc x11 data=wide; monthly date=DATE; var X1-x3; run;");
  EXPECT_EQ(wide.options().vars.analysis, (std::vector<int>{1, 2, 3})) << wide.log;
}

TEST_F(StepOptionsTest, DataSetsThatCannotBeUsed) {
  dir_.write("empty.csv", "");
  for (const auto& [program, message] : {
           std::pair{"proc x11 data=nosuch; monthly date=date; run;", "The data set WORK.nosuch does not exist"},
           std::pair{"proc x11 data=lib.sales; monthly date=date; run;", "The library LIB of DATA=LIB.sales is not"},
           std::pair{"proc x11; monthly date=date; run;", "No input data set: give DATA="},
           std::pair{"proc x11 data=empty; monthly date=date; run;", "empty.csv"}}) {
    const Read r = read_in(dir_, program);
    EXPECT_EQ(r.level(), 1012) << program;
    EXPECT_EQ(r.read.input, nullptr) << program;
    EXPECT_TRUE(r.says(message)) << program << "\n" << r.log;
  }
}

// Values echoed into messages carry no line break into the log or the
// listing: a quoted value, a BY value from the data or an unclosed quote
// cannot make a line that passes for a message of its own.
TEST_F(StepOptionsTest, EchoedValuesNeverForgeALogLine) {
  std::string csv = "region,date,a\n";
  for (int i = 0; i < 40; ++i)
    csv += fmt::format("\"north\nERROR: forged\",{}-{:02}-01,{}\n", 1990 + i / 12, i % 12 + 1, 100 + i);
  dir_.write("by.csv", csv);
  const auto run = run_in(dir_,
                          "proc x11 data=sales; monthly date=date start='JAN90\nERROR: forged';\nrun;\n"
                          "proc x11 data=sales; monthly date=date; macurves jan='3x7\nNOTE: forged';\nrun;\n"
                          "proc x11 data=by; monthly date=date; var a; by region; tables d11;\nrun;\n"
                          "proc x11 data='unclosed; monthly date=date;\n var a;\n run;\n/* " +
                              std::string(5000, 'x') + " */\n");
  for (const std::string* text : {&run.log, &run.listing}) {
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_EQ(line.find("forged"), line.rfind("forged")) << line;
      EXPECT_NE(line.rfind("ERROR: forged", 0), 0u) << line;
      EXPECT_NE(line.rfind("NOTE: forged", 0), 0u) << line;
      EXPECT_LT(line.size(), 400u) << line.substr(0, 100);
    }
  }
  EXPECT_TRUE(run.logged("START=JAN90\\nERROR: forged")) << run.log;
  EXPECT_TRUE(run.logged("not closed by '")) << run.log;
  // The unclosed quote takes only the rest of its line.
  EXPECT_FALSE(run.logged("xxxxx")) << run.log;
  EXPECT_NE(run.listing.find("region=north\\nERROR: forged"), std::string::npos);
}

// The library call checks its options with the statements' own words and
// levels, and adjusts nothing when they cannot be used.
TEST_F(StepOptionsTest, TheLibraryCallReportsTheStatementsWords) {
  EXPECT_TRUE(check_options(AdjustmentOptions{}).empty());
  using Change = std::function<void(AdjustmentOptions&)>;
  const auto quarterly = [](AdjustmentOptions& o) { o.frequency = Frequency::Quarterly; };
  const std::pair<std::string, Change> cases[] = {
      {"monthly date=date trendma=7;", [](auto& o) { o.trendma = 7; }},
      {"quarterly date=date ptrendma=12;", [&](auto& o) { quarterly(o); o.ptrendma = 12; }},
      {"monthly date=date fullweight=10 zeroweight=2;", [](auto& o) { o.fullweight = 10; o.zeroweight = 2; }},
      {"quarterly date=date tdregr=adjust;", [&](auto& o) { quarterly(o); o.tdregr = TradingDayRegression::Adjust; }},
      {"monthly date=date tdregr=print tdapply=99999;",
       [](auto& o) { o.tdregr = TradingDayRegression::Print; o.tdapply_year = 99999; }},
      {"monthly date=date;\n pdweights mon=1 tue=-1;", [](auto& o) { o.prior_daily_weights = {1, -1, 0, 0, 0, 0, 0}; }},
      {"monthly date=date;\n pdweights mon=0;", [](auto& o) { o.prior_daily_weights.emplace(); }},
      {"monthly date=date additive;\n pdweights mon=1;",
       [](auto& o) { o.mode = Mode::Additive; o.prior_daily_weights = {1, 0, 0, 0, 0, 0, 0}; }},
      {"quarterly date=date;\n macurves jan=3x3;",
       [&](auto& o) { quarterly(o); o.curves[0] = SeasonalCurve::ThreeByThree; }},
      {"monthly date=date;\n arima backcast=-2;", [](auto& o) { o.arima.emplace().backcast_years = -2; }},
      {"monthly date=date;\n arima model=(p=0 q=0 noint);",
       [](auto& o) { o.arima.emplace().model = ArimaModel{.noint = true}; }},
      {"monthly date=date;\n arima model=(q=1) transform=(** 0);", [](auto& o) {
         o.arima.emplace().model = ArimaModel{.q = 1};
         o.arima->transform = {ArimaTransform::Kind::Power, 0, 0};
       }},
      {"monthly date=date;\n arima maxiter=0;", [](auto& o) { o.arima.emplace().maxiter = 0; }},
      {"monthly date=date;\n arima model=(q=1);\n sspan;",
       [](auto& o) { o.arima.emplace().model = ArimaModel{.q = 1}; o.spans.emplace(); }},
      {"monthly date=date;\n sspan cutoff=200;", [](auto& o) { o.spans.emplace().cutoff = 200; }},
  };
  dir_.copy_data("airline.csv");
  const std::vector<double> series = read_table(dir_.path() / "airline.csv").num.at("passengers");
  for (const auto& [body, change] : cases) {
    const Read statements = read(body);
    SeriesOptions series_options;
    change(series_options.method);
    const std::vector<OptionProblem> problems = check_options(series_options.method);
    ASSERT_FALSE(problems.empty()) << body;
    int level = 0;
    for (const OptionProblem& p : problems) {
      EXPECT_TRUE(statements.says(p.text)) << body << ": " << p.text << "\n" << statements.log;
      level = std::max(level, p.exit_level);
    }
    EXPECT_EQ(level, statements.level()) << body;
    const AdjustedSeries adjusted = adjust_series(series, series_options);
    for (const OptionProblem& p : problems) EXPECT_NE(adjusted.log.find(p.text), std::string::npos) << body;
    EXPECT_GE(adjusted.exit_level, level) << body;
    EXPECT_EQ(adjusted.names.empty(), level > 4) << body << "\n" << adjusted.log;
  }
}

}  // namespace
}  // namespace x11sa::test
