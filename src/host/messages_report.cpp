// Messages of the printed reports: the preface, the charts.
#include <array>

#include "host/messages.h"

namespace x11sa {

namespace {

using enum Severity;

constexpr auto kReport = std::to_array<Message>({
    {312, Text, "Chart G1: Final Seasonally Adjusted Series and Trend-Cycle"},
    {313, Text, "Chart G2: SI Ratios and Seasonal Factors by Period"},
    {314, Text, "Chart G3: SI Ratios and Seasonal Factors in Time Order"},
    {315, Text, "Chart G4: Final Irregular and Modified Irregular Series"},
    {370, Text, "X = D11, the final seasonally adjusted series"},
    {371, Text, "0 = D12, the final trend-cycle"},
    {372, Text, ""},
    {374, Text, "X = D8, the final unmodified SI ratios"},
    {375, Text, "0 = D9, the SI ratios with extreme values replaced"},
    {376, Text, "+ = D10, the final seasonal factors"},
    {378, Text, "X = D13, the final irregular"},
    {379, Text, "0 = E3, the irregular modified for extremes"},
    {380, Text, ""},
    {381, Text, "* = two or more series at the same position"},
    {658, Text, "The series is decomposed into trend-cycle, seasonal and"},
    {659, Text, "irregular components in three passes: preliminary (B),"},
    {660, Text, "intermediate (C) and final (D) estimates. Each pass"},
    {661, Text, "estimates the trend-cycle with moving averages, the"},
    {662, Text, "seasonal factors with seasonal moving averages per period,"},
    {663, Text, "and weights extreme irregular values from moving five-year"},
    {664, Text, "standard deviations. The final trend-cycle is a Henderson"},
    {665, Text, "average whose length follows the irregular-to-trend ratio."},
    {666, Text, "Trading-day factors come from a regression of the"},
    {667, Text, "irregular on the days of the week, when requested. Tables"},
    {668, Text, "E and F summarise the adjustment."},
});

constexpr bool ascending(std::span<const Message> m) {
  for (std::size_t i = 1; i < m.size(); ++i)
    if (m[i - 1].number >= m[i].number) return false;
  return true;
}
static_assert(ascending(kReport));

}  // namespace

std::span<const Message> report_messages() noexcept { return kReport; }

}  // namespace x11sa
