// The reports S0 to S7 of whole runs, checked against figures recomputed
// here from the OUTSPAN= rows of the same run; which reports a run prints.
#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/dates.h"
#include "support/run_support.h"
#include "x11sa/x11sa.h"

namespace x11sa::test {
namespace {

namespace pt = boost::property_tree;

// One output object of the JSON report.
struct Object {
  std::string id;  // "S 2.A.1"
  std::string name, title;
  std::vector<std::string> path;  // enclosing groups
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> notes;

  [[nodiscard]] int col(const std::string& c) const {
    const auto it = std::find(columns.begin(), columns.end(), c);
    if (it == columns.end()) ADD_FAILURE() << id << ": no column " << c;
    return it == columns.end() ? 0 : static_cast<int>(it - columns.begin());
  }
  [[nodiscard]] std::string text(std::size_t r, const std::string& c) const { return rows.at(r).at(col(c)); }
  [[nodiscard]] double num(std::size_t r, const std::string& c) const {
    const std::string s = text(r, c);
    return s == "null" || s.empty() ? kMissing : std::stod(s);
  }
};

struct Report {
  RunOutput out;
  std::vector<Object> objects;
  Table spans;
  [[nodiscard]] const Object* find(const std::string& id) const {
    for (const auto& o : objects)
      if (o.id == id) return &o;
    return nullptr;
  }
  [[nodiscard]] const Object& get(const std::string& id) const {
    const Object* o = find(id);
    if (o == nullptr) throw std::runtime_error("no table " + id);
    return *o;
  }
  [[nodiscard]] int count_prefix(const std::string& prefix) const {
    int n = 0;
    for (const auto& o : objects) n += o.id.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
};

Report run_with_report(const std::string& data, const std::string& program) {
  ScratchDir dir;
  dir.copy_data(data);
  Report run;
  RunOptions opt;
  opt.libs.emplace_back("WORK", dir.path().string());
  opt.log_text = &run.out.log;
  opt.listing_text = &run.out.listing;
  opt.progress = nullptr;
  opt.json_path = (dir.path() / "report.json").string();
  run.out.result = run_program(program, opt);
  pt::ptree tree;
  pt::read_json(opt.json_path, tree);
  for (const auto& [k, step] : tree.get_child("steps")) {
    for (const auto& [k2, obj] : step.get_child("objects")) {
      Object o;
      o.id = obj.get<std::string>("entries.tab_title", "");
      o.name = obj.get<std::string>("name");
      o.title = obj.get<std::string>("title");
      for (const auto& [k3, g] : obj.get_child("path")) o.path.push_back(g.get<std::string>("name"));
      for (const auto& [k3, c] : obj.get_child("columns")) o.columns.push_back(c.get<std::string>("name"));
      for (const auto& [k3, r] : obj.get_child("rows")) {
        std::vector<std::string> row;
        for (const auto& [k4, cell] : r) row.push_back(cell.get_value<std::string>());
        o.rows.push_back(std::move(row));
      }
      for (const auto& [k3, n] : obj.get_child("notes")) o.notes.push_back(n.get_value<std::string>());
      run.objects.push_back(std::move(o));
    }
  }
  if (dir.exists("sp.csv")) run.spans = read_table(dir.path() / "sp.csv");
  return run;
}

// The span estimates of one run as the OUTSPAN= rows give them.
struct SpanData {
  int cnt = 0;
  bool multiplicative = true;
  std::vector<double> dates;                   // every date of any span, ascending
  std::vector<std::map<double, double>> d10, d11, c18;  // per span: date -> value
  std::vector<double> first, last;             // per span: first and last date

  explicit SpanData(const Table& t, bool mult = true) : multiplicative(mult) {
    std::set<double> all;
    for (long r = 0; r < t.rows; ++r) {
      const int i = static_cast<int>(t.num.at("SPAN")[r]) - 1;
      cnt = std::max(cnt, i + 1);
      if (static_cast<int>(d10.size()) < cnt) {
        d10.resize(cnt);
        d11.resize(cnt);
        c18.resize(cnt);
      }
      const double d = t.num.at("DATE")[r];
      all.insert(d);
      d10[i][d] = t.num.at("D10")[r];
      d11[i][d] = t.num.at("D11")[r];
      if (t.num.count("C18") != 0) c18[i][d] = t.num.at("C18")[r];
    }
    dates.assign(all.begin(), all.end());
    for (int i = 0; i < cnt; ++i) {
      first.push_back(d10[i].begin()->first);
      last.push_back(d10[i].rbegin()->first);
    }
  }
  [[nodiscard]] std::size_t index(double date) const {
    return static_cast<std::size_t>(std::lower_bound(dates.begin(), dates.end(), date) - dates.begin());
  }
  // Series s of span i at date position k (missing when the span lacks it).
  [[nodiscard]] double value(int s, int i, std::size_t k) const {
    const double d = dates[k];
    auto level = [&](const std::vector<std::map<double, double>>& m, double date) {
      const auto it = m[i].find(date);
      return it == m[i].end() ? kMissing : it->second;
    };
    if (s == 0) return level(d10, d);
    if (s == 1) return level(c18, d);
    if (s == 2) return level(d11, d);
    const std::size_t lag = s == 3 ? 1 : 12;
    if (k < lag) return kMissing;
    const double a = level(d11, dates[k - lag]);
    const double b = level(d11, d);
    if (is_missing(a) || is_missing(b)) return kMissing;
    return multiplicative ? (b - a) * 100.0 / a : b - a;
  }
  [[nodiscard]] int spans_holding(std::size_t k) const {
    int n = 0;
    for (int i = 0; i < cnt; ++i) n += d10[i].count(dates[k]) != 0 ? 1 : 0;
    return n;
  }
  // Spread of series s at k over the spans holding it, when two spans hold the date.
  [[nodiscard]] double spread(int s, std::size_t k) const {
    if (spans_holding(k) < 2) return kMissing;
    double lo = kMissing;
    double hi = kMissing;
    for (int i = 0; i < cnt; ++i) {
      const double v = value(s, i, k);
      if (is_missing(v)) continue;
      lo = is_missing(lo) ? v : std::min(lo, v);
      hi = is_missing(hi) ? v : std::max(hi, v);
    }
    if (is_missing(lo)) return kMissing;
    return s <= 2 && multiplicative ? (hi - lo) * 100.0 / lo : hi - lo;
  }
  // Date positions whose spreads of series s are classed: from the second
  // span's start (one period, one year later for the changes) to the end of
  // the second newest span.
  [[nodiscard]] std::pair<std::size_t, std::size_t> range(int s) const {
    const std::size_t from = index(first[1]) + (s == 3 ? 1 : s == 4 ? 12 : 0);
    return {from, index(last[cnt - 2]) + 1};
  }
};

std::string month_text(double date) { return format_monyy(date, 7); }

void expect_num(double got, double want, const std::string& what) {
  if (is_missing(want)) {
    EXPECT_TRUE(is_missing(got)) << what;
  } else {
    EXPECT_NEAR(got, want, 1e-6 * std::max(1.0, std::fabs(want))) << what;
  }
}

// Every report of series s checked against the OUTSPAN= figures.
void check_series_reports(const Report& run, const SpanData& sd, int s, double cutoff) {
  static constexpr const char* kListing[5] = {"S 7.A", "S 7.B", "S 7.C", "S 7.D", "S 7.E"};
  const std::string n = std::to_string(s + 2);
  SCOPED_TRACE("series " + std::to_string(s));
  // S 7: the span values and the spreads, date by date.
  const Object& listing = run.get(kListing[s]);
  ASSERT_EQ(listing.rows.size(), sd.dates.size());
  for (std::size_t k = 0; k < sd.dates.size(); ++k) {
    EXPECT_EQ(listing.text(k, "Date"), month_text(sd.dates[k]));
    for (int i = 0; i < sd.cnt; ++i)
      expect_num(listing.num(k, fmt::format("Span{}", i + 1)), sd.value(s, i, k),
                 fmt::format("{} span {} at {}", kListing[s], i + 1, k));
    const auto [from, to] = sd.range(s);
    if (k >= from && k < to) expect_num(listing.num(k, "MaxPerDif"), sd.spread(s, k), fmt::format("spread at {}", k));
  }
  // Exceedances by month, by year, in total and by range class.
  const auto [from, to] = sd.range(s);
  std::map<int, std::pair<long, long>> by_month, by_year;  // exceeding, tested
  std::map<int, double> month_sum;
  long exceed = 0;
  long tested = 0;
  long classes[4] = {};
  std::vector<double> spreads;
  for (std::size_t k = from; k < to; ++k) {
    const double v = sd.spread(s, k);
    ASSERT_FALSE(is_missing(v)) << k;
    const bool over = v > cutoff;
    by_month[zmonth(sd.dates[k])].first += over ? 1 : 0;
    by_month[zmonth(sd.dates[k])].second += 1;
    month_sum[zmonth(sd.dates[k])] += v;
    by_year[zyear(sd.dates[k])].first += over ? 1 : 0;
    by_year[zyear(sd.dates[k])].second += 1;
    exceed += over ? 1 : 0;
    ++tested;
    if (over) ++classes[std::min(3, static_cast<int>(std::ceil(v - cutoff)) - 1)];
    spreads.push_back(v);
  }
  const Object& a1 = run.get("S " + n + ".A.1");
  ASSERT_EQ(a1.rows.size(), 12u);
  for (std::size_t r = 0; r < 12; ++r) {
    const int month = static_cast<int>(r) + 1;
    EXPECT_EQ(a1.num(r, "Exceed"), by_month[month].first) << month;
    EXPECT_EQ(a1.num(r, "TotalCount"), by_month[month].second) << month;
    expect_num(a1.num(r, "Ampd"), month_sum[month] / static_cast<double>(by_month[month].second), "average spread");
  }
  const Object& a2 = run.get("S " + n + ".A.2");
  ASSERT_EQ(a2.rows.size(), by_year.size());
  std::size_t r = 0;
  for (const auto& [year, counts] : by_year) {
    EXPECT_EQ(a2.num(r, "Year"), year);
    EXPECT_EQ(a2.num(r, "Exceed"), counts.first) << year;
    EXPECT_EQ(a2.num(r, "TotalCount"), counts.second) << year;
    ++r;
  }
  const Object& a3 = run.get("S " + n + ".A.3");
  EXPECT_EQ(a3.num(0, "Nfound"), exceed);
  EXPECT_EQ(a3.num(0, "TotalTested"), tested);
  const Object& b = run.get("S " + n + ".B");
  ASSERT_EQ(b.rows.size(), 4u);
  for (std::size_t c = 0; c < 4; ++c) EXPECT_EQ(b.num(c, "NFound"), classes[c]) << "class " << c + 1;
  const Object& dist = run.get("S " + n + ".C");
  std::sort(spreads.begin(), spreads.end());
  ASSERT_EQ(dist.rows.size(), 7u);
  expect_num(dist.num(0, "PercentVal"), spreads.front(), "minimum");
  expect_num(dist.num(6, "PercentVal"), spreads.back(), "maximum");
  const std::size_t m = spreads.size();
  expect_num(dist.num(2, "PercentVal"), m % 2 == 1 ? spreads[m / 2] : (spreads[m / 2 - 1] + spreads[m / 2]) / 2,
             "median");
}

// Sign changes of series s against the neutral level, recomputed: the
// earliest span's side, then any later span on the other side.
long sign_changes(const SpanData& sd, int s) {
  const double base = s <= 1 && sd.multiplicative ? 100.0 : 0.0;
  const double eps = std::ldexp(1.0, -43);
  auto side = [&](double v) { return v > base + eps ? 1 : v < base - eps ? -1 : 0; };
  long n = 0;
  for (std::size_t k = sd.range(s).first; k < sd.dates.size(); ++k) {
    std::vector<int> sides;
    for (int i = 0; i < sd.cnt; ++i)
      if (!is_missing(sd.value(s, i, k))) sides.push_back(side(sd.value(s, i, k)));
    if (sides.size() < 2 || sides[0] == 0) continue;
    n += std::find(sides.begin() + 1, sides.end(), -sides[0]) != sides.end() ? 1 : 0;
  }
  return n;
}

// Turning points of the adjusted series (relative flatness of 1 %) where
// three or four spans hold the date.
long turning_points(const SpanData& sd, long* tested) {
  static const std::set<std::string> kFlags = {"DUF", "DFU", "DUU", "FDU", "DDU", "DUD", "DU",
                                               "UDF", "UDU", "UFD", "FUD", "UUD", "UDD", "UD"};
  long n = 0;
  *tested = 0;
  for (std::size_t k = 0; k < sd.dates.size(); ++k) {
    std::vector<double> v;
    for (int i = 0; i < sd.cnt; ++i)
      if (!is_missing(sd.value(2, i, k))) v.push_back(sd.value(2, i, k));
    if (v.size() < 3) continue;
    ++*tested;
    std::string p;
    for (std::size_t j = 1; j < v.size(); ++j) {
      const double d = v[j] - v[j - 1];
      p += std::fabs(d / v[j - 1]) * 100.0 <= 1.0 ? 'F' : d > 0 ? 'U' : 'D';
    }
    n += kFlags.count(p) != 0 ? 1 : 0;
  }
  return n;
}

const char* k3x9 = "macurves jan=3x9 feb=3x9 mar=3x9 apr=3x9 may=3x9 jun=3x9 jul=3x9 aug=3x9 sep=3x9 oct=3x9 "
                   "nov=3x9 dec=3x9;\n";

TEST(SpanReports, AirlineTwoSpans) {
  const Report run = run_with_report("airline.csv", fmt::format("proc x11 data=airline outspan=sp;\n monthly date=date;\n"
                                                             " var passengers;\n {} sspan printall;\nrun;\n",
                                                             k3x9));
  ASSERT_LE(run.out.level(), 4) << run.out.log;
  const SpanData sd(run.spans);
  ASSERT_EQ(sd.cnt, 2);
  // S0: two spans of 132 months, with the note on fewer than four spans.
  const Object& s0 = run.get("S 0.A.1");
  EXPECT_EQ(s0.num(0, "NUM"), 132);
  EXPECT_EQ(s0.num(1, "NUM"), 2);
  EXPECT_EQ(s0.notes.size(), 1u);
  EXPECT_NE(s0.title.find("passengers"), std::string::npos);
  const Object& dates = run.get("S 0.A.2");
  ASSERT_EQ(dates.rows.size(), 2u);
  EXPECT_EQ(dates.text(0, "BEGIN"), "JAN1949");
  EXPECT_EQ(dates.text(0, "End"), "DEC1959");
  EXPECT_EQ(dates.text(1, "BEGIN"), "JAN1950");
  EXPECT_EQ(dates.text(1, "End"), "DEC1960");
  EXPECT_EQ(run.get("S 0.B").rows.size(), 3u);
  // S1: the means of D10 by month and span.
  const Object& s1 = run.get("S 1.A");
  ASSERT_EQ(s1.rows.size(), 12u);
  for (std::size_t r = 0; r < 12; ++r) {
    double means[2] = {};
    for (int i = 0; i < 2; ++i) {
      double sum = 0;
      int n = 0;
      for (const auto& [d, v] : sd.d10[i])
        if (zmonth(d) == static_cast<int>(r) + 1) {
          sum += v;
          ++n;
        }
      means[i] = sum / n;
      expect_num(s1.num(r, fmt::format("Span{}", i + 1)), means[i], "S 1.A mean");
    }
    expect_num(s1.num(r, "Ave"), (means[0] + means[1]) / 2, "S 1.A average");
    expect_num(s1.num(r, "Mpd"), std::fabs(means[0] - means[1]) * 100 / std::min(means[0], means[1]), "S 1.A Mpd");
  }
  // Only the trading-day report is left out; no turning points with two spans.
  for (int s : {0, 2, 3, 4}) check_series_reports(run, sd, s, 3.0);
  EXPECT_EQ(run.find("S 3.A.1"), nullptr);
  EXPECT_EQ(run.find("S 7.B"), nullptr);
  EXPECT_EQ(run.get("S 2.A.3").num(1, "Nfound"), sign_changes(sd, 0));
  EXPECT_EQ(run.get("S 5.A.3").num(1, "Nfound"), sign_changes(sd, 3));
  EXPECT_EQ(run.get("S 6.A.3").num(1, "Nfound"), sign_changes(sd, 4));
  const Object& tp = run.get("S 4.A.3");
  EXPECT_EQ(tp.rows.size(), 3u);  // no sign rows for the adjusted series
  EXPECT_EQ(tp.num(1, "Nfound"), 0);
  EXPECT_EQ(tp.num(1, "TotalTested"), 0);
  for (const auto& row : run.get("S 7.C").rows) EXPECT_EQ(row[static_cast<std::size_t>(run.get("S 7.C").col("TurningPoint"))], "");
}

TEST(SpanReports, FourSpansWithTradingDay) {
  const Report run = run_with_report("seatbelts.csv", "proc x11 data=seatbelts outspan=sp;\n monthly date=date tdregr=adjust;\n"
                                                   " var drivers;\n sspan printall;\nrun;\n");
  ASSERT_LE(run.out.level(), 4) << run.out.log;
  const SpanData sd(run.spans);
  ASSERT_EQ(sd.cnt, 4);
  EXPECT_EQ(run.get("S 0.A.1").notes.size(), 0u);
  EXPECT_EQ(run.get("S 0.A.2").rows.size(), 4u);
  check_series_reports(run, sd, 0, 3.0);
  check_series_reports(run, sd, 1, 2.0);  // the trading-day factors against TDCUTOFF=
  check_series_reports(run, sd, 2, 3.0);
  check_series_reports(run, sd, 3, 3.0);
  check_series_reports(run, sd, 4, 3.0);
  EXPECT_EQ(run.get("S 2.A.3").num(1, "Nfound"), sign_changes(sd, 0));
  EXPECT_EQ(run.get("S 3.A.3").num(1, "Nfound"), sign_changes(sd, 1));
  long tested = 0;
  const long tps = turning_points(sd, &tested);
  const Object& a3 = run.get("S 4.A.3");
  EXPECT_EQ(a3.num(1, "Nfound"), tps);
  EXPECT_EQ(a3.num(1, "TotalTested"), tested);
  EXPECT_EQ(tested, 96 - 12);  // len + (cnt - 5) x 12
  // The listing marks exactly the counted turning points.
  long marks = 0;
  for (const auto& row : run.get("S 7.C").rows) {
    const std::string& m = row[static_cast<std::size_t>(run.get("S 7.C").col("TurningPoint"))];
    EXPECT_TRUE(m.empty() || m == "U-D" || m == "D-U") << m;
    marks += m.empty() ? 0 : 1;
  }
  EXPECT_EQ(marks, tps);
  // Exceedance codes: the series symbol once per unit above the cutoff.
  const Object& listing = run.get("S 7.A");
  for (std::size_t k = 0; k < listing.rows.size(); ++k) {
    const double v = listing.num(k, "MaxPerDif");
    const std::string code = listing.text(k, "LevelOfExcess");
    const auto [from, to] = sd.range(0);
    if (k < from || k >= to || !(v > 3.0)) {
      EXPECT_EQ(code, "") << k;
    } else {
      EXPECT_EQ(code, std::string(static_cast<std::size_t>(std::min(4.0, std::ceil(v - 3.0))), '%')) << k;
    }
  }
}

TEST(SpanReports, AdditiveSpreadsAreDifferences) {
  const Report run = run_with_report("nottingham.csv", "proc x11 data=nottingham outspan=sp;\n monthly date=date additive;\n"
                                                    " var temp;\n sspan printall cutoff=1;\nrun;\n");
  ASSERT_LE(run.out.level(), 4) << run.out.log;
  const SpanData sd(run.spans, false);
  for (int s : {0, 2, 3, 4}) check_series_reports(run, sd, s, 1.0);
  EXPECT_EQ(run.get("S 2.A.3").num(1, "Nfound"), sign_changes(sd, 0));
  // Range texts without percent signs.
  EXPECT_EQ(run.get("S 2.B").text(0, "Range"), "[1.0-2.0)");
  // S 1.B: no relative ranges for differences.
  EXPECT_TRUE(is_missing(run.get("S 1.B").num(0, "RrSf")));
}

TEST(SpanReports, Selection) {
  // Standard printing: every report but S7; S3 only with trading day.
  Report run = run_with_report("airline.csv", "proc x11 data=airline;\n monthly date=date;\n var passengers;\n sspan;\nrun;\n");
  EXPECT_EQ(run.count_prefix("S 0."), 3);
  EXPECT_EQ(run.count_prefix("S 1."), 2);
  EXPECT_EQ(run.count_prefix("S 2."), 5);
  EXPECT_EQ(run.count_prefix("S 3."), 0);
  EXPECT_EQ(run.count_prefix("S 4."), 5);
  EXPECT_EQ(run.count_prefix("S 6."), 5);
  EXPECT_EQ(run.count_prefix("S 7."), 0);
  // The tables named in TABLES, S3 only when trading day is in effect.
  run = run_with_report("airline.csv", "proc x11 data=airline;\n monthly date=date;\n var passengers;\n tables s1 s3 s7;\n"
                                       " sspan;\nrun;\n");
  EXPECT_EQ(run.count_prefix("S 1."), 2);
  EXPECT_EQ(run.count_prefix("S 3."), 0);
  EXPECT_EQ(run.count_prefix("S 7."), 4);
  EXPECT_EQ(run.count_prefix("S 2."), 0);
  run = run_with_report("seatbelts.csv", "proc x11 data=seatbelts;\n monthly date=date tdregr=adjust;\n var drivers;\n"
                                         " tables s3 s7;\n sspan;\nrun;\n");
  EXPECT_EQ(run.count_prefix("S 3."), 5);
  EXPECT_EQ(run.count_prefix("S 7."), 5);
  EXPECT_NE(run.find("S 7.B"), nullptr);
  // SSPAN NOPRINT: no report, the data set all the same.
  run = run_with_report("airline.csv", "proc x11 data=airline outspan=sp;\n monthly date=date;\n var passengers;\n"
                                       " sspan noprint;\nrun;\n");
  EXPECT_EQ(run.count_prefix("S "), 0);
  EXPECT_EQ(run.spans.rows, 4 * 96);
  // The reports sit in their own group, inside the variable's.
  run = run_with_report("airline.csv", "proc x11 data=airline;\n monthly date=date;\n var passengers;\n"
                                       " sspan printall;\nrun;\n");
  const Object& last = run.get("S 7.E");
  ASSERT_GE(last.path.size(), 2u);
  EXPECT_EQ(last.path.back(), "SlidingSpans");
  EXPECT_EQ(last.path[last.path.size() - 2], "passengers");
  EXPECT_NE(run.out.listing.find("S 7.E"), std::string::npos);
}

TEST(SpanReports, TooShortAndArima) {
  Report run = run_with_report("airline.csv", "proc x11 data=airline outspan=sp;\n monthly date=date start=jan1949 end=nov1957;\n"
                                           " var passengers;\n sspan printall;\nrun;\n");  // 107 months
  EXPECT_LE(run.out.level(), 4);
  EXPECT_TRUE(run.out.logged("too short for two sliding spans")) << run.out.log;
  EXPECT_EQ(run.count_prefix("S "), 0);
  EXPECT_EQ(run.spans.rows, 0);
  // With ARIMA the spans are dropped and the adjustment goes on.
  run = run_with_report("airline.csv", "proc x11 data=airline outspan=sp;\n monthly date=date;\n var passengers;\n"
                                       " arima model=(p=0 dif=1 q=1 sp=0 sdif=1 sq=1);\n sspan printall;\n"
                                       " output out=o d11=sa;\nrun;\n");
  EXPECT_EQ(run.out.level(), 4) << run.out.log;
  EXPECT_TRUE(run.out.logged("SSPAN cannot be combined with ARIMA")) << run.out.log;
  EXPECT_EQ(run.count_prefix("S "), 0);
  EXPECT_EQ(run.spans.rows, 0);
  EXPECT_NE(run.out.log.find("o.csv has 144 observations"), std::string::npos) << run.out.log;
}

}  // namespace
}  // namespace x11sa::test
