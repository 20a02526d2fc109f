// Typed options of a seasonal adjustment: what the MONTHLY or QUARTERLY,
// MACURVES, PDWEIGHTS, ARIMA, SSPAN and TABLES statements say, with the
// statements' defaults. Ranges and cross-checks are those of the statements;
// check_options() reports a faulty value with the statements' words.
#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <vector>

#include "x11sa/tables.h"

namespace x11sa {

enum class Frequency { Monthly, Quarterly };

[[nodiscard]] constexpr int periods_per_year(Frequency f) noexcept { return f == Frequency::Monthly ? 12 : 4; }

// ADDITIVE: components in the units of the series instead of factors in percent.
enum class Mode { Multiplicative, Additive };

// TDREGR=: the trading-day regression is not run, printed only, applied, or
// applied when its F-test finds an effect.
enum class TradingDayRegression { None, Print, Adjust, Test };

// EXTREME=: the older or the newer rule for extreme irregular values.
enum class ExtremeRule { Old, New };

// MACURVES: the seasonal moving average of one month or quarter; Default
// leaves the choice to the method.
enum class SeasonalCurve { Default, ThreeTerm, ThreeByThree, ThreeByFive, ThreeByNine, Stable };

enum class ArimaMethod { Cls, Uls, Ml };

// MODEL=(P= DIF= Q= SP= SDIF= SQ= NOINT CENTER).
struct ArimaModel {
  int p = 0, dif = 0, q = 0;
  int sp = 0, sdif = 0, sq = 0;
  bool noint = false;
  bool center = false;
};

// TRANSFORM=LOG or TRANSFORM=(shift ** power).
struct ArimaTransform {
  enum class Kind { None, Log, Power };
  Kind kind = Kind::None;
  double shift = 0;
  double power = 1;
};

// The reports of the ARIMA and SSPAN statements: NOPRINT, the standard
// reports, or PRINTALL.
enum class ReportLevel { None, Standard, All };

struct ArimaOptions {
  std::optional<ArimaModel> model;  // none: the automatic choice among five models
  ArimaTransform transform;         // with a model only
  int backcast_years = 0;
  int forecast_years = 1;
  ArimaMethod method = ArimaMethod::Cls;
  int maxiter = 15;
  std::optional<int> nlag;  // none: 36 monthly, 12 quarterly
  double converge = 0.001;
  // Acceptance criteria of the automatic choice.
  double mape_criterion = 15.0;
  double chi_criterion = 0.05;
  double overdiff_criterion = 0.90;
};

struct SpansOptions {
  double cutoff = 3.0;     // percent (series units when additive) for D10 and D11
  double td_cutoff = 2.0;  // the same for C18
  // Read but without effect: the spans follow from the series.
  std::optional<long> length;
  std::optional<long> count;
};

// The method: everything that changes a computed number.
struct AdjustmentOptions {
  Frequency frequency = Frequency::Monthly;
  Mode mode = Mode::Multiplicative;
  bool summary = false;       // SUMMARY: the series is already adjusted
  bool trend_adjust = false;  // TRENDADJ
  std::optional<int> trendma;   // Henderson length; none: chosen from the I/C ratio
  std::optional<int> ptrendma;  // preliminary trend; none: 12 monthly, 4 quarterly
  double fullweight = 1.5;
  double zeroweight = 2.5;
  double exclude = 2.5;
  ExtremeRule extreme = ExtremeRule::Old;
  bool old_sigma = false;  // OLDSIGMA
  TradingDayRegression tdregr = TradingDayRegression::None;
  std::optional<int> tdcompute_year;
  std::optional<int> tdapply_year;
  bool length_of_month = false;  // LENGTH
  // PDWEIGHTS, Monday first.
  std::optional<std::array<double, 7>> prior_daily_weights;
  // MACURVES: the seasonal curve of each calendar month, January first.
  // Quarterly series take their seasonal filters from the method.
  std::array<SeasonalCurve, 12> curves{};
  std::optional<ArimaOptions> arima;
  std::optional<SpansOptions> spans;
  bool year_ahead = false;  // YRAHEADOUT: a year of seasonal factors after the series

  [[nodiscard]] int periods() const noexcept { return periods_per_year(frequency); }
  [[nodiscard]] bool additive() const noexcept { return mode == Mode::Additive; }
  [[nodiscard]] bool monthly() const noexcept { return frequency == Frequency::Monthly; }
};

// PRINTOUT=: SHORT prints as STANDARD, ALL as FULL.
enum class PrintLevel { None, Standard, Long, Full };
// CHARTS=: ALL draws as FULL.
enum class ChartLevel { None, Standard, Full };

// What is printed.
struct PrintOptions {
  bool noprint = false;  // NOPRINT: nothing at all
  PrintLevel printout = PrintLevel::Standard;
  ChartLevel charts = ChartLevel::Standard;
  std::optional<int> decimals;  // NDEC=; none: chosen per table
  // TABLES: the tables named, by their place in the list. After a TABLES
  // statement the statements set the PRINTOUT= and CHARTS= levels that were
  // not written to None: only the named tables print.
  std::bitset<kTableCount> tables;
  bool tables_given = false;
  ReportLevel arima = ReportLevel::Standard;
  bool arima_first_pass = false;  // PRINTFP
  ReportLevel spans = ReportLevel::Standard;
  int span_decimals = 2;  // SSPAN NDEC=
  int span_width = 12;    // SSPAN WIDTH=: read, without effect
  bool list_curves = false;  // the preface lists the MACURVES choices
};

// A problem of a set of options, in the words of the statements ("TRENDMA=
// must be 9, 13 or 23 for monthly series.").
struct OptionProblem {
  std::string text;
  // The exit level it raises, as in a step: up to 4 a warning (the options
  // are used, with the value the text names), above 4 an error (they cannot
  // be used).
  int exit_level = 0;
  [[nodiscard]] bool error() const noexcept { return exit_level > 4; }
};

// Every problem of a set of options, in the order a step reports them;
// none when the options can be used as they are.
[[nodiscard]] std::vector<OptionProblem> check_options(const AdjustmentOptions& options);

}  // namespace x11sa
