#include "report/preface.h"

#include <algorithm>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/message_ids.h"
#include "host/messages.h"

namespace x11sa {

namespace {

// Preformatted lines, each placed by its margin.
class Preface {
 public:
  explicit Preface(int line_size) : line_size_(line_size) {}

  void centred(const std::string& text) { at(margin_for(static_cast<int>(text_width(text))), text); }
  void at(int margin, const std::string& text) {
    lines_.push_back(std::string(static_cast<std::size_t>(std::max(margin, 0)), ' ') + text);
  }
  void blank() { lines_.emplace_back(); }
  [[nodiscard]] int margin_for(int width) const { return std::max(0, (line_size_ - width) / 2); }

  void emit(OdsManager& ods) {
    ods.open_table("lum.x11.preface", "Preface", "");
    ods.add_column(OdsColumn{"PrefaceText", "", ColType::Char, -1});
    for (auto& l : lines_) ods.add_row({std::move(l)});
    ods.close_table();
  }

 private:
  int line_size_;
  std::vector<std::string> lines_;
};

const char* curve_name(SeasonalCurve c) {
  switch (c) {
    case SeasonalCurve::Stable:
      return "Stable";
    case SeasonalCurve::ThreeTerm:
      return "3";
    case SeasonalCurve::ThreeByThree:
      return "3X3";
    case SeasonalCurve::ThreeByFive:
      return "3X5";
    case SeasonalCurve::ThreeByNine:
      return "3X9";
    case SeasonalCurve::Default:
      break;
  }
  return "";
}

int print_level_message(PrintLevel level) {
  switch (level) {
    case PrintLevel::None:
      return text_id::kPrintoutNone;
    case PrintLevel::Standard:
      return text_id::kPrintoutStandard;
    case PrintLevel::Long:
      return text_id::kPrintoutLong;
    case PrintLevel::Full:
      return text_id::kPrintoutFull;
  }
  return text_id::kPrintoutNone;
}

int chart_level_message(ChartLevel level) {
  return level == ChartLevel::Full       ? text_id::kChartsFull
         : level == ChartLevel::Standard ? text_id::kChartsStandard
                                         : text_id::kChartsNone;
}

}  // namespace

void print_preface(OdsManager& ods, int line_size, std::string_view name, std::string_view label,
                   const SeriesCalendar& calendar, const AdjustmentOptions& method, const PrintOptions& print) {
  Preface p(line_size);
  for (int m = text_id::kPrefaceHeadingFirst; m <= text_id::kPrefaceHeadingLast; ++m) p.centred(msgtext(m));
  p.blank();
  const int margin = p.margin_for(59);
  for (int m = text_id::kPrefaceDescriptionFirst; m <= text_id::kPrefaceDescriptionLast; ++m)
    p.at(margin, msgtext(m));
  p.blank();
  if (label.empty()) {
    p.at(margin, msgtext(text_id::kSeriesName, name));
  } else if (name.size() + label.size() + 12 < 256) {
    p.at(margin, msgtext(text_id::kSeriesNameAndLabel, name, label));
  } else {
    p.at(margin, msgtext(text_id::kSeriesName, name));
    p.at(margin, msgtext(text_id::kSeriesLabel, label));
  }
  if (!calendar.monthly()) {
    p.at(margin, msgtext(text_id::kPeriodCoveredQuarters, msgtext(text_id::quarter_ordinal(calendar.first_period)),
                         calendar.first_year, msgtext(text_id::quarter_ordinal(calendar.last_period())),
                         calendar.last_year()));
    p.emit(ods);
    return;
  }
  p.at(margin, msgtext(text_id::kPeriodCoveredMonths, calendar.first_period + 1, calendar.first_year,
                       calendar.last_period() + 1, calendar.last_year()));
  p.at(margin, msgtext(method.additive() ? text_id::kAdditiveRun : text_id::kMultiplicativeRun));
  if (!print.tables_given) {
    p.at(margin, fmt::format("{}   {}", msgtext(print_level_message(print.printout)),
                             msgtext(chart_level_message(print.charts))));
  } else {
    p.at(margin, msgtext(text_id::kTablesStatement));
  }
  p.at(margin, msgtext(text_id::kSigmaLimits, method.fullweight, method.zeroweight));
  if (method.exclude > 0) p.at(margin, msgtext(text_id::kTradingDayExclusion, method.exclude));
  p.at(margin, msgtext(text_id::kBlankLine));
  if (print.list_curves) {
    static constexpr const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                                "July",    "August",   "September", "October", "November", "December"};
    p.blank();
    p.at(margin, msgtext(text_id::kCurvesByPeriod));
    p.at(margin, msgtext(text_id::kCurvesHeading));
    for (std::size_t m = 0; m < 12; ++m)
      p.at(margin, fmt::format("{:<15}{}", kMonths[m], curve_name(method.curves[m])));
  }
  p.emit(ods);
}

}  // namespace x11sa
