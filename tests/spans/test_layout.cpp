// How many spans, how long, and where they lie: the seasonal-filter code,
// the count and length rules with the widening to the start of a year, and
// the index model of each span's flow record.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/dates.h"
#include "host/host.h"
#include "run/workspace.h"
#include "spans/spans.h"

namespace x11sa::test {
namespace {

struct Layout {
  std::string log;
  std::unique_ptr<Host> host;
  std::unique_ptr<X11COM> com;
  VAR var;
  X11FLOW flow;

  explicit Layout(int nper = 12) {
    host = std::make_unique<Host>(TextOut(&log), TextOut(), TextOut(), HostSettings{});
    com = std::make_unique<X11COM>();
    com->host = host.get();
    com->nper = nper;
    com->op.month_f = nper == 12 ? 1 : 0;
    var.v_vs = "sales";
  }
  // A variable of n observations starting in period `firstper` (0-based) of `year`.
  int spans(long n, int year = 1980, int firstper = 0) {
    const char* iv = com->nper == 12 ? "MONTH" : "QTR";
    var.nobs = n;
    var.firstyr = year;
    var.firstper = firstper;
    var.b_date = zmdy(com->nper == 12 ? firstper + 1 : 3 * firstper + 1, 1, year);
    var.e_date = zintnx(iv, var.b_date, n - 1);
    var.lastyr = zyear(var.e_date);
    var.lastper = com->nper == 12 ? zmonth(var.e_date) - 1 : zqtr(var.e_date) - 1;
    com->obs = n;
    com->array_size = n;
    com->fake_array_size = n;
    set_values(com.get(), &var);
    flow = com->x11flow;
    return x11spln(com.get(), &flow);
  }
  void curves(short code) {
    for (int m = 0; m < 12; ++m) com->macrv.spec[m] = code;
  }
  [[nodiscard]] int cnt() const { return com->x11ssp.cnt; }
  [[nodiscard]] long len() const { return com->x11ssp.len; }
};

TEST(SpanLayout, SeasonalFilterCode) {
  Layout l;
  EXPECT_EQ(get_sma_code(l.com.get()), 3);  // nothing given: 3X5
  l.curves(-1);
  EXPECT_EQ(get_sma_code(l.com.get()), -1);
  l.curves(4);
  EXPECT_EQ(get_sma_code(l.com.get()), 4);
  l.curves(1);
  EXPECT_EQ(get_sma_code(l.com.get()), 1);
  // The longest filter named decides; one STABLE month among them does not.
  l.curves(2);
  l.com->macrv.spec[5] = 4;
  l.com->macrv.spec[7] = -1;
  EXPECT_EQ(get_sma_code(l.com.get()), 4);
  // An unset month counts as 3X5 unless a 3X9 is already in force.
  l.curves(1);
  l.com->macrv.spec[11] = 0;
  EXPECT_EQ(get_sma_code(l.com.get()), 3);
  l.curves(4);
  l.com->macrv.spec[11] = 0;
  EXPECT_EQ(get_sma_code(l.com.get()), 4);
  l.curves(0);
  l.com->macrv.spec[0] = -1;
  EXPECT_EQ(get_sma_code(l.com.get()), 3);
  // The quarterly entries are never read.
  l.curves(-1);
  l.com->macrv.spec[12] = 4;
  EXPECT_EQ(get_sma_code(l.com.get()), -1);
}

TEST(SpanLayout, CountAndLengthByFilter) {
  Layout l;
  ASSERT_EQ(l.spans(120), 0);  // 3X5: 96 months, (120 - 96) / 12 + 1
  EXPECT_EQ(l.cnt(), 3);
  EXPECT_EQ(l.len(), 96);
  l.curves(4);
  ASSERT_EQ(l.spans(200), 0);  // 3X9: 132 months, 6 spans fit, 4 are used
  EXPECT_EQ(l.cnt(), 4);
  // Four spans of 132 cover 168 months; the 32 before start in September
  // of the third year, so the spans grow by 8 months to start in January.
  EXPECT_EQ(l.len(), 140);
  l.curves(1);
  ASSERT_EQ(l.spans(100), 0);  // 3: 72 months
  EXPECT_EQ(l.cnt(), 3);
  EXPECT_EQ(l.len(), 76);  // 4 months of leftover start, in the first year: the first span starts with the data
  l.curves(2);
  ASSERT_EQ(l.spans(96), 0);  // 3X3: 84 months
  EXPECT_EQ(l.cnt(), 2);
  EXPECT_EQ(l.len(), 84);
}

TEST(SpanLayout, TooShortForTwoSpans) {
  Layout l;
  ASSERT_EQ(l.spans(108), 0);
  EXPECT_EQ(l.cnt(), 2);
  EXPECT_EQ(l.len(), 96);
  EXPECT_FALSE(l.host->logged(219));
  EXPECT_EQ(l.spans(107), -1);
  EXPECT_TRUE(l.host->logged(219));
  EXPECT_NE(l.log.find("sales"), std::string::npos);
  EXPECT_EQ(l.cnt(), 0);
  Layout s;
  EXPECT_EQ(s.spans(95), -1);
  EXPECT_TRUE(s.host->logged(219));
}

TEST(SpanLayout, StableMonths) {
  Layout l;
  l.curves(-1);
  ASSERT_EQ(l.spans(120), 0);
  EXPECT_EQ(l.cnt(), 4);
  EXPECT_EQ(l.len(), 84);  // min(120 - 36, 144)
  ASSERT_EQ(l.spans(300), 0);
  EXPECT_EQ(l.len(), 144 + 0);  // capped at 12 years; 300 - 144 - 36 = 120 months before: whole years
  EXPECT_EQ(l.cnt(), 4);
  // Fewer than four spans fit: spans of three years.
  ASSERT_EQ(l.spans(60), 0);
  EXPECT_EQ(l.cnt(), 3);
  EXPECT_EQ(l.len(), 36);
  ASSERT_EQ(l.spans(48), 0);
  EXPECT_EQ(l.cnt(), 2);
  EXPECT_EQ(l.len(), 36);
  ASSERT_EQ(l.spans(50), 0);  // two months more: the first span starts with the data
  EXPECT_EQ(l.cnt(), 2);
  EXPECT_EQ(l.len(), 38);
  EXPECT_EQ(l.spans(47), -1);
}

TEST(SpanLayout, WideningToTheStartOfAYear) {
  Layout l;
  // 154 months from January: four spans of 96 cover 132; the 22 months
  // before put the first span's start in November of the second year, so
  // every span grows by 10 months and starts in January.
  ASSERT_EQ(l.spans(154), 0);
  EXPECT_EQ(l.cnt(), 4);
  EXPECT_EQ(l.len(), 106);
  // 142 months: the leftover (10) lies in the first year: the first span
  // starts with the data.
  ASSERT_EQ(l.spans(142), 0);
  EXPECT_EQ(l.len(), 106);
  // Data from April: 10 months before the first span puts it in February
  // of the next year; one month more starts it in January.
  ASSERT_EQ(l.spans(142, 1980, 3), 0);
  EXPECT_EQ(l.len(), 97);
  // Data from March: the first span would start in January already.
  ASSERT_EQ(l.spans(142, 1980, 2), 0);
  EXPECT_EQ(l.len(), 96);
  // Data from June, 3 months before the first span (September): within the
  // first year, the first span takes them and starts with the data.
  ASSERT_EQ(l.spans(135, 1980, 5), 0);
  EXPECT_EQ(l.len(), 99);
  // Quarterly: 3X5 spans of 32 quarters; 41 quarters from the third
  // quarter leave 1 before, within the first year.
  Layout q(4);
  ASSERT_EQ(q.spans(41, 1980, 2), 0);
  EXPECT_EQ(q.cnt(), 3);
  EXPECT_EQ(q.len(), 33);
  ASSERT_EQ(q.spans(108, 1960, 0), 0);
  EXPECT_EQ(q.cnt(), 4);
  EXPECT_EQ(q.len(), 32);
}

// For every case above, the first span starts at the first observation or
// in the first period of a year, and the newest ends with the series.
TEST(SpanLayout, SpansFitTheSeries) {
  for (int nper : {12, 4}) {
    for (short code : {short{1}, short{2}, short{3}, short{4}, short{-1}}) {
      Layout l(nper);
      l.curves(code);
      for (int firstper = 0; firstper < nper; ++firstper) {
        for (long n = 3 * nper; n < 26 * nper; ++n) {
          if (l.spans(n, 1970, firstper) != 0) continue;
          const long P = nper;
          const long before = n - l.len() - (l.cnt() - 1) * P;
          ASSERT_GE(before, 0) << n;
          const long first_period = (firstper + before) % P;
          EXPECT_TRUE(before == 0 || first_period == 0) << "n " << n << " from " << firstper << " code " << code;
          EXPECT_GE(l.len(), 3 * P);
          EXPECT_LE(l.cnt(), 4);
        }
      }
    }
  }
}

// A span's flow record is the index model of the span as a series of its own.
TEST(SpanLayout, FlowRecordOfASpan) {
  for (int nper : {12, 4}) {
    Layout l(nper);
    const int firstper = nper == 12 ? 4 : 2;
    const long n = nper == 12 ? 160 : 50;
    ASSERT_EQ(l.spans(n, 1975, firstper), 0);
    X11COM* Xp = l.com.get();
    const X11SSP& sp = Xp->x11ssp;
    for (int k = 0; k < sp.cnt; ++k) {
      set_flow_ptr(Xp, &l.flow, k);
      const X11FLOW got = Xp->x11flow;
      EXPECT_EQ(sp.sfp, &Xp->x11flow);
      const int i = sp.cnt - k - 1;
      // The same span described as a variable that starts `offset` periods
      // into the group.
      const long offset = n - k * nper - sp.len;
      VAR v = l.var;
      v.nobs = sp.len;
      v.nmiss = offset;
      const char* iv = nper == 12 ? "MONTH" : "QTR";
      v.b_date = zintnx(iv, l.var.b_date, offset);
      v.e_date = zintnx(iv, v.b_date, sp.len - 1);
      v.firstyr = zyear(v.b_date);
      v.lastyr = zyear(v.e_date);
      v.firstper = nper == 12 ? zmonth(v.b_date) - 1 : zqtr(v.b_date) - 1;
      v.lastper = nper == 12 ? zmonth(v.e_date) - 1 : zqtr(v.e_date) - 1;
      v.xfirstper = (v.firstper + nper / 2) % nper;
      v.xlastper = (v.lastper - nper / 2 + nper) % nper;
      set_values(Xp, &v);
      const X11FLOW& want = Xp->x11flow;
      for (auto field : {&X11FLOW::real_begin, &X11FLOW::real_end, &X11FLOW::nobs, &X11FLOW::nmiss,
                         &X11FLOW::fake_begin, &X11FLOW::fake_end, &X11FLOW::real_ma_beg, &X11FLOW::real_ma_end,
                         &X11FLOW::real_adj, &X11FLOW::adjust, &X11FLOW::xfirst, &X11FLOW::xlast,
                         &X11FLOW::xfirst2, &X11FLOW::xlast2, &X11FLOW::fake_xlast2})
        EXPECT_EQ(got.*field, want.*field) << "span " << k;
      for (auto field : {&X11FLOW::firstyr, &X11FLOW::firstper, &X11FLOW::lastyr, &X11FLOW::lastper,
                         &X11FLOW::xfirstper, &X11FLOW::xlastper, &X11FLOW::month})
        EXPECT_EQ(got.*field, want.*field) << "span " << k;
      EXPECT_EQ(got.b_date, want.b_date);
      EXPECT_EQ(got.e_date, want.e_date);
      EXPECT_EQ(sp.s_beg[i], offset);
      EXPECT_EQ(sp.s_end[i], offset + sp.len);
      EXPECT_EQ(sp.b_date[i], v.b_date);
      EXPECT_EQ(sp.e_date[i], v.e_date);
      EXPECT_EQ(sp.FirstPer1, v.firstper);
      EXPECT_EQ(sp.FirstPer2, (v.firstper + 1) % nper);
      EXPECT_EQ(sp.lper, v.lastper);
    }
    // The spans start one year apart, the newest ends with the series.
    for (int i = 1; i < sp.cnt; ++i) EXPECT_EQ(sp.s_beg[i], sp.s_beg[i - 1] + nper);
    EXPECT_EQ(sp.s_end[sp.cnt - 1], n);
  }
}

}  // namespace
}  // namespace x11sa::test
