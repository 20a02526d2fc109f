// The listing's own number formatter must give exactly the text of the
// general formatter it replaces on the hot path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <fmt/format.h>

#include "host/ods.h"
#include "x11sa/missing.h"

namespace x11sa {
namespace {

std::string fixed(double v, int decimals) {
  std::string s;
  append_fixed(s, v, decimals);
  return s;
}

TEST(CellText, FixedMatchesTheGeneralFormatterOnRandomValues) {
  std::mt19937_64 gen(20261206);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-8, 13);
  std::uniform_int_distribution<int> places(0, 9);
  for (int i = 0; i < 400000; ++i) {
    const double v = mantissa(gen) * std::pow(10.0, exponent(gen));
    const int d = places(gen);
    ASSERT_EQ(fixed(v, d), fmt::format("{:.{}f}", v, d)) << fmt::format("{:.17g} with {} places", v, d);
  }
}

TEST(CellText, EveryDigitCountBelowTheWordLimit) {
  // Below 10^8 the fast writer builds all eight digits in one word and
  // counts digits from the bit length: walk every small number and a
  // stride through the rest, at every count of decimals.
  auto check = [](std::uint32_t n) {
    const int d = static_cast<int>(n % 9);
    const double v = static_cast<double>(n) / std::pow(10.0, d);
    ASSERT_EQ(fixed(v, d), fmt::format("{:.{}f}", v, d)) << n << " with " << d << " places";
    ASSERT_EQ(fixed(-v, d), fmt::format("{:.{}f}", -v, d)) << n << " with " << d << " places";
  };
  for (std::uint32_t n = 0; n < 200000; ++n) check(n);
  for (std::uint32_t n = 200000; n < 100000000; n += 9973) check(n);
  for (std::uint32_t n = 99999990; n < 100000010; ++n) check(n);
}

TEST(CellText, FixedRoundsHalvesAndSignsAsTheGeneralFormatter) {
  // Decimal halves: exact binary halves, values just below or above them,
  // values that round to zero, and the limits of the fast path.
  const double cases[] = {0.5,     1.5,      2.5,    0.125,  0.375,     2.675,   1.005,   -0.001, -0.0,
                          0.0,     -0.5,     -2.5,   99.995, 9.9995,    0.0049,  1e11,    1e11 - 0.5,
                          1e11 + 1, 123456789.125, 4503599627370495.5, 1e300, -1e-300, 5e-324, 0.95, 0.05};
  for (const double v : cases)
    for (int d = 0; d <= 9; ++d)
      EXPECT_EQ(fixed(v, d), fmt::format("{:.{}f}", v, d)) << fmt::format("{:.17g} with {} places", v, d);
  // Beyond nine places the general formatter does the work.
  EXPECT_EQ(fixed(1.0 / 3.0, 12), "0.333333333333");
  // Consecutive doubles around a half of the last place.
  double v = 0.125;
  for (int k = 0; k < 50; ++k) v = std::nextafter(v, 1.0);
  for (double w = 0.125; w < v; w = std::nextafter(w, 1.0)) EXPECT_EQ(fixed(w, 2), fmt::format("{:.2f}", w));
}

TEST(CellText, FastWriterStaysWithinItsWindow) {
  // Callers lay slots out by these bounds: the text within kFixedFastMax
  // characters, only blanks before it and none further back than
  // kFixedFastWrite.
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  // Up to 10^10 once scaled: below and above the 10^8 where the writer
  // changes method, and inside its range, so that only halves fall back.
  std::uniform_int_distribution<int> exponent(-3, 5);
  std::uniform_int_distribution<int> places(0, 4);
  char buffer[64];
  int fast = 0;
  for (int i = 0; i < 100000; ++i) {
    const double v = mantissa(gen) * std::pow(10.0, exponent(gen));
    const int d = places(gen);
    std::fill(std::begin(buffer), std::end(buffer), '#');
    char* end = buffer + 48;
    const char* p = write_fixed_backward(end, v, d);
    const std::string expected = fmt::format("{:.{}f}", v, d);
    if (p == nullptr) {
      ASSERT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](char c) { return c == '#'; }));
      continue;
    }
    ++fast;
    ASSERT_EQ(std::string_view(p, static_cast<std::size_t>(end - p)), expected);
    ASSERT_LE(static_cast<std::size_t>(end - p), kFixedFastMax);
    ASSERT_TRUE(std::all_of(buffer, end - kFixedFastWrite, [](char c) { return c == '#'; })) << expected;
    ASSERT_TRUE(std::all_of(static_cast<const char*>(end - kFixedFastWrite), p, [](char c) { return c == '#' || c == ' '; })) << expected;
    ASSERT_TRUE(std::all_of(end, std::end(buffer), [](char c) { return c == '#'; })) << expected;
  }
  EXPECT_GT(fast, 99900);
}

TEST(CellText, CellsOfEveryKind) {
  EXPECT_EQ(format_cell(OdsCell{std::string("Total")}, 2), "Total");
  EXPECT_EQ(format_cell(OdsCell{kMissing}, 2), "");
  EXPECT_EQ(format_cell(OdsCell{std::numeric_limits<double>::infinity()}, 2), "Infinity");
  EXPECT_EQ(format_cell(OdsCell{-std::numeric_limits<double>::infinity()}, 2), "-Infinity");
  EXPECT_EQ(format_cell(OdsCell{1234.5678}, 1), "1234.6");
  // Without fixed places: integers plainly, others to ten significant digits.
  EXPECT_EQ(format_cell(OdsCell{1990.0}, -1), "1990");
  EXPECT_EQ(format_cell(OdsCell{-3.0}, -1), "-3");
  EXPECT_EQ(format_cell(OdsCell{1.0 / 3.0}, -1), "0.3333333333");
  EXPECT_EQ(format_cell(OdsCell{1e20}, -1), "1e+20");
  // Appending keeps what the text already holds.
  std::string line = "x ";
  append_cell(line, OdsCell{2.25}, 1);
  EXPECT_EQ(line, "x 2.2");
}

}  // namespace
}  // namespace x11sa
