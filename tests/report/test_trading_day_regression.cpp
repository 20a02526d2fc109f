// The t values of the trading-day regression report: each weekday's
// combined weight and coefficient, and their probabilities.
#include <gtest/gtest.h>

#include "report/trading_day_regression.h"
#include "x11sa/missing.h"

namespace x11sa {
namespace {

constexpr DailyWeights kPdweights = {1, 1, 1, 1, 1.1, 1.2, 1.2};

// Monday's coefficient at the 5% two-sided point of t with 30 degrees of
// freedom (36 months), Sunday without a standard error.
B15Regression regression(int months) {
  B15Regression r;
  r.fit.months = months;
  r.fit.coefficients = {0.2042, 0.0, 0.0, 0.0, -0.05, 0.1, -0.2542};
  r.test.standard_errors = {0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.0};
  return r;
}

TEST(TradingDayRegression, TValuesTestTheCombinedWeightAndTheCoefficient) {
  const auto rows = trading_day_rows(regression(36), kPdweights, Mode::Multiplicative);
  EXPECT_NEAR(rows[0].t_weight, 2.042, 1e-9);
  EXPECT_NEAR(rows[0].prob_weight, 0.05, 5e-4);
  EXPECT_NEAR(rows[4].combined_weight, 1.05, 1e-12);
  EXPECT_NEAR(rows[4].t_weight, 0.5, 1e-9);  // against a combined weight of 1
  EXPECT_NEAR(rows[4].t_coefficient, -0.5, 1e-9);
  EXPECT_NEAR(rows[5].t_weight, 3.0, 1e-9);
  EXPECT_EQ(rows[6].t_weight, 0.0);
  EXPECT_NEAR(rows[6].prob_coefficient, 1.0, 1e-12);
  // Additive: the weights are the coefficients, both t values test them.
  const auto additive = trading_day_rows(regression(36), DailyWeights{}, Mode::Additive);
  EXPECT_NEAR(additive[4].t_weight, -0.5, 1e-9);
  EXPECT_EQ(additive[4].combined_weight, -0.05);
  // Without error degrees of freedom there is no probability.
  const auto few = trading_day_rows(regression(6), kPdweights, Mode::Multiplicative);
  EXPECT_TRUE(is_missing(few[0].prob_weight));
  EXPECT_TRUE(is_missing(few[0].prob_coefficient));
}

}  // namespace
}  // namespace x11sa
