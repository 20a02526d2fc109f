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

// ---------------------------------------------------------------------------
// Date cells of data sets, in the forms of parse_date_text().

enum class DateFault { None, NotADate, NoSuchMonth, NoSuchQuarter, NoSuchDay, TwoDigitYear, TimeOfDay, Slashes };

struct DateScan {
  double date = 0.0;
  DateFault fault = DateFault::NotADate;
  int year = 0;
  int month = 0;
  int number = 0;         // the month, quarter or day a fault names
  std::string_view time;  // the time of day of a TimeOfDay fault
};

constexpr std::array<const char*, 12> kFullMonthNames = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",
                                                         "MAY",     "JUNE",     "JULY",      "AUGUST",
                                                         "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

bool is_ascii_letter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool all_digits(std::string_view s) noexcept {
  if (s.empty()) return false;
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Value of 1 to 4 digits (checked by the caller).
int digits_value(std::string_view s) noexcept {
  int v = 0;
  for (const char c : s) v = v * 10 + (c - '0');
  return v;
}

bool ieq(std::string_view a, std::string_view upper) noexcept {
  if (a.size() != upper.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != upper[i]) return false;
  return true;
}

DateScan fault(DateFault f, int year = 0, int month = 0, int number = 0) noexcept {
  DateScan d;
  d.fault = f;
  d.year = year;
  d.month = month;
  d.number = number;
  return d;
}

DateScan day_date(int year, int month, int day) noexcept {
  if (month < 1 || month > 12) return fault(DateFault::NoSuchMonth, year, month, month);
  if (day < 1 || day > days_in_month(year, month)) return fault(DateFault::NoSuchDay, year, month, day);
  DateScan d;
  d.fault = DateFault::None;
  d.date = static_cast<double>(days_from_civil(year, month, day) + kEpochShift);
  return d;
}

DateScan quarter_date(int year, int quarter) noexcept {
  if (quarter < 1 || quarter > 4) return fault(DateFault::NoSuchQuarter, year, 0, quarter);
  return day_date(year, 3 * quarter - 2, 1);
}

// The time of a timestamp after its date: 'T' or a blank, HH:MM, optionally
// :SS and a fraction, then optionally Z or an offset (+HH:MM, +HHMM, +HH).
// NotADate when it has another form, TimeOfDay when it is not midnight.
DateScan timestamp_time(DateScan date, std::string_view t) noexcept {
  if (t.size() < 6 || (t[0] != 'T' && t[0] != 't' && t[0] != ' ')) return fault(DateFault::NotADate);
  t.remove_prefix(1);
  std::size_t end = 5;
  if (!all_digits(t.substr(0, 2)) || t[2] != ':' || !all_digits(t.substr(3, 2))) return fault(DateFault::NotADate);
  if (end < t.size() && t[end] == ':') {
    if (!all_digits(t.substr(end + 1, 2)) || end + 3 > t.size()) return fault(DateFault::NotADate);
    end += 3;
    if (end < t.size() && t[end] == '.') {
      const std::size_t from = ++end;
      while (end < t.size() && t[end] >= '0' && t[end] <= '9') ++end;
      if (end == from) return fault(DateFault::NotADate);
    }
  }
  const std::string_view time = t.substr(0, end);
  std::string_view zone = t.substr(end);
  if (zone.size() == 1 && (zone[0] == 'Z' || zone[0] == 'z')) {
    zone = {};
  } else if (!zone.empty()) {
    if (zone[0] != '+' && zone[0] != '-') return fault(DateFault::NotADate);
    zone.remove_prefix(1);
    const bool ok = (zone.size() == 2 && all_digits(zone)) || (zone.size() == 4 && all_digits(zone)) ||
                    (zone.size() == 5 && all_digits(zone.substr(0, 2)) && zone[2] == ':' && all_digits(zone.substr(3)));
    if (!ok) return fault(DateFault::NotADate);
  }
  if (date.fault != DateFault::None) return date;
  if (time.find_first_not_of("0:.") != std::string_view::npos) {
    DateScan d = fault(DateFault::TimeOfDay);
    d.time = time;
    return d;
  }
  return date;
}

DateScan scan_date_text(std::string_view s) noexcept {
  s = trim(s);
  const std::size_t n = s.size();
  // 01/02/1990 and the like: which number is the month is anyone's guess.
  if (s.find('/') != std::string_view::npos && s.find_first_not_of("0123456789/") == std::string_view::npos &&
      s.front() != '/' && s.back() != '/')
    return fault(DateFault::Slashes);
  if (n >= 6 && all_digits(s.substr(0, 4))) {
    const int year = digits_value(s.substr(0, 4));
    std::string_view rest = s.substr(4);
    // ISO: 1990-01, 1990-01-31 and timestamps.
    if (rest[0] == '-' && rest.size() >= 3 && all_digits(rest.substr(1, 2))) {
      const int month = digits_value(rest.substr(1, 2));
      if (rest.size() == 3) return day_date(year, month, 1);
      if (rest.size() >= 6 && rest[3] == '-' && all_digits(rest.substr(4, 2))) {
        const DateScan date = day_date(year, month, digits_value(rest.substr(4, 2)));
        return rest.size() == 6 ? date : timestamp_time(date, rest.substr(6));
      }
      return fault(DateFault::NotADate);
    }
    // 1990Q1, 1990-Q1, 1990 Q1; 1990M01, 1990M1, 1990-M01.
    if (rest[0] == '-' || rest[0] == ' ') rest.remove_prefix(1);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
    const std::string_view number = rest.substr(1);
    if ((letter == 'Q' || letter == 'M') && number.size() <= 2 && all_digits(number)) {
      const int k = digits_value(number);
      return letter == 'Q' ? quarter_date(year, k) : day_date(year, k, 1);
    }
    return fault(DateFault::NotADate);
  }
  // Jan 1990, Jan-1990, Jan1990, January 1990.
  std::size_t letters = 0;
  while (letters < n && is_ascii_letter(s[letters])) ++letters;
  if (letters >= 3) {
    const std::string_view word = s.substr(0, letters);
    int month = 0;
    for (std::size_t m = 0; m < 12; ++m)
      if (ieq(word, kMonthNames[m]) || ieq(word, kFullMonthNames[m])) month = static_cast<int>(m) + 1;
    std::string_view year = s.substr(letters);
    if (!year.empty() && (year[0] == ' ' || year[0] == '-')) year.remove_prefix(1);
    if (month == 0 || !all_digits(year)) return fault(DateFault::NotADate);
    if (year.size() == 2) return fault(DateFault::TwoDigitYear);
    if (year.size() != 4) return fault(DateFault::NotADate);
    return day_date(digits_value(year), month, 1);
  }
  return fault(DateFault::NotADate);
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

std::optional<double> parse_date_text(std::string_view text) noexcept {
  // The ISO forms, by far the most common, at their fixed positions first.
  if (const auto iso = parse_iso_date(text)) return iso;
  // Data sets ask this of every text cell, most of them no date at all:
  // each form has 6 characters at least and starts with a digit or a letter.
  std::size_t first = 0;
  while (first < text.size() && (text[first] == ' ' || text[first] == '\t')) ++first;
  if (text.size() - first < 6 || !(is_ascii_letter(text[first]) || (text[first] >= '0' && text[first] <= '9')))
    return std::nullopt;
  const DateScan d = scan_date_text(text);
  if (d.fault != DateFault::None) return std::nullopt;
  return d.date;
}

std::string date_text_problem(std::string_view text) {
  const DateScan d = scan_date_text(text);
  switch (d.fault) {
    case DateFault::None:
      return {};
    case DateFault::NotADate:
      break;
    case DateFault::NoSuchMonth:
      return fmt::format("there is no month {}", d.number);
    case DateFault::NoSuchQuarter:
      return fmt::format("there is no quarter {}", d.number);
    case DateFault::NoSuchDay: {
      std::string month = kFullMonthNames[static_cast<std::size_t>(d.month - 1)];
      for (std::size_t i = 1; i < month.size(); ++i) month[i] = static_cast<char>(month[i] - 'A' + 'a');
      return fmt::format("{} {} has no day {}", month, d.year, d.number);
    }
    case DateFault::TwoDigitYear:
      return "its year has two digits; write the year in full (Jan 1990)";
    case DateFault::TimeOfDay:
      return fmt::format("it has the time of day {}; a timestamp is read as a date only at midnight (00:00:00)",
                         d.time);
    case DateFault::Slashes:
      return "dates with slashes are not read, since 01/02/1990 could be in January or in February; write "
             "them as 1990-01-31";
  }
  return "it is not in a form dates are read in, such as 1990-01-31, 1990-01, 1990Q1, 1990M01 or Jan 1990";
}

}  // namespace x11sa
