// Date services: day counts from 1960-01-01 (day 0), interval arithmetic on
// months and quarters, and the formats and informats the procedure uses.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace x11sa {

inline constexpr double kMinDate = -138061.0;  // 1582-01-01
inline constexpr double kMaxDate = 6589335.0;  // late in December of the year 20000

// True when `d` is a present value within [kMinDate, kMaxDate].
[[nodiscard]] bool date_in_range(double d) noexcept;

// Day count of month/day/year (Gregorian calendar); missing when the day does
// not exist or the result lies outside the valid range.
[[nodiscard]] double date_from_mdy(int month, int day, int year) noexcept;

struct CivilDate {
  int year;
  int month;  // 1..12
  int day;    // 1..31
};
// Calendar date of a day count; nullopt for a missing or out-of-range value.
[[nodiscard]] std::optional<CivilDate> civil_date_of(double date) noexcept;
// Month (1..12), quarter (1..4) and year of a date; 0 for a missing or out-of-range date.
[[nodiscard]] int month_of_date(double date) noexcept;
[[nodiscard]] int quarter_of_date(double date) noexcept;
[[nodiscard]] int year_of_date(double date) noexcept;

// Number of interval boundaries crossed from `from` to `to` (negative when
// `to` is earlier), not the number of whole intervals between them.
// Intervals: "MONTH", "QTR", "YEAR", "WEEK", "DAY", any case, blank-padded or
// not. Missing when an argument is missing, out of range, or the interval is
// unknown.
[[nodiscard]] double interval_boundaries_crossed(std::string_view interval, double from, double to) noexcept;
// First day of the interval `n` intervals after (before, for negative n) the
// one holding `date`; n = 0 gives the start of that interval (weeks start on
// Sunday). Missing as for interval_boundaries_crossed, or when the result is
// out of range.
[[nodiscard]] double shifted_interval_start(std::string_view interval, double date, long n) noexcept;

// Formats. MONYY5 "JAN90", MONYY7 "JAN1990"; YYQ6 "1990Q1" (YYQ4 "90Q1");
// YYQC "1990:1"; ISO "1990-01-15". A missing date formats as ".".
[[nodiscard]] std::string format_monyy(double date, int width = 5);
[[nodiscard]] std::string format_yyq(double date, int width = 6);
[[nodiscard]] std::string format_yyqc(double date);
[[nodiscard]] std::string format_iso_date(double date);
// Appends the ISO form of a usable date to `out` (nothing for an unusable one).
void append_iso_date(std::string& out, double date);

// Informats; nullopt when the text is not a valid value. Case and surrounding
// blanks are ignored. Two-digit years 50..99 are 1950..1999, 00..49 are 2000..2049.
// MONYY: "JAN90", "JAN1990" -> first day of the month.
[[nodiscard]] std::optional<double> informat_monyy(std::string_view text);
// YYQ: "1990Q1", "90Q1", "1990q1" -> first day of the quarter.
[[nodiscard]] std::optional<double> informat_yyq(std::string_view text);
// ISO "YYYY-MM-DD" or "YYYY-MM" (the first day); nullopt otherwise. Years
// 0000..9999 of the proleptic Gregorian calendar are accepted even where the
// result lies outside the valid range, so that callers can report that.
[[nodiscard]] std::optional<double> parse_iso_date(std::string_view text) noexcept;

// A date cell of a data set in any of the forms spreadsheets, pandas and R
// write; letters in any case, blanks around it ignored:
//   1990-01-31                      the day
//   1990-01                         the first day of the month
//   1990-01-31T00:00:00             a timestamp at midnight: 'T' or a blank
//                                   before the time, seconds and a fraction
//                                   optional, then optionally Z or an offset
//                                   such as +00:00 (the date is read as written)
//   1990Q1, 1990-Q1, 1990 Q1        the first day of the quarter
//   1990M01, 1990M1, 1990-M01       the first day of the month
//   Jan 1990, Jan-1990, Jan1990,    the first day of the month
//   January 1990
// Years have four digits and are taken as parse_iso_date() takes them.
[[nodiscard]] std::optional<double> parse_date_text(std::string_view text) noexcept;
// Why `text` is not a date of those forms, as a clause for a message
// ("there is no quarter 5"); empty when it is one.
[[nodiscard]] std::string date_text_problem(std::string_view text);

}  // namespace x11sa
