// The preface of a variable: its lines for a few combinations of options.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "report/capture_sink.h"
#include "report/preface.h"

namespace x11sa {
namespace {

struct Preface : ::testing::Test {
  OdsManager ods;
  CaptureSink capture;
  AdjustmentOptions method;
  PrintOptions print;
  std::vector<std::string> lines;  // of the latest preface, in 100 columns
  Preface() { ods.add_sink(&capture); }
  void print_for(const SeriesCalendar& calendar, std::string_view label = "") {
    print_preface(ods, 100, "sales", label, calendar, method, print);
    lines.clear();
    for (const auto& row : capture.tables.back().rows) lines.push_back(std::get<std::string>(row.at(0)));
  }
  // A line `text` at the margin of the credits, which are 59 wide.
  [[nodiscard]] bool has(const std::string& text) const {
    return std::find(lines.begin(), lines.end(), std::string((100 - 59) / 2, ' ') + text) != lines.end();
  }
};

TEST_F(Preface, MonthlyRunNamesItsPeriodsTypeLevelsAndLimits) {
  print_for({Frequency::Monthly, 1990, 2, 36});
  EXPECT_EQ(lines.front(), std::string((100 - 17) / 2, ' ') + "The X11 Procedure");
  EXPECT_TRUE(has("Series - sales"));
  EXPECT_TRUE(has("Period covered - 3/1990 to 2/1993"));
  EXPECT_TRUE(has("Type of run - multiplicative seasonal adjustment."));
  EXPECT_TRUE(has("PRINTOUT=STANDARD   CHARTS=STANDARD"));
  EXPECT_TRUE(has("Sigma limits for graduating extreme values are 1.5 and 2.5."));
  EXPECT_TRUE(has("Irregular values outside of 2.5-sigma limits are excluded from trading day regression."));
  EXPECT_FALSE(has("Seasonal moving averages chosen by period:"));
  print_for({Frequency::Quarterly, 1990, 1, 12});  // ends with its periods
  EXPECT_EQ(lines.back(), std::string((100 - 59) / 2, ' ') + "Period covered - 2nd 1990 to 1st 1993");
}

TEST_F(Preface, TablesStatementAdditiveRunCurvesByMonthAndALongLabel) {
  method.mode = Mode::Additive;
  method.curves[0] = SeasonalCurve::Stable;
  method.curves[1] = SeasonalCurve::ThreeByNine;
  print.tables_given = true;
  print.list_curves = true;
  print_for({Frequency::Monthly, 1990, 0, 36}, "Monthly sales");
  EXPECT_TRUE(has("Series - sales, Monthly sales"));
  EXPECT_TRUE(has("Type of run - additive seasonal adjustment."));
  EXPECT_TRUE(has("Tables printed as selected by the TABLES statement"));
  EXPECT_TRUE(has("January        Stable"));
  EXPECT_TRUE(has("February       3X9"));
  EXPECT_TRUE(has("December       "));  // the method's choice: no curve named
  print_for({Frequency::Monthly, 1990, 0, 36}, std::string(250, 'x'));
  EXPECT_TRUE(has("Series - sales"));
  EXPECT_TRUE(has("Label - " + std::string(250, 'x')));
}

}  // namespace
}  // namespace x11sa
