#include "host/messages.h"

#include <algorithm>
#include <array>

namespace x11sa {

namespace {

using enum Severity;

// Texts are written for the user: they name what is concerned and say what
// to do. Arguments arrive in the order the calling code passes them.
constexpr std::array kMessages = std::to_array<Message>({
    // Statements and options.
    {1, Warning, "The {0} statement repeats an earlier {1} statement; the last one is used."},
    {2, Error, "No numeric variable is left to adjust: name the series in a VAR statement."},
    {3, Error,
     "Neither DATE= nor START= is given: name the date variable with DATE= or give the first "
     "period with START=."},
    {5, Error, "TRENDMA= must be 9, 13 or 23 for monthly series."},
    {6, Error,
     "MACURVES {0}={1} is not a known seasonal curve; use 3, 3X3, 3X5, 3X9, STABLE or NONE."},
    {7, Warning,
     "The OUTPUT statement gives more names for table {1} than there are VAR variables; the extra "
     "names are ignored."},
    {8, Error, "{0}={1} is outside the range 0.1 to 9.9."},
    {9, Error, "A MONTHLY or QUARTERLY statement is required."},
    {10, Error, "PDWEIGHTS cannot be used with ADDITIVE: prior daily weights are multiplicative."},
    {11, Warning, "The ID statement has no effect without an OUT= data set in an OUTPUT statement."},
    {12, Error, "{0} choices were given for {1}; use JAN= to DEC= with MONTHLY and Q1= to Q4= with "
                "QUARTERLY."},
    {13, Error, "PDWEIGHTS can be used only with monthly series."},
    {14, Warning,
     "Table {0} exists only for monthly series; its OUTPUT names are dropped for this quarterly run."},
    {15, Error, "ZEROWEIGHT= must not be below FULLWEIGHT=."},
    {16, Error, "START= lies after END=."},
    {18, Error,
     "The PMFACTOR= variable {2} has the value {0} at observation {1}; prior factors of a "
     "multiplicative run must be above 0."},
    {19, Error, "The date format for titles could not be loaded."},
    {20, Warning,
     "Variable {0} has only {1} observations, fewer than the three years needed; it is not "
     "adjusted."},
    {21, Error,
     "The date at observation {0} is missing or outside the valid range; the BY group cannot be "
     "read."},
    {22, Note, "Variable {0} starts with missing values; the series begins at its first value."},
    {23, Error,
     "The dates are not consecutive periods: {0} is followed by {1} at observation {2}. Remove gaps, "
     "repeated dates and steps back, or use START= instead of DATE=."},
    {24, Warning,
     "Variable {0} has values after a missing value ends its series of {1} observations; those "
     "values are not used."},
    {26, Error,
     "The value {0} of variable {1} is too large (above 1.3407807929943E154); the variable is not "
     "adjusted."},
    {27, Error,
     "Variable {0} has a value of zero or below at observation {1}; a multiplicative adjustment "
     "needs positive values (use ADDITIVE for such series). The variable is not adjusted."},
    {28, Warning, "The OUT= data set has no table variables: name tables in the OUTPUT statement."},
    {29, Warning,
     "Variable {0} ends less than 12 months after the TDCOMPUTE= date; it is not adjusted."},
    {30, Warning, "TDCOMPUTE= has no effect with TDREGR=NONE."},
    {31, Note, "Missing PMFACTOR= values are taken as {0} (no prior adjustment) in this BY group."},
    {32, Error, "The {0}= year {1} gives a date outside the valid range."},
    {33, Error, "The BY group has more than 2147483647 observations."},
    {34, Error, "{0}={1} is not a month; write it as JAN1990 or JAN90."},
    {35, Error, "{0}={1} is not a quarter; write it as 1990Q1 or 90Q1."},
    {36, Error, "All seven PDWEIGHTS are zero."},
    {37, Error, "No variable of the BY group can be adjusted."},
    {40, Error, "TRENDMA= must be 5 or 7 for quarterly series."},
    {41, Warning, "TRANSFORM= has no effect without MODEL=."},
    {44, Note,
     "Variable {0} has fewer than five years of observations; automatic model selection needs "
     "five. The series is adjusted without an ARIMA extension."},
    {45, Error, "PTRENDMA= must be 12 or 24 for monthly series and 4 or 8 for quarterly series."},
    {59, Warning, "NLAG= does not change the automatic model selection, whose residual checks use 36 lags (12 for quarterly series)."},
    {61, Text, "Period covered - {0} {1} to {2} {3}"},
    {62, Warning, "MAXITER= must be at least 1; 15 is used."},
    {63, Error, "The power of TRANSFORM=(a ** b) must be above 0."},
    {65, Error, "More dates are not consecutive; only the first 10 are listed."},
    {66, Error,
     "There are no observations to adjust: the data set has no rows, or none lies between START= and "
     "END=."},
    {67, Warning, "SSPAN cannot be combined with ARIMA; the sliding spans analysis is not done."},
    {70, Error, "MODEL= with no AR or MA term and NOINT leaves nothing to estimate."},
    {71, Text, "Prior Adjustments (A Tables)"},
    {72, Text, "Preliminary Estimates (B Tables)"},
    {73, Text, "Intermediate Estimates (C Tables)"},
    {74, Text, "Final Estimates (D Tables)"},
    {75, Text, "Adjustment Series (E Tables)"},
    {76, Text, "Summary Measures (F Tables)"},
    {77, Text, "Charts"},
    {78, Text, "ARIMA Extension"},
    {80, Text, "Series - {0}"},
    {81, Text, "Period covered - {0}/{1} to {2}/{3}"},
    {82, Text, "Type of run - additive seasonal adjustment."},
    {83, Text, "Type of run - multiplicative seasonal adjustment."},
    {90, Text, "Sigma limits for graduating extreme values are {0:.1f} and {1:.1f}."},
    {91, Text, "Irregular values outside of {0:.1f}-sigma limits are excluded from trading day "
               "regression."},
    {92, Text, "Seasonal moving averages chosen by period:"},
    {93, Text, "Period         Curve"},
    {95, Error, "The utility file could not be written (disk full?)."},
    {96, Text, "Series - {0}, {1}"},
    {97, Text, "The X11 Procedure - Seasonal Adjustment of {0}"},
    {98, Text, "The X11 Procedure - Seasonal Adjustment of {0} - {1}"},
    {99, Text, "MACURVES"},

    // Table titles; {0} the floating and {1} the integer argument of the title.
    {100, Text, "Original Series"},
    {101, Text, "Prior Monthly Adjustment Factors"},
    {102, Text, "Original Series Adjusted for Prior Monthly Factors"},
    {104, Text, "Prior Adjusted Series"},
    {105, Text, "Trend Cycle - Centered {1}-Term Moving Average"},
    {106, Text, "Unmodified Seasonal-Irregular Ratios"},
    {107, Text, "Replacement Values for Extreme SI Ratios"},
    {108, Text, "Seasonal Factors"},
    {109, Text, "Seasonally Adjusted Series"},
    {110, Text, "Trend Cycle - Henderson Curve: {1}-Term Moving Average, I/C Ratio {0:.3f}"},
    {111, Text, "Unmodified SI Ratios"},
    {112, Text, "Replacement Values for Extreme SI Ratios"},
    {113, Text, "Seasonal Factors"},
    {114, Text, "Seasonally Adjusted Series"},
    {115, Text, "Irregular Series"},
    {116, Text, "Extreme Irregular Values Excluded from Trading Day Regression"},
    {117, Text, "Preliminary Trading Day Regression"},
    {118, Text, "Trading Day Adjustment Factors Derived from Regression Coefficients"},
    {119, Text, "Preliminary Weights for Irregular Component"},
    {120, Text, "Trading Day Factors Derived from Combined Daily Weights"},
    {121, Text, "Original Series Adjusted for Trading Day and Prior Variation"},
    {122, Text, "Original Series Modified by Preliminary Weights and Adjusted for Trading Day and "
                "Prior Variation"},
    {123, Text, "Trend Cycle - Centered {1}-Term Moving Average"},
    {124, Text, "Modified SI Ratios"},
    {125, Text, "Seasonal Factors"},
    {126, Text, "Seasonally Adjusted Series"},
    {127, Text, "Trend Cycle - Henderson Curve: {1}-Term Moving Average, I/C Ratio {0:.3f}"},
    {128, Text, "Modified SI Ratios"},
    {129, Text, "Seasonal Factors"},
    {130, Text, "Seasonally Adjusted Series"},
    {131, Text, "Irregular Series"},
    {132, Text, "Extreme Irregular Values Excluded from Trading Day Regression"},
    {133, Text, "Final Trading Day Regression"},
    {134, Text, "Final Trading Day Factors Derived from Regression Coefficients"},
    {135, Text, "Final Weights for Irregular Component"},
    {136, Text, "Final Trading Day Factors Derived from Combined Daily Weights"},
    {137, Text, "Original Series Adjusted for Trading Day and Prior Variation"},
    {138, Text, "Original Series Modified for Final Weights and Adjusted for Trading Day and Prior "
                "Variation"},
    {139, Text, "Trend Cycle - Centered {1}-Term Moving Average"},
    {140, Text, "Modified SI Ratios"},
    {141, Text, "Seasonal Factors"},
    {142, Text, "Seasonally Adjusted Series"},
    {143, Text, "Trend Cycle - Henderson Curve: {1}-Term Moving Average, I/C Ratio {0:.3f}"},
    {144, Text, "Final Unmodified SI Ratios"},
    {145, Text, "Final Replacement Values for Extreme SI Ratios"},
    {146, Text, "Final Seasonal Factors"},
    {147, Text, "Final Seasonally Adjusted Series"},
    {148, Text, "Final Trend Cycle - Henderson Curve: {1}-Term Moving Average, I/C Ratio {0:.3f}"},
    {149, Text, "Final Irregular Series"},
    {150, Text, "Original Series Modified for Extremes"},
    {151, Text, "Modified Seasonally Adjusted Series"},
    {152, Text, "Modified Irregular Series"},
    {153, Text, "Differences of Annual Totals (Original Minus Seasonally Adjusted)"},
    {154, Text, "Percent Changes in Original Series"},
    {155, Text, "Percent Changes in Final Seasonally Adjusted Series"},
    {156, Text, "MCD Moving Average"},
    {158, Text, "The trading day regression has no usable observation; table B14 is not printed."},
    {159, Text, "Original Series"},
    {161, Text, "Percent Changes in Original Series"},
    {162, Text, "Percent Changes in Final Seasonally Adjusted Series"},
    {163, Text, "Original Series Adjusted for Prior Factors"},
    {166, Text, "Prior Trading Day Adjustment Factors"},
    {167, Text, "Prior Trading Day Adjustment Factors with Length-of-Month Adjustment"},
    {175, Text, "ARIMA Fitted Values and Forecasts"},
    {176, Text, "ARIMA Fitted Values and Backcasts"},
    {177, Text, "Prior Adjusted Series Extended by ARIMA Forecasts and Backcasts"},
    {179, Text, "Trading Day Regression"},
    {180, Text, "Trend Cycle - Henderson Curve: {1}-Term Moving Average"},
    {181, Text, "Trend Cycle - Henderson Curve: {1}-Term Moving Average"},
    {182, Text, "Trend Cycle - Henderson Curve: {1}-Term Moving Average"},
    {183, Text, "Final Trend Cycle - Henderson Curve: {1}-Term Moving Average"},
    {184, Text, "Stable Seasonality Test"},
    {185, Text, "Seasonal Adjustment Tables"},
    {186, Text, "Sliding Spans"},
    {190, Warning, "FORECAST={0} years is a long horizon; forecasts so far ahead are seldom reliable."},
    {191, Warning, "BACKCAST={0} years is a long horizon; backcasts so far back are seldom reliable."},
    {192, Warning, "FORECAST={0} years is a long horizon for quarterly series."},
    {193, Warning, "BACKCAST={0} years is a long horizon for quarterly series."},
    {200, Text, "Year"},
    {201, Text, "1st"},
    {202, Text, "2nd"},
    {203, Text, "3rd"},
    {204, Text, "4th"},
    {205, Warning, "OUTTDR= is for monthly series only; it is ignored in this quarterly run."},
    {206, Error, "Not enough memory to arrange the OUT= rows."},
    {207, Error, "The OUT= rows could not be arranged (utility file error)."},
    {209, Warning, "OUTSPAN= needs an SSPAN statement; it is ignored."},
    {223, Text, "Label - {0}"},
    {226, Text, "QCD Moving Average"},
    {230, Text, "Moving Seasonality Test"},
    {231, Text, "Jan"},
    {232, Text, "Feb"},
    {233, Text, "Mar"},
    {234, Text, "Apr"},
    {235, Text, "May"},
    {236, Text, "Jun"},
    {237, Text, "Jul"},
    {238, Text, "Aug"},
    {239, Text, "Sep"},
    {240, Text, "Oct"},
    {241, Text, "Nov"},
    {242, Text, "Dec"},
    {251, Text, "Total"},
    {252, Text, "Avg"},
    // The root mean square deviation from 100 (from 0 when additive) of an
    // irregular table's year, and of its months in the summary row.
    {253, Text, "RMSD"},
    {254, Text, "Total"},
    // Footnotes: the total, mean and root mean square deviation from 100 (0
    // when additive) of every value; ratio tables have only the total.
    {260, Text, "Total: {0}"},
    {261, Text, "Total: {0}  Mean: {1}  RMS dev. from 100: {2}"},
    {262, Text, "Total: {0}  Mean: {1}  RMS dev. from 0: {2}"},
    {275, Text, "Total: {0}  Mean: {1}  RMS dev. from 100: {2}"},
    {280, Text, "Day          Weight"},
    {281, Text, "Prior Daily Weights"},
    {282, Text, "Moving Seasonality Ratio"},
    {283, Text, "Average Irregular Change (I)"},
    {284, Text, "Average Seasonal Change (S)"},
    {285, Text, "Moving Seasonality Ratio (I/S)"},
    {286, Text,
     "Period {0} has fewer than two values in D9; its average changes and their ratio are left "
     "blank."},
    {300, Text, ""},
    {316, Text, "Adjusted Prior Daily Weights"},
    {317, Text, "Day"},
    {318, Text, "Weight"},
    {320, Text, "Average Percent Change without Sign over the Indicated Span"},
    {321, Text, "Average Differences without Sign over the Indicated Span"},
    {322, Text, "Relative Contributions of the Components to the Variance of the Original Series"},
    {323, Text, "Average Duration of Run"},
    {324, Text, "I/C Ratio for the Indicated Span"},
    {325, Text, "Months for cyclical dominance (MCD): {0}"},
    {326, Text, "Quarters for cyclical dominance (QCD): {0}"},
    {327, Text, "Average Percent Change with Sign and Standard Deviation over the Indicated Span"},
    {328, Text, "Average Differences with Sign and Standard Deviation over the Indicated Span"},
    {329, Text, "The trend-cycle does not change over span {0}; its I/C ratio is left blank."},
    {330, Text,
     "The original series does not change over span {0}; its ratio of the components' variance "
     "to the original's is left blank."},
    {346, Text, "the periods of the other frequency"},
    {350, Text, "Between Months"},
    {351, Text, "Between Years"},
    {352, Text, "Error"},
    {353, Text, "Probability of a larger F value by chance: {0:.4f}."},
    {354, Text, "Between Quarters"},
    {355, Text, "Kruskal-Wallis Test for Stable Seasonality"},
    {356, Text, "Kruskal-Wallis statistic"},
    {357, Text, "Probability of a larger statistic by chance"},
    {383, Text, "Probability of a larger F value by chance: below 0.0001."},
    {391, Text, "Residual"},
    {392, Text, "Total"},
    {453, Text, "Ratios of Annual Totals (Original to Seasonally Adjusted, in Percent)"},
    {490, Text, "QUARTERLY"},
    {491, Text, "MONTHLY"},
    {542, Warning, "MAPECR={0} is outside {1} to {2}; {3} is used."},
    {543, Warning, "CHICR={0} is outside {1} to {2}; {3} is used."},
    {544, Warning, "OVDIFCR={0} is outside {1} to {2}; {3} is used."},
    {550, Text, "Variable name"},
    {551, Text, "Table"},
    {554, Text, "Source"},
    {555, Text, "Combined weight"},
    {556, Text, "Prior weight"},
    {557, Text, "Regression coefficient"},
    {558, Text, "Standard error"},
    {559, Text, "T statistic for combined weight"},
    {560, Text, "T statistic for coefficient"},
    {561, Text, "Probability of T1"},
    {562, Text, "Probability of T2"},
    {563, Text, "Sum of squares"},
    {564, Text, "Degrees of freedom"},
    {565, Text, "Mean square"},
    {566, Text, "F value"},
    {567, Text, "Probability of F"},
    {568, Warning, "OUTTDR= has no rows with TDREGR=NONE; use TDREGR=PRINT, ADJUST or TEST."},
    {620, Text, "Trading day factors"},
    {654, Text, "The X11 Procedure"},
    {655, Text, "X-11 Seasonal Adjustment Program"},
    {656, Text, "Seasonal adjustment by the X-11 method"},
    {657, Text, ""},
    {669, Text, "PRINTOUT=STANDARD"},
    {670, Text, "PRINTOUT=LONG"},
    {671, Text, "PRINTOUT=FULL"},
    {672, Text, "PRINTOUT=NONE"},
    {673, Text, "Tables printed as selected by the TABLES statement"},
    {674, Text, "CHARTS=STANDARD"},
    {675, Text, "CHARTS=FULL"},
    {676, Text, "CHARTS=NONE"},
    {881, Text, "Variable {0}"},
});

// The texts of the combined test for identifiable seasonality, a set of
// their own (their numbers overlap the procedure's set).
constexpr std::array kMessages881 = std::to_array<Message>({
    {200, Text, "Combined Test for the Presence of Identifiable Seasonality"},
    {201, Text, "Identifiable seasonality"},
    {202, Text, "probably not present"},
    {203, Text, "not present"},
    {204, Text, "present"},
    {205, Text, "Stable seasonality F-test, probability"},
    {206, Text, "Moving seasonality F-test, probability"},
    {207, Text, "Kruskal-Wallis test, probability"},
    {208, Text, "T1 = 7 / stable F"},
    {209, Text, "T2 = 3 x moving F / stable F"},
    {211, Text, "T = (T1 + T2) / 2"},
    {212, Text, "Test"},
    {213, Text, "Value"},
});

template <std::size_t N>
constexpr bool sorted_unique(const std::array<Message, N>& messages) {
  for (std::size_t i = 1; i < messages.size(); ++i)
    if (messages[i - 1].number >= messages[i].number) return false;
  return true;
}
static_assert(sorted_unique(kMessages), "message numbers must be ascending and unique");
static_assert(sorted_unique(kMessages881), "message numbers must be ascending and unique");

const Message* find_in(std::span<const Message> messages, int number) noexcept {
  const auto it = std::lower_bound(messages.begin(), messages.end(), number,
                                   [](const Message& m, int n) { return m.number < n; });
  return it != messages.end() && it->number == number ? &*it : nullptr;
}

std::string format_message(const Message* m, int number, fmt::format_args args) {
  if (m == nullptr) return fmt::format("(message {} is missing from the catalogue)", number);
  try {
    return fmt::vformat(m->text, args);
  } catch (const fmt::format_error&) {
    return fmt::format("{} (message {}: arguments do not fit)", m->text, number);
  }
}

}  // namespace

std::vector<Message> message_catalogue() {
  std::vector<Message> all;
  for (const auto table : {std::span<const Message>(kMessages), report_messages(), arima_messages(), spans_messages()})
    all.insert(all.end(), table.begin(), table.end());
  std::sort(all.begin(), all.end(), [](const Message& a, const Message& b) { return a.number < b.number; });
  return all;
}

const Message* find_message(int number) noexcept {
  // The set is kept in one table per part of the system; numbers are unique
  // across the tables.
  for (const auto table : {std::span<const Message>(kMessages), report_messages(), arima_messages(), spans_messages()})
    if (const Message* m = find_in(table, number)) return m;
  return nullptr;
}

std::string message_vtext(int number, fmt::format_args args) {
  return format_message(find_message(number), number, args);
}

std::span<const Message> message_catalogue881() noexcept { return kMessages881; }

const Message* find_message881(int number) noexcept { return find_in(kMessages881, number); }

std::string message881_vtext(int number, fmt::format_args args) {
  return format_message(find_message881(number), number, args);
}

std::string_view severity_prefix(Severity s) noexcept {
  switch (s) {
    case Severity::Note:
      return "NOTE: ";
    case Severity::Warning:
      return "WARNING: ";
    case Severity::Error:
      return "ERROR: ";
    case Severity::Text:
      break;
  }
  return "";
}

}  // namespace x11sa
