// The numbers of the catalogue's messages and texts, named by what they say.
// Callers pass these names to Host::msg, msgtext, msgtext881 and msgtext499;
// the texts themselves stay in the catalogue (host/messages.cpp and its
// parts). Table titles are listed by table in records/table_catalogue.cpp.
#pragma once

// Lines of the log: notes, warnings and errors of the procedure's set.
namespace x11sa::message_id {

// Statements and options.
inline constexpr int kStatementRepeated = 1;
inline constexpr int kNoVariableToAdjust = 2;
inline constexpr int kNoDateNorStart = 3;
inline constexpr int kTrendmaNotMonthly = 5;
inline constexpr int kUnknownSeasonalCurve = 6;
inline constexpr int kMoreOutputNamesThanVariables = 7;
inline constexpr int kSigmaLimitOutOfRange = 8;
inline constexpr int kNoFrequencyStatement = 9;
inline constexpr int kPriorWeightsAdditive = 10;
inline constexpr int kIdWithoutOut = 11;
inline constexpr int kCurvesOfOtherFrequency = 12;
inline constexpr int kPriorWeightsQuarterly = 13;
inline constexpr int kMonthlyOnlyOutputTable = 14;
inline constexpr int kZeroweightBelowFullweight = 15;
inline constexpr int kStartAfterEnd = 16;
inline constexpr int kTdcomputeWithoutRegression = 30;
inline constexpr int kYearOutOfRange = 32;
inline constexpr int kNotAMonth = 34;
inline constexpr int kNotAQuarter = 35;
inline constexpr int kPriorWeightsAllZero = 36;
inline constexpr int kTrendmaNotQuarterly = 40;
inline constexpr int kTransformWithoutModel = 41;
inline constexpr int kPtrendmaInvalid = 45;
inline constexpr int kNlagIgnoredByModelChoice = 59;
inline constexpr int kMaxiterBelowOne = 62;
inline constexpr int kPowerNotPositive = 63;
inline constexpr int kSpansWithArima = 67;
inline constexpr int kModelWithoutTerms = 70;
inline constexpr int kLongForecast = 190;
inline constexpr int kLongBackcast = 191;
inline constexpr int kLongForecastQuarterly = 192;
inline constexpr int kLongBackcastQuarterly = 193;
inline constexpr int kOuttdrQuarterly = 205;
inline constexpr int kOutspanWithoutSspan = 209;
inline constexpr int kMapecrOutOfRange = 542;
inline constexpr int kChicrOutOfRange = 543;
inline constexpr int kOvdifcrOutOfRange = 544;
inline constexpr int kOuttdrWithoutRegression = 568;

// The data of a BY group and the output data sets.
inline constexpr int kPriorFactorNotPositive = 18;
inline constexpr int kTooFewObservations = 20;
inline constexpr int kBadDate = 21;
inline constexpr int kLeadingMissing = 22;
inline constexpr int kDatesNotConsecutive = 23;
inline constexpr int kValuesAfterEnd = 24;
inline constexpr int kValueTooLarge = 26;
inline constexpr int kValueNotPositive = 27;
inline constexpr int kNoTableVariables = 28;
inline constexpr int kTdcomputeTooLate = 29;
inline constexpr int kMissingPriorFactors = 31;
inline constexpr int kGroupTooLarge = 33;
inline constexpr int kNothingAdjustable = 37;
inline constexpr int kMoreDatesNotConsecutive = 65;
inline constexpr int kNoObservations = 66;
inline constexpr int kUtilityWriteFailed = 95;

// The ARIMA extension and its automatic model choice.
inline constexpr int kTooShortForModelChoice = 44;
// The estimation failures follow the engine's return codes from 1 on.
inline constexpr int kNotEstimatedInvalidArgument = 46;
inline constexpr int kConvergeNotPositive = 68;
inline constexpr int kConvergeTooSmall = 69;
inline constexpr int kForecastInvalidArgument = 188;
inline constexpr int kForecastNoMemory = 189;
inline constexpr int kForecastSingular = 215;
inline constexpr int kForecastUnstable = 216;
inline constexpr int kForecastOutOfRange = 218;
inline constexpr int kForecastNotTransformable = 220;
inline constexpr int kNoModelAccepted = 540;
inline constexpr int kModelFailed = 541;
inline constexpr int kBackcastsFailed = 545;
// The five candidate models of a multiplicative run, then those of an
// additive run.
inline constexpr int kCandidateModel = 569;

[[nodiscard]] constexpr int candidate_model(int index, bool additive) noexcept {
  return kCandidateModel + index + (additive ? 5 : 0);
}

// The sliding spans.
inline constexpr int kSpansTooShort = 219;

}  // namespace x11sa::message_id

// Titles, headings, labels and report lines of the procedure's set.
namespace x11sa::text_id {

// The preface and the page titles.
inline constexpr int kPeriodCoveredQuarters = 61;
inline constexpr int kSeriesName = 80;
inline constexpr int kPeriodCoveredMonths = 81;
inline constexpr int kAdditiveRun = 82;
inline constexpr int kMultiplicativeRun = 83;
inline constexpr int kSigmaLimits = 90;
inline constexpr int kTradingDayExclusion = 91;
inline constexpr int kCurvesByPeriod = 92;
inline constexpr int kCurvesHeading = 93;
inline constexpr int kSeriesNameAndLabel = 96;
inline constexpr int kVariablePageTitle = 97;
inline constexpr int kVariablePageTitleWithLabel = 98;
inline constexpr int kSeriesLabel = 223;
inline constexpr int kBlankLine = 300;
inline constexpr int kPrintoutStandard = 669;
inline constexpr int kPrintoutLong = 670;
inline constexpr int kPrintoutFull = 671;
inline constexpr int kPrintoutNone = 672;
inline constexpr int kTablesStatement = 673;
inline constexpr int kChartsStandard = 674;
inline constexpr int kChartsFull = 675;
inline constexpr int kChartsNone = 676;
inline constexpr int kVariableGroup = 881;
// The centred heading lines of the preface, then its description.
inline constexpr int kPrefaceHeadingFirst = 654;
inline constexpr int kPrefaceHeadingLast = 657;
inline constexpr int kPrefaceDescriptionFirst = 658;
inline constexpr int kPrefaceDescriptionLast = 668;

// "1st" to "4th" quarter and "Jan" to "Dec", in order.
inline constexpr int kFirstQuarter = 201;
inline constexpr int kJanuary = 231;

[[nodiscard]] constexpr int quarter_ordinal(int quarter_index) noexcept { return kFirstQuarter + quarter_index; }
[[nodiscard]] constexpr int month_abbreviation(int month_index) noexcept { return kJanuary + month_index; }

// Words inserted into log messages.
inline constexpr int kMacurves = 99;
inline constexpr int kOtherFrequencyPeriods = 346;
inline constexpr int kQuarterlyStatement = 490;
inline constexpr int kMonthlyStatement = 491;

// Output groups.
inline constexpr int kPriorAdjustments = 71;
inline constexpr int kPreliminaryEstimates = 72;
inline constexpr int kIntermediateEstimates = 73;
inline constexpr int kFinalEstimates = 74;
inline constexpr int kAdjustmentSeries = 75;
inline constexpr int kSummaryMeasures = 76;
inline constexpr int kCharts = 77;
inline constexpr int kArimaExtension = 78;
inline constexpr int kSlidingSpans = 186;

// The month-by-year tables: titles chosen at run time, the Stat headings and
// the footnote.
inline constexpr int kUnadjustedOriginalSeries = 159;
inline constexpr int kLengthOfMonthFactors = 167;
inline constexpr int kYear = 200;
inline constexpr int kStatTotal = 251;
inline constexpr int kStatMean = 252;
inline constexpr int kStatDeviation = 253;
inline constexpr int kStatWeightsTotal = 254;
inline constexpr int kRatioTableSummary = 260;
inline constexpr int kTableSummary = 261;
inline constexpr int kAdditiveTableSummary = 262;

// Trading day.
inline constexpr int kPreliminaryTradingDayRegression = 117;
inline constexpr int kFinalTradingDayRegression = 133;
inline constexpr int kNoTradingDayRegression = 158;
inline constexpr int kDayAndWeight = 280;
inline constexpr int kPriorDailyWeights = 281;
inline constexpr int kDay = 317;
inline constexpr int kWeight = 318;

// Seasonality tests and D9A.
inline constexpr int kStableSeasonalityTest = 184;
inline constexpr int kMovingSeasonalityTest = 230;
inline constexpr int kBetweenMonths = 350;
inline constexpr int kBetweenYears = 351;
inline constexpr int kError = 352;
inline constexpr int kProbabilityOfF = 353;
inline constexpr int kBetweenQuarters = 354;
inline constexpr int kKruskalWallisTest = 355;
inline constexpr int kKruskalWallisStatistic = 356;
inline constexpr int kKruskalWallisProbability = 357;
inline constexpr int kProbabilityOfFBelowLimit = 383;
inline constexpr int kResidual = 391;
inline constexpr int kTotal = 392;
inline constexpr int kMovingSeasonalityRatio = 282;
inline constexpr int kAverageIrregularChange = 283;
inline constexpr int kAverageSeasonalChange = 284;
inline constexpr int kMovingSeasonalityRatioRow = 285;
inline constexpr int kTooFewD9Values = 286;

// E4 and F2.
inline constexpr int kAnnualTotalDifferences = 153;
inline constexpr int kAnnualTotalRatios = 453;
inline constexpr int kAveragePercentChange = 320;
inline constexpr int kAverageDifference = 321;
inline constexpr int kRelativeContributions = 322;
inline constexpr int kAverageDurationOfRun = 323;
inline constexpr int kIcRatioBySpan = 324;
inline constexpr int kMonthsForCyclicalDominance = 325;
inline constexpr int kQuartersForCyclicalDominance = 326;
inline constexpr int kAveragePercentChangeWithSign = 327;
inline constexpr int kAverageDifferenceWithSign = 328;
inline constexpr int kConstantTrendOverSpan = 329;
inline constexpr int kConstantOriginalOverSpan = 330;

// Charts: titles and legend lines.
inline constexpr int kChartAdjustedAndTrend = 312;
inline constexpr int kChartSiByPeriod = 313;
inline constexpr int kChartSiInTimeOrder = 314;
inline constexpr int kChartIrregular = 315;
inline constexpr int kLegendAdjusted = 370;
inline constexpr int kLegendTrend = 371;
inline constexpr int kLegendAdjustedSpare = 372;
inline constexpr int kLegendSiRatios = 374;
inline constexpr int kLegendModifiedSi = 375;
inline constexpr int kLegendSeasonalFactors = 376;
inline constexpr int kLegendIrregular = 378;
inline constexpr int kLegendModifiedIrregular = 379;
inline constexpr int kLegendIrregularSpare = 380;
inline constexpr int kLegendOverlap = 381;

// The ARIMA reports. The criteria summaries and the choice name the five
// candidates of a multiplicative run, then those of an additive run.
inline constexpr int kProbabilityCriterion = 87;
inline constexpr int kUpperCriterion = 88;
inline constexpr int kLjungBoxLine = 500;
inline constexpr int kOverdifferencingLine = 501;
inline constexpr int kMapeLine = 502;
inline constexpr int kMapeLastYear = 503;
inline constexpr int kMapeNextToLastYear = 504;
inline constexpr int kMapeThirdToLastYear = 505;
inline constexpr int kCriteriaSummary = 507;
inline constexpr int kModelChosen = 517;
inline constexpr int kChoiceRule = 527;
inline constexpr int kConvergenceSummary = 530;
inline constexpr int kArimaModel = 531;
inline constexpr int kParameterEstimates = 532;
inline constexpr int kFitStatistics = 533;
inline constexpr int kResidualAutocorrelations = 534;

[[nodiscard]] constexpr int criteria_summary(int index, bool additive) noexcept {
  return kCriteriaSummary + index + (additive ? 5 : 0);
}
[[nodiscard]] constexpr int model_chosen(int index, bool additive) noexcept {
  return kModelChosen + index + (additive ? 5 : 0);
}

// Labels of the output data sets' variables.
inline constexpr int kVariableName = 550;
inline constexpr int kTable = 551;
inline constexpr int kSource = 554;
inline constexpr int kCombinedWeight = 555;
inline constexpr int kPriorWeight = 556;
inline constexpr int kRegressionCoefficient = 557;
inline constexpr int kStandardError = 558;
inline constexpr int kTCombinedWeight = 559;
inline constexpr int kTCoefficient = 560;
inline constexpr int kProbabilityT1 = 561;
inline constexpr int kProbabilityT2 = 562;
inline constexpr int kSumOfSquares = 563;
inline constexpr int kDegreesOfFreedom = 564;
inline constexpr int kMeanSquare = 565;
inline constexpr int kFValue = 566;
inline constexpr int kProbabilityF = 567;
inline constexpr int kTradingDayFactors = 620;

// The sliding spans reports.
inline constexpr int kFewerThanFourSpans = 187;
inline constexpr int kSpansNumberAndLength = 217;
inline constexpr int kSpanLength = 600;
inline constexpr int kSpanCount = 601;
inline constexpr int kMonths = 602;
inline constexpr int kQuarters = 603;
inline constexpr int kSpanDates = 604;
inline constexpr int kSpanSeasonalityTests = 605;
inline constexpr int kSpan = 606;
inline constexpr int kStableFValue = 607;
inline constexpr int kMovingFValue = 608;
inline constexpr int kIdentifiableSeasonality = 609;
inline constexpr int kSeasonalityPresent = 610;
inline constexpr int kSeasonalityProbablyNot = 611;
inline constexpr int kSeasonalityNotPresent = 612;
inline constexpr int kSpanMeans = 613;
inline constexpr int kMinMaxNote = 614;
inline constexpr int kMaxPercentDiffNote = 615;
inline constexpr int kMaxDiffNote = 616;
inline constexpr int kSpanRanges = 617;
inline constexpr int kAverageOfSpans = 618;
inline constexpr int kMonth = 619;
inline constexpr int kQuarter = 621;
inline constexpr int kSpreadsByPeriod = 622;
inline constexpr int kSpreadsByYear = 623;
inline constexpr int kSpanSeasonalFactors = 624;
inline constexpr int kSpanTradingDayFactors = 625;
inline constexpr int kSpanAdjustedSeries = 626;
inline constexpr int kMonthToMonthChanges = 627;
inline constexpr int kQuarterToQuarterChanges = 628;
inline constexpr int kYearToYearChanges = 629;
inline constexpr int kSpreadAboveCutoff = 630;
inline constexpr int kSignChanges = 631;
inline constexpr int kSignChangesAboveCutoff = 632;
inline constexpr int kTurningPoints = 633;
inline constexpr int kTurningPointsAboveCutoff = 634;
inline constexpr int kSpreadRanges = 635;
inline constexpr int kSpreadDistribution = 636;
inline constexpr int kDistributionArrows = 644;
inline constexpr int kSpanEstimates = 645;
inline constexpr int kSpanComparisons = 646;
inline constexpr int kSpanEstimateRange = 647;
inline constexpr int kSignChangeNote = 648;
inline constexpr int kTurningPointNote = 649;
inline constexpr int kExcessLevelNote = 650;

}  // namespace x11sa::text_id

// The texts of the combined seasonality test, set 881.
namespace x11sa::seasonality_text_id {

inline constexpr int kCombinedTest = 200;
inline constexpr int kIdentifiableSeasonality = 201;
inline constexpr int kProbablyNotPresent = 202;
inline constexpr int kNotPresent = 203;
inline constexpr int kPresent = 204;
inline constexpr int kStableProbability = 205;
inline constexpr int kMovingProbability = 206;
inline constexpr int kKruskalWallisProbability = 207;
inline constexpr int kT1 = 208;
inline constexpr int kT2 = 209;
inline constexpr int kT = 211;
inline constexpr int kTestHeading = 212;
inline constexpr int kValueHeading = 213;

}  // namespace x11sa::seasonality_text_id

// The ARIMA engine's own messages, set 499.
namespace x11sa::engine_message_id {

inline constexpr int kInvalidArgument = 1;
inline constexpr int kSumOfSquaresStalled = 145;

}  // namespace x11sa::engine_message_id

// The sets an engine message may come from.
namespace x11sa::message_set {

inline constexpr int kProcedure = 267;
inline constexpr int kEngine = 499;

}  // namespace x11sa::message_set
