#include "report/seasonality_tests.h"

#include "host/message_ids.h"
#include "host/messages.h"

namespace x11sa {

namespace {

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

void open_aov_table(OdsManager& ods, const char* name, const std::string& title) {
  ods.open_table("lum.x11.month.ft0", name, title);
  ods.add_column(OdsColumn{"Source", msgtext(text_id::kSource), ColType::Char, -1});
  ods.add_column(OdsColumn{"SumOfSquares", msgtext(text_id::kSumOfSquares), ColType::Num, 4});
  ods.add_column(OdsColumn{"DF", msgtext(text_id::kDegreesOfFreedom), ColType::Num, 0});
  ods.add_column(OdsColumn{"MeanSquare", msgtext(text_id::kMeanSquare), ColType::Num, 4});
  ods.add_column(OdsColumn{"FValue", msgtext(text_id::kFValue), ColType::Num, 3});
  ods.add_column(OdsColumn{"ProbF", msgtext(text_id::kProbabilityF), ColType::Num, 4});
}

void add_aov_row(OdsManager& ods, const std::string& source, const VarianceRow& row, double f, double probability) {
  ods.add_row({source, cell(row.sum_of_squares), cell(row.df), cell(row.mean_square), cell(f), cell(probability)});
}

void add_probability_note(OdsManager& ods, double probability) {
  if (!is_missing(probability)) ods.add_note(ftest_note(probability));
}

}  // namespace

std::string ftest_note(double probability) {
  if (is_missing(probability)) return {};
  return probability < 0.0001 ? msgtext(text_id::kProbabilityOfFBelowLimit)
                              : msgtext(text_id::kProbabilityOfF, probability);
}

void print_stable_seasonality_test(OdsManager& ods, const StableSeasonalityTest& test, Frequency frequency) {
  open_aov_table(ods, "STABLE_FT", msgtext(text_id::kStableSeasonalityTest));
  const int between = frequency == Frequency::Monthly ? text_id::kBetweenMonths : text_id::kBetweenQuarters;
  add_aov_row(ods, msgtext(between), test.between_periods, test.f, test.probability);
  add_aov_row(ods, msgtext(text_id::kResidual), test.residual, kMissing, kMissing);
  add_aov_row(ods, msgtext(text_id::kTotal), test.total, kMissing, kMissing);
  add_probability_note(ods, test.probability);
  ods.close_table();
}

void print_moving_seasonality_test(OdsManager& ods, const MovingSeasonalityTest& test) {
  open_aov_table(ods, "MOVING_FT", msgtext(text_id::kMovingSeasonalityTest));
  add_aov_row(ods, msgtext(text_id::kBetweenYears), test.between_years, test.f, test.probability);
  add_aov_row(ods, msgtext(text_id::kError), test.error, kMissing, kMissing);
  add_probability_note(ods, test.probability);
  ods.close_table();
}

void print_kruskal_wallis_test(OdsManager& ods, const KruskalWallisTest& test) {
  ods.open_table("Lum.Common.KruskalWallisTest", "KruskalWallisTest", msgtext(text_id::kKruskalWallisTest));
  ods.add_column(OdsColumn{"KW_ST", msgtext(text_id::kKruskalWallisStatistic), ColType::Num, 4});
  ods.add_column(OdsColumn{"KW_DF", msgtext(text_id::kDegreesOfFreedom), ColType::Num, 0});
  ods.add_column(OdsColumn{"KW_PR", msgtext(text_id::kKruskalWallisProbability), ColType::Num, 4});
  ods.add_row({cell(test.statistic), static_cast<double>(test.df), cell(test.probability)});
  ods.close_table();
}

void print_combined_seasonality_test(OdsManager& ods, const CombinedSeasonalityTest& test) {
  using namespace seasonality_text_id;
  ods.open_table("Lum.Common.CombinedSeasonalityTest", "CombinedSeasonalityTest", msgtext881(kCombinedTest));
  ods.add_column(OdsColumn{"Name1", " ", ColType::Char, -1});
  ods.add_column(OdsColumn{"Label1", msgtext881(kTestHeading), ColType::Char, -1});
  ods.add_column(OdsColumn{"nValue1", msgtext881(kValueHeading), ColType::Num, 4});
  ods.add_column(OdsColumn{"cValue1", " ", ColType::Char, -1});
  const struct {
    const char* name;
    int label;
    double value;
  } rows[] = {{"P_STABLE", kStableProbability, test.p_stable},
              {"P_MOV", kMovingProbability, test.p_moving},
              {"P_KW", kKruskalWallisProbability, test.p_kruskal_wallis},
              {"T1", kT1, test.t1},
              {"T2", kT2, test.t2},
              {"T", kT, test.t}};
  for (const auto& r : rows) ods.add_row({std::string(r.name), msgtext881(r.label), cell(r.value), std::string()});
  int verdict = 0;
  switch (test.verdict) {
    case IdentifiableSeasonality::Present: verdict = kPresent; break;
    case IdentifiableSeasonality::ProbablyNotPresent: verdict = kProbablyNotPresent; break;
    case IdentifiableSeasonality::NotPresent: verdict = kNotPresent; break;
  }

  ods.add_row({std::string("IDSeasTest"), msgtext881(kIdentifiableSeasonality), OdsCell{}, msgtext881(verdict)});
  ods.close_table();
}

}  // namespace x11sa
