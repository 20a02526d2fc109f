#include "report/f2_summary.h"

#include <iterator>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/message_ids.h"
#include "host/messages.h"

namespace x11sa {

namespace {

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

void table_a(OdsManager& ods, const F2Summary& f, bool monthly, Mode mode) {
  const int title = mode == Mode::Additive ? text_id::kAverageDifference : text_id::kAveragePercentChange;
  ods.open_table("lum.x11.month.f2a", "F2A", msgtext(title));
  const char* labels[12] = {"Span", "O",   "CI", "I", "C", "S", "P", "TD", monthly ? "MCD" : "QCD",
                            "Mod. O", "Mod. CI", "Mod. I"};
  for (int c = 0; c < 12; ++c)
    ods.add_column(OdsColumn{fmt::format("F2A_C{}", c + 1), labels[c], ColType::Num, c == 0 ? 0 : 2});
  for (std::size_t k = 0; k < static_cast<std::size_t>(f.spans); ++k)
    ods.add_row({static_cast<double>(k + 1), f.original.mean_abs_change[k], f.adjusted.mean_abs_change[k],
                 f.irregular.mean_abs_change[k], f.trend_cycle.mean_abs_change[k], f.seasonal.mean_abs_change[k],
                 f.prior.mean_abs_change[k], f.trading_day.mean_abs_change[k], f.mcd_average.mean_abs_change[k],
                 f.modified_original.mean_abs_change[k], f.modified_adjusted.mean_abs_change[k],
                 f.modified_irregular.mean_abs_change[k]});
  ods.close_table();
}

void table_b(OdsManager& ods, const F2Summary& f, bool monthly) {
  ods.open_table("lum.x11.month.f2b", "F2B", msgtext(text_id::kRelativeContributions));
  const struct {
    const char* name;
    const char* label;
    bool quarterly;
  } columns[] = {{"F2B_C1", "Span", true}, {"F2B_C2", "I", true},     {"F2B_C3", "C", true},
                 {"F2B_C4", "S", true},    {"F2B_C5", "P", false},    {"F2B_C6", "TD", false},
                 {"F2B_C7", "Total", true}, {"F2B_C8", "Ratio (x100)", true}};
  for (std::size_t c = 0; c < std::size(columns); ++c)
    if (monthly || columns[c].quarterly)
      ods.add_column(OdsColumn{columns[c].name, columns[c].label, ColType::Num, c == 0 ? 0 : 2});
  const auto spans = static_cast<std::size_t>(f.spans);
  for (std::size_t k = 0; k < spans; ++k) {
    std::vector<OdsCell> row{static_cast<double>(k + 1), f.share_irregular[k], f.share_trend_cycle[k],
                             f.share_seasonal[k]};
    if (monthly) {
      row.emplace_back(f.share_prior[k]);
      row.emplace_back(f.share_trading_day[k]);
    }
    row.emplace_back(f.total[k]);
    row.push_back(cell(f.ratio[k]));
    ods.add_row(std::move(row));
  }
  for (std::size_t k = 0; k < spans; ++k)
    if (is_missing(f.ratio[k])) ods.add_note(msgtext(text_id::kConstantOriginalOverSpan, k + 1));
  ods.close_table();
}

void table_c(OdsManager& ods, const F2Summary& f, bool monthly) {
  ods.open_table("lum.x11.month.f2c", "F2C", msgtext(text_id::kAverageDurationOfRun));
  const char* labels[4] = {"CI", "I", "C", monthly ? "MCD" : "QCD"};
  for (int c = 0; c < 4; ++c) ods.add_column(OdsColumn{fmt::format("F2C_C{}", c + 1), labels[c], ColType::Num, 2});
  ods.add_row({f.run_adjusted, f.run_irregular, f.run_trend_cycle, f.run_mcd_average});
  ods.close_table();
}

void table_d(OdsManager& ods, const F2Summary& f, bool monthly) {
  ods.open_table("lum.x11.month.f2d", "F2D", msgtext(text_id::kIcRatioBySpan));
  const auto spans = static_cast<std::size_t>(f.spans);
  std::vector<OdsCell> row;
  for (std::size_t k = 0; k < spans; ++k) {
    ods.add_column(OdsColumn{fmt::format("F2D_C{}", k + 1), fmt::format("{}", k + 1), ColType::Num, 2});
    row.push_back(cell(f.ic_ratio[k]));
  }
  ods.add_row(std::move(row));
  for (std::size_t k = 0; k < spans; ++k)
    if (is_missing(f.ic_ratio[k])) ods.add_note(msgtext(text_id::kConstantTrendOverSpan, k + 1));
  const int dominance = monthly ? text_id::kMonthsForCyclicalDominance : text_id::kQuartersForCyclicalDominance;
  ods.add_note(msgtext(dominance, f.mcd));
  ods.close_table();
}

void table_f(OdsManager& ods, const F2Summary& f, bool monthly, Mode mode) {
  const int title = mode == Mode::Additive ? text_id::kAverageDifferenceWithSign : text_id::kAveragePercentChangeWithSign;
  ods.open_table("lum.x11.month.f2f", "F2F", msgtext(title));
  ods.add_column(OdsColumn{"F2F_C1", "Span", ColType::Num, 0});
  const char* names[6] = {"O", "I", "C", "S", "CI", monthly ? "MCD" : "QCD"};
  for (int c = 0; c < 6; ++c) {
    ods.add_column(OdsColumn{fmt::format("F2F_C{}", 2 * c + 2), fmt::format("{} Avg", names[c]), ColType::Num, 2});
    ods.add_column(OdsColumn{fmt::format("F2F_C{}", 2 * c + 3), fmt::format("{} S.D.", names[c]), ColType::Num, 2});
  }
  const SpanStatistics* series[6] = {&f.original, &f.irregular, &f.trend_cycle, &f.seasonal, &f.adjusted,
                                     &f.mcd_average};
  for (std::size_t k = 0; k < static_cast<std::size_t>(f.spans); ++k) {
    std::vector<OdsCell> row{static_cast<double>(k + 1)};
    for (const SpanStatistics* s : series) {
      row.emplace_back(s->mean_change[k]);
      row.emplace_back(s->sd_change[k]);
    }
    ods.add_row(std::move(row));
  }
  ods.close_table();
}

}  // namespace

void print_f2_summary(OdsManager& ods, const F2Summary& f, Frequency frequency, Mode mode) {
  const bool monthly = frequency == Frequency::Monthly;
  table_a(ods, f, monthly, mode);
  table_b(ods, f, monthly);
  table_c(ods, f, monthly);
  table_d(ods, f, monthly);
  table_f(ods, f, monthly, mode);
}

}  // namespace x11sa
