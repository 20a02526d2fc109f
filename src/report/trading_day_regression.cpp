#include "report/trading_day_regression.h"

#include <string>
#include <tuple>

#include <fmt/format.h>

#include "host/message_ids.h"
#include "host/messages.h"
#include "numeric/distributions.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

OdsCell num(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

}  // namespace

DailyWeights prior_weights_or_neutral(const std::optional<DailyWeights>& prior, Mode mode) {
  if (prior) return *prior;
  DailyWeights neutral{};
  neutral.fill(mode == Mode::Additive ? 0.0 : 1.0);
  return neutral;
}

std::array<TradingDayRow, 7> trading_day_rows(const B15Regression& regression, const DailyWeights& prior, Mode mode) {
  const double df_error = regression.fit.months - 6;
  std::array<TradingDayRow, 7> rows{};
  for (std::size_t d = 0; d < 7; ++d) {
    TradingDayRow& r = rows[d];
    r.prior_weight = prior[d];
    r.coefficient = regression.fit.coefficients[d];
    r.combined_weight = r.prior_weight + r.coefficient;
    r.standard_error = regression.test.standard_errors[d];
    if (r.standard_error > 0.0) {
      r.t_weight = mode == Mode::Additive ? r.coefficient / r.standard_error
                                          : (r.combined_weight - 1.0) / r.standard_error;
      r.t_coefficient = r.coefficient / r.standard_error;
    }
    r.prob_weight = f_upper_tail_probability(r.t_weight * r.t_weight, 1.0, df_error);
    r.prob_coefficient = f_upper_tail_probability(r.t_coefficient * r.t_coefficient, 1.0, df_error);
    // Too few months for the test: no probability rather than an error value.
    if (r.prob_weight < 0.0) r.prob_weight = kMissing;
    if (r.prob_coefficient < 0.0) r.prob_coefficient = kMissing;
  }
  return rows;
}

void print_trading_day_regression(OdsManager& ods, Table table, const B15Regression& regression,
                                  const DailyWeights& prior, Mode mode) {
  const TradingDayFit& fit = regression.fit;
  const TradingDayTest& test = regression.test;
  const std::string title = msgtext(table == Table::C15 ? text_id::kFinalTradingDayRegression
                                                     : text_id::kPreliminaryTradingDayRegression);
  ods.open_table("lum.x11.month.tdr0", "TDR_0", title);
  for (const auto& [name, label, type, dec] :
       {std::tuple{"Day", "Day", ColType::Char, -1}, std::tuple{"CombinedWgt", "Combined Weight", ColType::Num, 3},
        std::tuple{"PriorWgt", "Prior Weight", ColType::Num, 3},
        std::tuple{"RegCoeff", "Regression Coefficient", ColType::Num, 3},
        std::tuple{"StdError", "Standard Error", ColType::Num, 3},
        std::tuple{"TVal1", "T-Value (H0: Weight=1)", ColType::Num, 2},
        std::tuple{"TSig1", "Prob>|T|", ColType::Num, 4},
        std::tuple{"TVal2", "T-Value (H0: Coeff=0)", ColType::Num, 2},
        std::tuple{"TSig2", "Prob>|T|", ColType::Num, 4}})
    ods.add_column(OdsColumn{name, label, type, dec});
  const auto rows = trading_day_rows(regression, prior, mode);
  for (std::size_t d = 0; d < 7; ++d) {
    const TradingDayRow& r = rows[d];
    ods.add_row({std::string(kDayNames[d]), r.combined_weight, r.prior_weight, r.coefficient, r.standard_error,
                 r.t_weight, num(r.prob_weight), r.t_coefficient, num(r.prob_coefficient)});
  }
  ods.close_table();

  ods.open_table("lum.x11.month.tdr1", "TDR_1", title);
  ods.add_column(OdsColumn{"Source", "Source", ColType::Char, -1});
  ods.add_column(OdsColumn{"SumOfSquares", "Sum of Squares", ColType::Num, 4});
  ods.add_column(OdsColumn{"DF", "DF", ColType::Num, 0});
  ods.add_column(OdsColumn{"MeanSquare", "Mean Square", ColType::Num, 4});
  ods.add_column(OdsColumn{"FValue", "F Value", ColType::Num, 2});
  ods.add_column(OdsColumn{"ProbF", "Prob>F", ColType::Num, 4});
  const double df_error = fit.months > 6 ? fit.months - 6 : 0;
  ods.add_row({std::string("Regression"), fit.regression_ss, 6.0, test.regression_ms, test.f, test.prob_f});
  ods.add_row({std::string("Error"), test.error_ss, df_error, test.error_ms, OdsCell{}, OdsCell{}});
  ods.add_row({std::string("Total"), fit.total_ss, static_cast<double>(fit.months), OdsCell{}, OdsCell{}, OdsCell{}});
  ods.close_table();

  ods.open_table("lum.x11.month.tdr2", "StandErrors", title);
  ods.add_column(OdsColumn{"MonthType", "Month Length", ColType::Char, -1});
  ods.add_column(OdsColumn{"StandardErrors", "Standard Error", ColType::Num, 4});
  for (std::size_t k = 0; k < 4; ++k) ods.add_row({std::string(kMonthLengthNames[k]), test.month_standard_errors[k]});
  ods.close_table();
}

void print_prior_daily_weights_list(OdsManager& ods, const DailyWeights& weights) {
  // Preformatted lines, as the preface: the day at the margin, its weight
  // from column 13 with three decimals.
  ods.open_table("lum.x11.weights", "WeightList", msgtext(text_id::kPriorDailyWeights));
  ods.add_column(OdsColumn{"Text", "", ColType::Char, -1});
  ods.add_row({msgtext(text_id::kDayAndWeight)});
  for (std::size_t d = 0; d < 7; ++d) ods.add_row({fmt::format("{:<12}{:6.3f}", kDayNames[d], weights[d])});
  ods.close_table();
}

}  // namespace x11sa
