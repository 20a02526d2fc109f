#include "host/dates.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>

#include <fmt/format.h>

#include "x11sa/missing.h"

namespace x11sa {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (y, m 1..12, d 1..31).
constexpr long days_from_civil(long y, int m, int d) noexcept {
  y -= m <= 2 ? 1 : 0;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long mp = (m + 9) % 12;
  const long doy = (153 * mp + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

constexpr CivilDate civil_from_days(long z) noexcept {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long y = yoe + era * 400;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return CivilDate{static_cast<int>(y + (m <= 2 ? 1 : 0)), m, d};
}

constexpr long kEpochShift = 3653;  // days from 1960-01-01 to 1970-01-01
static_assert(days_from_civil(1960, 1, 1) + kEpochShift == 0);
static_assert(days_from_civil(1582, 1, 1) + kEpochShift == -138061);

constexpr bool is_leap(long y) noexcept { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

constexpr int days_in_month(long y, int m) noexcept {
  constexpr std::array<int, 12> len = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : len[static_cast<std::size_t>(m - 1)];
}

constexpr std::array<const char*, 12> kMonthNames = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                     "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

enum class Interval { Day, Week, Month, Qtr, Year, Unknown };

Interval parse_interval(std::string_view name) noexcept {
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  auto eq = [&](std::string_view word) {
    if (name.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(name[i])) != word[i]) return false;
    return true;
  };
  if (eq("MONTH")) return Interval::Month;
  if (eq("QTR")) return Interval::Qtr;
  if (eq("YEAR")) return Interval::Year;
  if (eq("WEEK")) return Interval::Week;
  if (eq("DAY")) return Interval::Day;
  return Interval::Unknown;
}

long floor_div(long a, long b) noexcept { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Whole day count of a usable date, or nullopt.
std::optional<long> day_count(double date) noexcept {
  if (!date_in_range(date)) return std::nullopt;
  return static_cast<long>(std::floor(date));
}

// Two-digit years: 50..99 are the 1900s, 00..49 the 2000s.
int expand_year(int yy, std::size_t digits) noexcept {
  if (digits > 2) return yy;
  return yy >= 50 ? 1900 + yy : 2000 + yy;
}

std::string_view trim(std::string_view s) noexcept {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Parses all of `s` as an unsigned decimal integer of 1..5 digits.
std::optional<int> parse_digits(std::string_view s) noexcept {
  if (s.empty() || s.size() > 5) return std::nullopt;
  int v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') return std::nullopt;
    v = v * 10 + (ch - '0');
  }
  return v;
}

}  // namespace

bool date_in_range(double d) noexcept { return !std::isnan(d) && d >= kMinDate && d <= kMaxDate; }

double date_from_mdy(int month, int day, int year) noexcept {
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return kMissing;
  const double v = static_cast<double>(days_from_civil(year, month, day) + kEpochShift);
  return date_in_range(v) ? v : kMissing;
}

std::optional<CivilDate> civil_date_of(double date) noexcept {
  const auto days = day_count(date);
  if (!days) return std::nullopt;
  return civil_from_days(*days - kEpochShift);
}

int month_of_date(double date) noexcept {
  const auto c = civil_date_of(date);
  return c ? c->month : 0;
}

int quarter_of_date(double date) noexcept {
  const auto c = civil_date_of(date);
  return c ? (c->month + 2) / 3 : 0;
}

int year_of_date(double date) noexcept {
  const auto c = civil_date_of(date);
  return c ? c->year : 0;
}

double interval_boundaries_crossed(std::string_view interval, double from, double to) noexcept {
  const auto a = day_count(from);
  const auto b = day_count(to);
  const Interval iv = parse_interval(interval);
  if (!a || !b || iv == Interval::Unknown) return kMissing;
  const CivilDate ca = civil_from_days(*a - kEpochShift);
  const CivilDate cb = civil_from_days(*b - kEpochShift);
  switch (iv) {
    case Interval::Day:
      return static_cast<double>(*b - *a);
    case Interval::Week:
      // Weeks start on Sunday; day 0 is a Friday, so day -5 is a Sunday.
      return static_cast<double>(floor_div(*b + 5, 7) - floor_div(*a + 5, 7));
    case Interval::Month:
      return static_cast<double>((cb.month - ca.month) + 12L * (cb.year - ca.year));
    case Interval::Qtr:
      return static_cast<double>(((cb.month + 2) / 3 - (ca.month + 2) / 3) +
                                 4L * (cb.year - ca.year));
    case Interval::Year:
      return static_cast<double>(cb.year - ca.year);
    case Interval::Unknown:
      break;
  }
  return kMissing;
}

double shifted_interval_start(std::string_view interval, double date, long n) noexcept {
  const auto a = day_count(date);
  const Interval iv = parse_interval(interval);
  if (!a || iv == Interval::Unknown) return kMissing;
  // Even in days, a step longer than the whole range leaves it; refusing such
  // steps here also keeps the arithmetic below from overflowing.
  constexpr auto kRangeDays = static_cast<long>(kMaxDate - kMinDate);
  if (n > kRangeDays || n < -kRangeDays) return kMissing;
  const CivilDate c = civil_from_days(*a - kEpochShift);
  long days = 0;
  switch (iv) {
    case Interval::Day:
      days = *a + n;
      break;
    case Interval::Week:
      days = (floor_div(*a + 5, 7) + n) * 7 - 5;
      break;
    case Interval::Month: {
      const long t = 12L * c.year + (c.month - 1) + n;
      days = days_from_civil(floor_div(t, 12), static_cast<int>(t - 12 * floor_div(t, 12)) + 1, 1) +
             kEpochShift;
      break;
    }
    case Interval::Qtr: {
      const long t = 4L * c.year + (c.month - 1) / 3 + n;
      const long q = t - 4 * floor_div(t, 4);
      days = days_from_civil(floor_div(t, 4), static_cast<int>(3 * q + 1), 1) + kEpochShift;
      break;
    }
    case Interval::Year:
      days = days_from_civil(c.year + n, 1, 1) + kEpochShift;
      break;
    case Interval::Unknown:
      return kMissing;
  }
  const double v = static_cast<double>(days);
  return date_in_range(v) ? v : kMissing;
}

std::string format_monyy(double date, int width) {
  const auto c = civil_date_of(date);
  if (!c) return ".";
  if (width >= 7) return fmt::format("{}{:04d}", kMonthNames[static_cast<std::size_t>(c->month - 1)], c->year);
  return fmt::format("{}{:02d}", kMonthNames[static_cast<std::size_t>(c->month - 1)], c->year % 100);
}

std::string format_yyq(double date, int width) {
  const auto c = civil_date_of(date);
  if (!c) return ".";
  const int q = (c->month + 2) / 3;
  if (width < 6) return fmt::format("{:02d}Q{}", c->year % 100, q);
  return fmt::format("{}Q{}", c->year, q);
}

std::string format_yyqc(double date) {
  const auto c = civil_date_of(date);
  if (!c) return ".";
  return fmt::format("{}:{}", c->year, (c->month + 2) / 3);
}

std::string format_iso_date(double date) {
  const auto c = civil_date_of(date);
  if (!c) return ".";
  return fmt::format("{:04d}-{:02d}-{:02d}", c->year, c->month, c->day);
}

void append_iso_date(std::string& out, double date) {
  const auto c = civil_date_of(date);
  if (!c) return;
  if (c->year < 0 || c->year > 9999) {
    out += format_iso_date(date);
    return;
  }
  char buf[10];
  const auto put = [&](int at, int v, int width) {
    for (int i = width - 1; i >= 0; --i, v /= 10) buf[at + i] = static_cast<char>('0' + v % 10);
  };
  put(0, c->year, 4);
  buf[4] = '-';
  put(5, c->month, 2);
  buf[7] = '-';
  put(8, c->day, 2);
  out.append(buf, sizeof buf);
}

std::optional<double> informat_monyy(std::string_view text) {
  const std::string_view s = trim(text);
  if (s.size() != 5 && s.size() != 7) return std::nullopt;
  int month = 0;
  for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
    bool same = true;
    for (std::size_t i = 0; i < 3; ++i)
      if (std::toupper(static_cast<unsigned char>(s[i])) != kMonthNames[m][i]) same = false;
    if (same) month = static_cast<int>(m) + 1;
  }
  const auto yy = parse_digits(s.substr(3));
  if (month == 0 || !yy) return std::nullopt;
  const double v = date_from_mdy(month, 1, expand_year(*yy, s.size() - 3));
  if (is_missing(v)) return std::nullopt;
  return v;
}

std::optional<double> informat_yyq(std::string_view text) {
  const std::string_view s = trim(text);
  const std::size_t qpos = s.find_first_of("Qq");
  if (qpos == std::string_view::npos || qpos + 2 != s.size() || (qpos != 2 && qpos != 4))
    return std::nullopt;
  const auto yy = parse_digits(s.substr(0, qpos));
  const char qc = s[qpos + 1];
  if (!yy || qc < '1' || qc > '4') return std::nullopt;
  const double v = date_from_mdy(3 * (qc - '1') + 1, 1, expand_year(*yy, qpos));
  if (is_missing(v)) return std::nullopt;
  return v;
}

std::optional<double> parse_iso_date(std::string_view text) noexcept {
  // Reading data sets calls this for every date cell: fixed positions, no
  // general parsing.
  const std::size_t n = text.size();
  if ((n != 7 && n != 10) || text[4] != '-' || (n == 10 && text[7] != '-')) return std::nullopt;
  auto digit = [&](std::size_t i) { return static_cast<unsigned>(text[i] - '0'); };
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u})
    if (digit(i) > 9) return std::nullopt;
  const int y = static_cast<int>(digit(0) * 1000 + digit(1) * 100 + digit(2) * 10 + digit(3));
  const int m = static_cast<int>(digit(5) * 10 + digit(6));
  int d = 1;
  if (n == 10) {
    if (digit(8) > 9 || digit(9) > 9) return std::nullopt;
    d = static_cast<int>(digit(8) * 10 + digit(9));
  }
  if (m < 1 || m > 12 || d < 1 || d > days_in_month(y, m)) return std::nullopt;
  return static_cast<double>(days_from_civil(y, m, d) + kEpochShift);
}

}  // namespace x11sa
