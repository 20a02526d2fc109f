// Statements and options: values into the run state, defaults, checks with
// their messages and levels, and what is printed.
#include <gtest/gtest.h>

#include <sstream>

#include <fmt/format.h>

#include "io/x11g.h"
#include "support/run_support.h"

namespace x11sa::test {
namespace {

class Statements : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("sales.csv",
               "region,date,a,b,c,note\n"
               "north,1990-01-01,1,2,3,x\n"
               "north,1990-02-01,1,2,3,y\n");
  }
  // Parses one step on the data set `sales`.
  ParsedRun parse(const std::string& body, const std::string& proc_opts = "") {
    return parse_in(dir_, "proc x11 data=sales " + proc_opts + ";\n" + body + "\nrun;\n");
  }
  ScratchDir dir_;
};

TEST_F(Statements, DefaultsOfAMonthlyStep) {
  const auto r = parse("monthly date=date;");
  const X11COM& c = *r.com;
  EXPECT_EQ(r.level(), 0) << r.log();
  EXPECT_EQ(c.op.month_f, 1);
  EXPECT_EQ(c.nper, 12);
  EXPECT_EQ(c.ptrendma, 12);
  EXPECT_EQ(c.trendma, 0);
  EXPECT_EQ(c.printout, 1);
  EXPECT_EQ(c.charts, 1);
  EXPECT_EQ(c.op.noprint_f, 0);
  EXPECT_DOUBLE_EQ(c.fullweight, 1.5);
  EXPECT_DOUBLE_EQ(c.zeroweight, 2.5);
  EXPECT_DOUBLE_EQ(c.exclude, 2.5);
  EXPECT_EQ(c.prior, 1);
  EXPECT_EQ(c.extreme, 0);
  // Without VAR: the numeric variables that are not DATE=, BY or ID.
  ASSERT_EQ(c.nvar, 3);
  for (double w : c.pdweights) EXPECT_DOUBLE_EQ(w, 1.0);
}

TEST_F(Statements, EveryMonthlyOptionReachesItsField) {
  const auto r = parse(
      "monthly date=date additive summary trendadj ndec=2 printout=long charts=full trendma=23 "
      "ptrendma=24 fullweight=1.2 zeroweight=2.8 exclude=2.0 extreme=new tdregr=test "
      "tdcompute=1991 tdapply=1992 length oldsigma;\n var b a;\n by region;");
  const X11COM& c = *r.com;
  EXPECT_LE(r.level(), 4) << r.log();
  EXPECT_EQ(c.op.add_f, 1);
  EXPECT_EQ(c.op.summaryf, 1);
  EXPECT_EQ(c.op.trndadj_f, 1);
  EXPECT_EQ(c.ndec, 2);
  EXPECT_EQ(c.printout, 2);
  EXPECT_EQ(c.charts, 4);
  EXPECT_EQ(c.trendma, 23);
  EXPECT_EQ(c.ptrendma, 24);
  EXPECT_DOUBLE_EQ(c.fullweight, 1.2);
  EXPECT_DOUBLE_EQ(c.zeroweight, 2.8);
  EXPECT_DOUBLE_EQ(c.exclude, 2.0);
  EXPECT_EQ(c.extreme, 1);
  EXPECT_EQ(c.tdregr, 3);
  EXPECT_EQ(c.op.tdcmpt_f, 1);
  EXPECT_DOUBLE_EQ(c.tdcompute, 11323.0);  // 1991-01-01
  EXPECT_EQ(c.op.tdapply_f, 1);
  EXPECT_EQ(c.op.len_f, 1);
  EXPECT_EQ(c.lmopt, 4);
  EXPECT_EQ(c.op.old_f, 1);
  // Additive without PDWEIGHTS: prior weights of 0.
  for (double w : c.pdweights) EXPECT_DOUBLE_EQ(w, 0.0);
  ASSERT_EQ(c.nvar, 2);
  EXPECT_EQ(c.in_ds->vars()[static_cast<std::size_t>(c.varlst[0])].name, "b");
  ASSERT_EQ(c.nby, 1);
}

TEST_F(Statements, FirstLetterSettlesPrintoutChartsAndTdregr) {
  EXPECT_EQ(parse("monthly date=date printout=all;").com->printout, 3);
  EXPECT_EQ(parse("monthly date=date printout=short;").com->printout, 1);
  EXPECT_EQ(parse("monthly date=date printout=none charts=none;").com->printout, 0);
  EXPECT_EQ(parse("monthly date=date charts=all;").com->charts, 4);
  EXPECT_EQ(parse("monthly date=date tdregr=adjust;").com->tdregr, 2);
  EXPECT_EQ(parse("monthly date=date tdregr=print;").com->tdregr, 1);
}

TEST_F(Statements, WeightChecks) {
  auto r = parse("monthly date=date fullweight=1.5 zeroweight=1.4;");
  EXPECT_TRUE(r.logged(15));
  EXPECT_EQ(r.level(), 2000);
  r = parse("monthly date=date fullweight=10;");
  EXPECT_TRUE(r.logged(8));
  EXPECT_EQ(r.level(), 2000);
  // The bounds themselves are accepted.
  r = parse("monthly date=date fullweight=0.1 zeroweight=9.9 exclude=9.9;");
  EXPECT_FALSE(r.logged(8)) << r.log();
  EXPECT_EQ(r.level(), 0);
}

TEST_F(Statements, DatesOfTheRange) {
  auto r = parse("monthly start=jan1995 end=dec1994;");
  EXPECT_TRUE(r.logged(16));
  EXPECT_EQ(r.level(), 2000);
  r = parse("monthly;");
  EXPECT_TRUE(r.logged(3));
  EXPECT_EQ(r.level(), 2000);
  r = parse("monthly start=jan90 end='DEC1999';");
  EXPECT_EQ(r.level(), 0) << r.log();
  EXPECT_DOUBLE_EQ(r.com->date.start2, 10958.0);  // 1990-01-01
  EXPECT_EQ(r.com->op.start_f, 1);
  r = parse("quarterly start=1990q3 end=95Q1;");
  EXPECT_EQ(r.level(), 0) << r.log();
  EXPECT_DOUBLE_EQ(r.com->date.start2, 11139.0);  // 1990-07-01
  r = parse("monthly start=1990q1;");
  EXPECT_TRUE(r.logged(34));
  EXPECT_EQ(r.level(), 3000);
  r = parse("quarterly start=jan90;");
  EXPECT_TRUE(r.logged(35));
}

TEST_F(Statements, TrendLengthsByFrequency) {
  auto r = parse("quarterly date=date trendma=13;");
  EXPECT_TRUE(r.logged(40));
  EXPECT_EQ(r.level(), 2000);
  r = parse("monthly date=date trendma=7;");
  EXPECT_TRUE(r.logged(5));
  r = parse("monthly date=date ptrendma=24;");
  EXPECT_EQ(r.level(), 0);
  EXPECT_EQ(r.com->ptrendma, 24);
  r = parse("quarterly date=date ptrendma=12;");
  EXPECT_TRUE(r.logged(45));
  r = parse("quarterly date=date;");
  EXPECT_EQ(r.com->ptrendma, 4);
  EXPECT_EQ(r.com->nper, 4);
}

TEST_F(Statements, Macurves) {
  auto r = parse("quarterly date=date;\n macurves jan=3x3;");
  EXPECT_TRUE(r.logged(12));
  EXPECT_EQ(r.level(), 2000);
  // A STABLE month alone sums negative and passes.
  r = parse("quarterly date=date;\n macurves jan=stable;");
  EXPECT_FALSE(r.logged(12));
  EXPECT_EQ(r.level(), 0);
  r = parse("monthly date=date;\n macurves jan=3x7 february=3 dec='3X9' q1=none;");
  EXPECT_TRUE(r.logged(6));
  EXPECT_NE(r.log().find("JAN=3x7"), std::string::npos) << r.log();
  EXPECT_EQ(r.level(), 3000);
  EXPECT_EQ(r.com->macrv.spec[0], -2);
  EXPECT_EQ(r.com->macrv.spec[1], 1);
  EXPECT_EQ(r.com->macrv.spec[11], 4);
  EXPECT_EQ(r.com->macrv.spec[12], 0);
}

TEST_F(Statements, ArimaOptionsAndTheirChecks) {
  auto r = parse("monthly date=date;\n arima maxiter=0 mapecr=0.5 chicr=0.95 ovdifcr=0.85;");
  const X11ARIMAOPTS& a = r.com->x11acom.arima;
  EXPECT_TRUE(r.logged(62));
  EXPECT_EQ(a.maxit, 15);
  EXPECT_TRUE(r.logged(542));
  EXPECT_DOUBLE_EQ(a.crit_val.mape_crit, 15.0);
  EXPECT_TRUE(r.logged(543));
  EXPECT_DOUBLE_EQ(a.crit_val.chi_crit, 0.05);
  EXPECT_FALSE(r.logged(544));
  EXPECT_DOUBLE_EQ(a.crit_val.ovdif_crit, 0.85);
  EXPECT_EQ(a.op.a_f, 1);
  EXPECT_EQ(a.nlag, 36);
  EXPECT_EQ(a.fore, 12);
  EXPECT_EQ(r.level(), 4);

  r = parse("monthly date=date tdregr=adjust;\n arima model=(p=2 q=1 sdif=1 sq=1 noint) transform=(1 ** 0.5) "
            "backcast=1 forecast=2 method=ml converge=1e-6 nlag=24 printall;");
  const X11ARIMAOPTS& b = r.com->x11acom.arima;
  EXPECT_EQ(r.level(), 0) << r.log();
  EXPECT_EQ(b.op.u_f, 1);
  EXPECT_EQ(b.user.p, 2);
  EXPECT_EQ(b.user.q, 1);
  EXPECT_EQ(b.user.sdif, 1);
  EXPECT_EQ(b.user.noint, 1);
  EXPECT_EQ(b.trans_code, 3);
  EXPECT_DOUBLE_EQ(b.addcon, 1.0);
  EXPECT_DOUBLE_EQ(b.lambda, 0.5);
  EXPECT_EQ(b.back, 12);
  EXPECT_EQ(b.fore, 24);
  EXPECT_EQ(b.ar_len, 36);
  EXPECT_EQ(b.method, 2);
  EXPECT_EQ(b.ar_prnt, 2);
  EXPECT_EQ(b.need_first_pass, 1);

  r = parse("monthly date=date;\n arima model=(p=0 q=0 noint);");
  EXPECT_TRUE(r.logged(70));
  r = parse("monthly date=date;\n arima transform=log;");
  EXPECT_TRUE(r.logged(41));
  EXPECT_EQ(r.com->x11acom.arima.trans_code, 0);
  r = parse("monthly date=date;\n arima model=(q=1) transform=(** 0);");
  EXPECT_TRUE(r.logged(63));
  EXPECT_EQ(r.level(), 2000);
  r = parse("monthly date=date;\n arima backcast=6 forecast=6;");
  EXPECT_TRUE(r.logged(191));
  EXPECT_TRUE(r.logged(190));
  r = parse("monthly date=date;\n arima nlag=12;");
  EXPECT_TRUE(r.logged(59));
}

TEST_F(Statements, SpansTablesAndPrinting) {
  auto r = parse("monthly date=date;\n arima model=(q=1);\n sspan;", "outspan=sp");
  EXPECT_TRUE(r.logged(67));
  EXPECT_EQ(r.com->op.sspan_f, 0);
  EXPECT_EQ(r.com->op.outspan_f, 0);
  EXPECT_EQ(r.com->op.arima_f, 1);

  r = parse("monthly date=date;\n tables d11;");
  EXPECT_EQ(r.com->printout, 0);
  EXPECT_EQ(r.com->charts, 0);
  EXPECT_TRUE(table_bit(r.com.get(), 52));
  EXPECT_EQ(r.com->op.noprint_f, 0);
  r = parse("monthly date=date printout=long;\n tables d11;");
  EXPECT_EQ(r.com->printout, 2);
  // D10 is bit 51: byte 6, mask 16.
  r = parse("monthly date=date printout=none;\n tables d10;");
  EXPECT_EQ(r.com->print_table_f[6], 16);

  r = parse("monthly date=date;\n tables d11 s1;\n sspan cutoff=12.5 printall;", "noprint");
  EXPECT_EQ(r.com->printout, 0);
  EXPECT_EQ(r.com->op.noprint_f, 1);
  for (unsigned char byte : r.com->print_table_f) EXPECT_EQ(byte, 0);
  EXPECT_EQ(r.com->x11ssp.PWidth1, 5);

  r = parse("monthly date=date;\n sspan;");
  EXPECT_EQ(r.com->x11ssp.SpanPrintLevel, 3);
  EXPECT_EQ(r.com->x11ssp.PrintBitFlags, 0xFE & ~0x10);  // no S7; no S3 without trading day
  r = parse("monthly date=date tdregr=adjust;\n tables s2 s7;\n sspan;");
  EXPECT_EQ(r.com->x11ssp.PrintBitFlags, 0x20 | 0x01);
  r = parse("monthly date=date;", "outspan=sp");
  EXPECT_TRUE(r.logged(209));
}

TEST_F(Statements, OutputNamesAndTheirChecks) {
  auto r = parse("monthly date=date;\n var a b;\n output out=o b1=x1 x2 x3 d11=s1;");
  const X11COM& c = *r.com;
  EXPECT_TRUE(r.logged(7));
  EXPECT_EQ(r.level(), 4);
  const int b1 = out_table_index("B1");
  const int d11 = out_table_index("D11");
  EXPECT_EQ(c.table_cnt[b1], 2);
  EXPECT_EQ(c.table_lst[b1][1], "x2");
  EXPECT_EQ(c.table_cnt[d11], 1);
  EXPECT_EQ(c.tot_tbls, 3);

  r = parse("quarterly date=date;\n var a;\n output out=o a1=x b1=y c16=z;");
  EXPECT_TRUE(r.logged(14));
  EXPECT_EQ(r.com->tot_tbls, 1);
  EXPECT_EQ(r.com->table_cnt[out_table_index("A1")], 0);

  r = parse("monthly date=date;\n id note;");
  EXPECT_TRUE(r.logged(11));
  r = parse("quarterly date=date;", "outtdr=t");
  EXPECT_TRUE(r.logged(205));
  EXPECT_EQ(r.com->op.outtdr_f, 0);
  r = parse("monthly date=date;", "outtdr=t");
  EXPECT_TRUE(r.logged(568));
  r = parse("monthly date=date;\n pdweights mon=0;");
  EXPECT_TRUE(r.logged(36));
  EXPECT_EQ(r.level(), 1012);
  r = parse("monthly date=date additive;\n pdweights mon=1 tue=1;");
  EXPECT_TRUE(r.logged(10));
  r = parse("quarterly date=date;\n pdweights mon=1;");
  EXPECT_TRUE(r.logged(13));
  r = parse("monthly date=date tdcompute=1990;");
  EXPECT_TRUE(r.logged(30));
  r = parse("monthly date=date pmfactor=c;\n pdweights mon=1 sat=0.5;");
  EXPECT_EQ(r.com->prior, 4);
  EXPECT_DOUBLE_EQ(r.com->pdweights[5], 0.5);
  EXPECT_DOUBLE_EQ(r.com->pdweights[6], 0.0);
}

TEST_F(Statements, RepeatedFrequencyStatementKeepsTheLast) {
  const auto r = parse("monthly date=date;\n quarterly date=date;");
  EXPECT_TRUE(r.logged(1));
  EXPECT_EQ(r.level(), 4);
  EXPECT_EQ(r.com->op.month_f, 0);
}

// Faults of the text: every statement is still read, so all diagnostics
// show at once, each naming its line, column and word.
TEST_F(Statements, GrammarFaultsAreAllReported) {
  const auto r = parse(
      "monthly date=date trendma=abc bogus=1 ndec=1.5 additive=yes;\n"
      "tables d11 f9;\n"
      "var a a;\n"
      "flavour x;\n"
      "output out=o f2=x d11=1x;");
  const std::string& log = r.log();
  EXPECT_EQ(r.level(), 3000);
  for (const char* want : {"Line 2, column 27 at 'abc'", "BOGUS= is not an option", "NDEC= needs a whole number",
                           "ADDITIVE is a switch", "at 'f9'", "named twice", "FLAVOUR is not a statement",
                           "Table F2 cannot be written", "at '1x'"})
    EXPECT_NE(log.find(want), std::string::npos) << want << "\n" << log;
}

// Every number is checked where it is read: no value turns into a crash, a
// silent zero or a table wider than any line.
TEST_F(Statements, NumbersOutsideTheirRangeAreErrorsNamingOptionAndValue) {
  const struct {
    std::string body;
    const char* message;
    int level;
  } cases[] = {
      {"monthly date=date ndec=-5;", "NDEC=-5 is outside its range: it must be from 0 to 12.", 2000},
      {"monthly date=date;\n sspan ndec=-1;", "NDEC=-1 is outside its range", 2000},
      {"monthly date=date;\n sspan ndec=100000000;", "NDEC=100000000 is outside its range", 2000},
      {"monthly date=date;\n arima backcast=-1e999;", "The number 1e999 is outside the range of numbers", 3000},
      {"monthly date=date;\n arima backcast=-2;", "BACKCAST=-2 is outside its range: it must be from 0 to 100.", 2000},
      {"monthly date=date zeroweight=7e400;", "The number 7e400 is outside the range", 3000},
      {"monthly date=date exclude=1" + std::string(400, '0') + ";", "The number 1000000000000", 3000},
      {"monthly date=date;\n arima maxiter=100000;", "MAXITER=100000 is outside its range: it must be at most 1000.",
       2000},
      {"monthly date=date;\n arima model=(p=99 dif=1);", "P=99 is outside its range", 2000},
      {"monthly date=date;\n pdweights mon=1 tue=-1;", "TUE=-1 is outside its range", 2000},
      {"monthly date=date tdregr=adjust tdapply=99999;", "The TDAPPLY= year 99999", 1012},
  };
  for (const auto& c : cases) {
    const auto r = parse(c.body);
    EXPECT_NE(r.log().find(c.message), std::string::npos) << c.body << "\n" << r.log();
    EXPECT_EQ(r.level(), c.level) << c.body;
  }
  // An overflowing number leaves no second message about a value it never had.
  const auto r = parse("monthly date=date zeroweight=7e400;");
  EXPECT_EQ(r.log().find("ZEROWEIGHT=0"), std::string::npos) << r.log();
}

// Values echoed into messages carry no line break into the log or the
// listing: a quoted value, a BY value from the data or an unclosed quote
// cannot make a line that passes for a message of its own.
TEST_F(Statements, EchoedValuesNeverForgeALogLine) {
  std::string csv = "region,date,a\n";
  for (int i = 0; i < 40; ++i) csv += fmt::format("\"north\nERROR: forged\",{}-{:02}-01,{}\n", 1990 + i / 12, i % 12 + 1, 100 + i);
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

TEST_F(Statements, OptionGivenTwiceWarnsAndKeepsTheLast) {
  const auto r = parse("monthly date=date trendma=9 trendma=13;");
  EXPECT_EQ(r.level(), 4);
  EXPECT_EQ(r.com->trendma, 13);
  EXPECT_NE(r.log().find("more than once"), std::string::npos);
}

TEST_F(Statements, MissingSemicolonNamesTheNextStatement) {
  const auto r = parse_in(dir_, "proc x11 data=sales\n monthly date=date;\nrun;");
  EXPECT_NE(r.log().find("Is a ';' missing before MONTHLY?"), std::string::npos) << r.log();
  // The swallowed statement leaves no second message about its options.
  EXPECT_EQ(r.log().find("DATE= is not an option"), std::string::npos) << r.log();
}

TEST_F(Statements, VariablesMustExistAndBeNumeric) {
  auto r = parse("monthly date=date;\n var a nosuch;");
  EXPECT_NE(r.log().find("nosuch named in VAR is not on data set"), std::string::npos) << r.log();
  EXPECT_EQ(r.level(), 3000);
  r = parse("monthly date=date;\n var note;");
  EXPECT_NE(r.log().find("character variable"), std::string::npos);
  r = parse("monthly date=region;");
  EXPECT_NE(r.log().find("character variable"), std::string::npos);
  r = parse("monthly date=date;\n var a;\n by nosuch;");
  EXPECT_EQ(r.level(), 3000);
  // Variable names ignore case; ranges expand.
  dir_.write("wide.csv", "date,x1,x2,x3\n1990-01-01,1,2,3\n");
  r = parse_in(dir_, "proc x11 data=wide; monthly date=DATE; var X1-x3; run;");
  EXPECT_EQ(r.level(), 0) << r.log();
  EXPECT_EQ(r.com->nvar, 3);
}

TEST_F(Statements, DataSetsThatCannotBeUsed) {
  auto r = parse_in(dir_, "proc x11 data=nosuch; monthly date=date; run;");
  EXPECT_NE(r.log().find("does not exist"), std::string::npos);
  EXPECT_EQ(r.level(), 1012);
  r = parse_in(dir_, "proc x11 data=lib.sales; monthly date=date; run;");
  EXPECT_NE(r.log().find("not assigned"), std::string::npos);
  EXPECT_EQ(r.level(), 1012);
  r = parse_in(dir_, "proc x11; monthly date=date; run;");
  EXPECT_NE(r.log().find("No input data set"), std::string::npos);
  dir_.write("empty.csv", "");
  r = parse_in(dir_, "proc x11 data=empty; monthly date=date; run;");
  EXPECT_EQ(r.level(), 1012);
}

TEST(TableLists, BitsAndOutputIndexes) {
  EXPECT_EQ(table_bit_of("A1"), 0);
  EXPECT_EQ(table_bit_of("B1"), 9);
  EXPECT_EQ(table_bit_of("B15"), 22);
  EXPECT_EQ(table_bit_of("C1"), 27);
  EXPECT_EQ(table_bit_of("D1"), 43);
  EXPECT_EQ(table_bit_of("D8"), 49);
  EXPECT_EQ(table_bit_of("D9"), 50);
  EXPECT_EQ(table_bit_of("E1"), 55);
  EXPECT_EQ(table_bit_of("F1"), 61);
  EXPECT_EQ(table_bit_of("F2"), 62);
  EXPECT_EQ(table_bit_of("G1"), 63);
  EXPECT_EQ(table_bit_of("S0"), 71);
  EXPECT_EQ(table_bit_of("S7"), 78);
  EXPECT_EQ(table_bit_of("B12"), -1);
  EXPECT_EQ(out_table_index("A1"), 0);
  EXPECT_EQ(out_table_index("B1"), 9);
  EXPECT_EQ(out_table_index("C16"), 37);
  EXPECT_EQ(out_table_index("C18"), 39);
  EXPECT_EQ(out_table_index("D10"), 49);
  EXPECT_EQ(out_table_index("F1"), 58);
  EXPECT_EQ(out_table_index("B15"), -1);
}

}  // namespace
}  // namespace x11sa::test

namespace x11sa::test {
namespace {

TEST(StatementPositions, VariableFaultsPointAtTheName) {
  ScratchDir dir;
  dir.write("sales.csv", "date,a,note\n1990-01-01,1,x\n");
  const auto r = parse_in(dir, "proc x11 data=sales;\n monthly date=date;\n var a\n   nosuch;\n by  note2;\nrun;\n");
  EXPECT_NE(r.log().find("Line 4, column 4: Variable nosuch"), std::string::npos) << r.log();
  EXPECT_NE(r.log().find("Line 5, column 6: Variable note2"), std::string::npos) << r.log();
}

}  // namespace
}  // namespace x11sa::test
