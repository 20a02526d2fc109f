// Messages of the spans subsystem.
#include <array>

#include "host/messages.h"

namespace x11sa {

namespace {

using enum Severity;

// Ordered by number.
constexpr auto kPart = std::to_array<Message>({
    {187, Text, "Fewer than four spans fit the series; comparisons of fewer spans are less reliable."},
    {217, Text, "S 0.A.1 Sliding Spans Analysis of {0}: Number and Length of the Spans"},
    {219, Warning,
     "Variable {0} is too short for two sliding spans; the sliding spans analysis is not done for it. "
     "Two spans need at least one year more than one span's length."},
    {600, Text, "Length of Spans ({0})"},
    {601, Text, "Number of Spans"},
    {602, Text, "Months"},
    {603, Text, "Quarters"},
    {604, Text, "S 0.A.2 Dates of the Spans"},
    {605, Text, "S 0.B Seasonality Tests on the Final SI Ratios (D8) of Each Span"},
    {606, Text, "Span {0}"},
    {607, Text, "Stable seasonality F value"},
    {608, Text, "Moving seasonality F value"},
    {609, Text, "Identifiable seasonality"},
    {610, Text, "present"},
    {611, Text, "probably not"},
    {612, Text, "not present"},
    {613, Text, "S 1.A Means of the Seasonal Factors (D10) by {0} and Span"},
    {614, Text, "MIN and MAX mark the smallest and the largest mean of each column."},
    {615, Text,
     "Max % Diff is the largest difference between the span means of a period, in percent of the "
     "smallest."},
    {616, Text, "Max Diff is the largest difference between the span means of a period."},
    {617, Text, "S 1.B Range of the Seasonal Factors (D10) by Span"},
    {618, Text, "Ave. Spans"},
    {619, Text, "Month"},
    {621, Text, "Quarter"},
    {622, Text, "{0} Spreads by {1}: {2}"},
    {623, Text, "{0} Spreads by Year: {1}"},
    {624, Text, "Seasonal Factors (D10)"},
    {625, Text, "Trading Day Factors (C18)"},
    {626, Text, "Seasonally Adjusted Series (D11)"},
    {627, Text, "Month-to-Month Changes in the Seasonally Adjusted Series"},
    {628, Text, "Quarter-to-Quarter Changes in the Seasonally Adjusted Series"},
    {629, Text, "Year-to-Year Changes in the Seasonally Adjusted Series"},
    {630, Text, "Periods with a spread above the cutoff of {0}"},
    {631, Text, "Periods with a sign change"},
    {632, Text, "Sign changes where the spread is above the cutoff"},
    {633, Text, "Periods with a turning point"},
    {634, Text, "Turning points where the spread is above the cutoff"},
    {635, Text, "{0} Periods above the Cutoff by Range of the Spread: {1}"},
    {636, Text, "{0} Distribution of the Spreads: {1}"},
    {644, Text, "The arrows mark the first point of the distribution above the cutoff of {0}."},
    {645, Text, "{0} Sliding Spans Estimates: {1}"},
    {646, Text, "{0} Summary of the Sliding Spans Comparisons: {1}"},
    {647, Text, "The span estimates range from {0}."},
    {648, Text,
     "Sign change: D when a later span moves from above to below the neutral level, U from below to "
     "above."},
    {649, Text, "Turning point: D-U a trough, U-D a peak in the estimates of consecutive spans."},
    {650, Text, "Level of excess: {0} once per unit of spread above the cutoff, four times at most."},
});

constexpr bool ascending(std::span<const Message> m) {
  for (std::size_t i = 1; i < m.size(); ++i)
    if (m[i - 1].number >= m[i].number) return false;
  return true;
}
static_assert(ascending(kPart));

}  // namespace

std::span<const Message> spans_messages() noexcept { return kPart; }

}  // namespace x11sa
