#include "report/seasonality_tests.h"

#include "host/messages.h"

namespace x11sa {

namespace {

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

void open_aov_table(OdsManager& ods, const char* name, const std::string& title) {
  ods_check(ods.open_table("lum.x11.month.ft0", name, title));
  ods_check(ods.add_column(OdsColumn{"Source", msgtext(554), ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"SumOfSquares", msgtext(563), ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"DF", msgtext(564), ColType::Num, 0}));
  ods_check(ods.add_column(OdsColumn{"MeanSquare", msgtext(565), ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"FValue", msgtext(566), ColType::Num, 3}));
  ods_check(ods.add_column(OdsColumn{"ProbF", msgtext(567), ColType::Num, 4}));
}

void add_aov_row(OdsManager& ods, const std::string& source, const VarianceRow& row, double f, double probability) {
  ods_check(ods.add_row(
      {source, cell(row.sum_of_squares), cell(row.df), cell(row.mean_square), cell(f), cell(probability)}));
}

void add_probability_note(OdsManager& ods, double probability) {
  if (!is_missing(probability)) ods_check(ods.add_note(ftest_note(probability)));
}

}  // namespace

std::string ftest_note(double probability) {
  if (is_missing(probability)) return {};
  return probability < 0.0001 ? msgtext(383) : msgtext(353, probability);
}

void print_stable_seasonality_test(OdsManager& ods, const StableSeasonalityTest& test, Frequency frequency) {
  open_aov_table(ods, "STABLE_FT", msgtext(184));
  add_aov_row(ods, msgtext(frequency == Frequency::Monthly ? 350 : 354), test.between_periods, test.f,
              test.probability);
  add_aov_row(ods, msgtext(391), test.residual, kMissing, kMissing);
  add_aov_row(ods, msgtext(392), test.total, kMissing, kMissing);
  add_probability_note(ods, test.probability);
  ods_check(ods.close_table());
}

void print_moving_seasonality_test(OdsManager& ods, const MovingSeasonalityTest& test) {
  open_aov_table(ods, "MOVING_FT", msgtext(230));
  add_aov_row(ods, msgtext(351), test.between_years, test.f, test.probability);
  add_aov_row(ods, msgtext(352), test.error, kMissing, kMissing);
  add_probability_note(ods, test.probability);
  ods_check(ods.close_table());
}

void print_kruskal_wallis_test(OdsManager& ods, const KruskalWallisTest& test) {
  ods_check(ods.open_table("Lum.Common.KruskalWallisTest", "KruskalWallisTest", msgtext(355)));
  ods_check(ods.add_column(OdsColumn{"KW_ST", msgtext(356), ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"KW_DF", msgtext(564), ColType::Num, 0}));
  ods_check(ods.add_column(OdsColumn{"KW_PR", msgtext(357), ColType::Num, 4}));
  ods_check(ods.add_row({cell(test.statistic), static_cast<double>(test.df), cell(test.probability)}));
  ods_check(ods.close_table());
}

void print_combined_seasonality_test(OdsManager& ods, const CombinedSeasonalityTest& test) {
  ods_check(ods.open_table("Lum.Common.CombinedSeasonalityTest", "CombinedSeasonalityTest", msgtext881(200)));
  ods_check(ods.add_column(OdsColumn{"Name1", " ", ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"Label1", msgtext881(212), ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"nValue1", msgtext881(213), ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"cValue1", " ", ColType::Char, -1}));
  const struct {
    const char* name;
    int label;
    double value;
  } rows[] = {{"P_STABLE", 205, test.p_stable}, {"P_MOV", 206, test.p_moving}, {"P_KW", 207, test.p_kruskal_wallis},
              {"T1", 208, test.t1},             {"T2", 209, test.t2},        {"T", 211, test.t}};
  for (const auto& r : rows)
    ods_check(ods.add_row({std::string(r.name), msgtext881(r.label), cell(r.value), std::string()}));
  int verdict = 0;
  switch (test.verdict) {
    case IdentifiableSeasonality::Present: verdict = 204; break;
    case IdentifiableSeasonality::ProbablyNotPresent: verdict = 202; break;
    case IdentifiableSeasonality::NotPresent: verdict = 203; break;
  }
  ods_check(ods.add_row({std::string("IDSeasTest"), msgtext881(201), OdsCell{}, msgtext881(verdict)}));
  ods_check(ods.close_table());
}

}  // namespace x11sa
