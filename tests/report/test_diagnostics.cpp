// The diagnostics tables where a figure is blank, which the example
// programs do not reach: the note that names each D9A period with too few
// values, the F2.B and F2.D notes for spans without a ratio, and the
// wording of each verdict of the combined test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/messages.h"
#include "host/ods.h"
#include "report/capture_sink.h"
#include "report/d9a_ratios.h"
#include "report/f2_summary.h"
#include "report/seasonality_tests.h"

namespace x11sa {
namespace {

struct DiagnosticsTables : ::testing::Test {
  OdsManager ods;
  CaptureSink capture;
  DiagnosticsTables() { ods.add_sink(&capture); }
};

TEST_F(DiagnosticsTables, D9APeriodsWithTooFewValuesAreBlankAndNamed) {
  D9aRatios r;
  r.periods = 4;
  r.by_period[1] = {1.5, 0.5, 3.0, 4};
  r.by_period[2].values = 1;
  print_d9a_ratios(ods, r, Frequency::Quarterly);
  ASSERT_EQ(capture.tables.size(), 1u);
  const OdsTable& t = capture.tables[0];
  ASSERT_EQ(t.columns.size(), 5u);
  EXPECT_EQ(t.rows[2][2], OdsCell{3.0});       // Q2's ratio
  EXPECT_EQ(t.rows[2][3], OdsCell{});          // Q3's: blank
  EXPECT_EQ(t.notes, (std::vector<std::string>{msgtext(286, "Q1"), msgtext(286, "Q3"), msgtext(286, "Q4")}));
}

TEST_F(DiagnosticsTables, F2NotesForSpansWithoutARatio) {
  F2Summary f;
  f.spans = 4;
  f.mcd = 2;
  f.ratio = {50.0, kMissing, 70.0, kMissing};
  f.ic_ratio = {kMissing, 0.8, 0.5, 0.3};
  print_f2_summary(ods, f, Frequency::Quarterly, Mode::Multiplicative);
  ASSERT_EQ(capture.tables.size(), 5u);
  const OdsTable& b = capture.tables[1];
  ASSERT_EQ(b.columns.size(), 6u);  // no P and TD in a quarterly run
  EXPECT_EQ(b.rows[1][5], OdsCell{});
  EXPECT_EQ(b.notes, (std::vector<std::string>{msgtext(330, 2), msgtext(330, 4)}));
  const OdsTable& d = capture.tables[3];
  EXPECT_EQ(d.rows[0][0], OdsCell{});
  EXPECT_EQ(d.notes, (std::vector<std::string>{msgtext(329, 1), msgtext(326, 2)}));
}

TEST_F(DiagnosticsTables, EachVerdictOfTheCombinedTestHasItsWording) {
  const std::pair<IdentifiableSeasonality, const char*> verdicts[] = {
      {IdentifiableSeasonality::Present, "present"},
      {IdentifiableSeasonality::ProbablyNotPresent, "probably not present"},
      {IdentifiableSeasonality::NotPresent, "not present"}};
  for (const auto& [verdict, text] : verdicts) {
    CombinedSeasonalityTest c;
    c.verdict = verdict;
    print_combined_seasonality_test(ods, c);
    ASSERT_EQ(capture.tables.back().rows.size(), 7u);
    EXPECT_EQ(capture.tables.back().rows[6][3], OdsCell{std::string(text)});
  }
}

}  // namespace
}  // namespace x11sa
