// The preface of a variable where the golden listings do not reach: the
// curves chosen by month and a label too long for the series line.
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

TEST_F(Preface, CurvesByMonthAndALongLabel) {
  method.curves[0] = SeasonalCurve::Stable;
  method.curves[1] = SeasonalCurve::ThreeByNine;
  print.list_curves = true;
  print_for({Frequency::Monthly, 1990, 0, 36}, "Monthly sales");
  EXPECT_TRUE(has("Series - sales, Monthly sales"));
  EXPECT_TRUE(has("January        Stable"));
  EXPECT_TRUE(has("February       3X9"));
  EXPECT_TRUE(has("December       "));  // the method's choice: no curve named
  print_for({Frequency::Monthly, 1990, 0, 36}, std::string(250, 'x'));
  EXPECT_TRUE(has("Series - sales"));
  EXPECT_TRUE(has("Label - " + std::string(250, 'x')));
}

}  // namespace
}  // namespace x11sa
