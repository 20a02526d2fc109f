// The HTML document's escaping, the SVG charts' lines and legends, and the
// line-printer charts. (What each print level prints is pinned by the golden
// listings.)
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <regex>
#include <set>

#include "render/line_printer_chart.h"
#include "render/html.h"
#include "render/svg.h"
#include "report/capture_sink.h"
#include "report/charts.h"
#include "support/run_support.h"
#include "x11sa/missing.h"

namespace x11sa::test {
namespace {

TEST(HtmlOutput, EscapesEveryTextFromDataAndStatements) {
  ScratchDir dir;
  EXPECT_EQ(html_escape("<script>alert('x') & \"y\"</script>"),
            "&lt;script&gt;alert(&#39;x&#39;) &amp; &quot;y&quot;&lt;/script&gt;");
  // A variable name cannot hold markup, but a BY value can: it shows as text.
  std::string csv = "g,date,x\n";
  for (const char* g : {"<b>bold</b>", "plain"})
    for (int t = 0; t < 36; ++t)
      csv += std::string("\"") + g + "\"," + std::to_string(1990 + t / 12) + "-" + (t % 12 < 9 ? "0" : "") +
             std::to_string(t % 12 + 1) + "-01," + std::to_string(100 + (t % 12) * 3 + t) + "\n";
  dir.write("by.csv", csv);
  RunOptions opt;
  opt.libs.emplace_back("WORK", dir.path().string());
  std::string log;
  opt.log_text = &log;
  std::string lst;
  opt.listing_text = &lst;
  opt.progress = nullptr;
  opt.html_path = (dir.path() / "r.html").string();
  const RunResult r = run_program("proc x11 data=by; monthly date=date; var x; by g; tables d11; run;", opt);
  ASSERT_EQ(r.exit_status, 0) << log;
  std::ifstream in(opt.html_path);
  const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(html.find("<b>bold</b>"), std::string::npos);
  EXPECT_NE(html.find("g=&lt;b&gt;bold&lt;/b&gt;"), std::string::npos);
  EXPECT_NE(html.find("g=plain"), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("http"), html.find("http://www.w3.org/2000/svg"));  // no external resource
}

// What an SVG holds: its width, the colour and point count of each line
// drawn, and the legend's entries (swatch colour, text and where it lies).
struct Svg {
  double width = 0;
  std::multiset<std::pair<std::string, std::size_t>> lines;
  struct Entry {
    std::string colour, text;
    double x, y, swatch_x;
  };
  std::vector<Entry> legend;
};

std::vector<Svg> parse_svgs(const std::string& markup) {
  std::vector<Svg> svgs;
  const std::regex svg_re(R"re(<svg class="(\w+)"[^>]* width="(\d+)")re");
  const std::regex line_re(R"re(<polyline fill="none" stroke="(#\w+)"[^>]* points="([^"]*)"/>)re");
  const std::regex swatch_re(
      R"re(<line x1="([\d.]+)" y1="[\d.]+" x2="[\d.]+" y2="[\d.]+" stroke="(#\w+)" stroke-width="3"/>\n<text x="([\d.]+)" y="([\d.]+)" font-size="12">([^<]*)</text>)re");
  std::size_t at = 0;
  for (;;) {
    const std::size_t open = markup.find("<svg", at);
    if (open == std::string::npos) break;
    const std::size_t close = markup.find("</svg>", open);
    const std::string one = markup.substr(open, close - open);
    at = close;
    Svg svg;
    std::smatch m;
    if (std::regex_search(one, m, svg_re)) svg.width = std::stod(m[2]);
    for (auto it = std::sregex_iterator(one.begin(), one.end(), line_re); it != std::sregex_iterator(); ++it) {
      const std::string points = (*it)[2];
      svg.lines.insert({(*it)[1], static_cast<std::size_t>(std::count(points.begin(), points.end(), ','))});
    }
    for (auto it = std::sregex_iterator(one.begin(), one.end(), swatch_re); it != std::sregex_iterator(); ++it)
      svg.legend.push_back({(*it)[2], (*it)[5], std::stod((*it)[3]), std::stod((*it)[4]), std::stod((*it)[1])});
    svgs.push_back(std::move(svg));
  }
  return svgs;
}

// Every entry of the legend lies within the SVG, by the same 7 pixels a
// character the charts measure with, clear of the entry after it in its row.
void expect_legend_fits(const Svg& svg) {
  for (std::size_t k = 0; k < svg.legend.size(); ++k) {
    const auto& e = svg.legend[k];
    const double end = e.x + 7.0 * static_cast<double>(text_width(e.text));
    EXPECT_LE(end, svg.width) << e.text;
    if (k + 1 < svg.legend.size() && svg.legend[k + 1].y == e.y) {
      EXPECT_LT(end, svg.legend[k + 1].swatch_x) << e.text;
    }
  }
}

TEST(SvgCharts, G1AndG2LegendsNameEveryLineDrawnAndFit) {
  for (const Frequency frequency : {Frequency::Monthly, Frequency::Quarterly}) {
    const SeriesCalendar calendar{frequency, 1990, 1, 40};
    const int p = calendar.periods();
    std::vector<double> seasonal(40), adjusted(40), trend(40), original(40), si(40);
    for (std::size_t i = 0; i < 40; ++i) {
      const double t = static_cast<double>(i);
      seasonal[i] = 100.0 + 10.0 * std::sin(2.0 * std::numbers::pi * t / p);
      trend[i] = 200.0 + 2.0 * t;
      adjusted[i] = trend[i] + (i % 3 == 0 ? 3.0 : -1.5);
      original[i] = adjusted[i] * seasonal[i] / 100.0;
      si[i] = seasonal[i] + (i % 4 == 0 ? 2.0 : -0.5);
    }
    original[7] = kMissing;  // a gap breaks B1's line in two
    OdsManager ods;
    CaptureSink capture;
    ods.add_sink(&capture);
    PrintOptions print;
    print.charts = ChartLevel::Standard;
    print_charts(ods, ChartSeries{si, si, seasonal, adjusted, trend, {}, {}, original, false}, calendar,
                 Mode::Multiplicative, print);
    ASSERT_EQ(capture.tables.size(), 2u);

    // G1: one legend entry for each of its three lines, B1 drawn around its gap.
    const auto g1 = parse_svgs(svg_chart(capture.tables[0]));
    ASSERT_EQ(g1.size(), 1u);
    std::set<std::string> named;
    for (const auto& e : g1[0].legend) named.insert(e.text.substr(0, e.text.find(' ')));
    EXPECT_EQ(named, (std::set<std::string>{"B1", "D11", "D12"}));
    for (const auto& [colour, points] : g1[0].lines)
      EXPECT_EQ(std::count_if(g1[0].legend.begin(), g1[0].legend.end(), [&](const auto& e) { return e.colour == colour; }), 1)
          << colour;
    const auto b1 = std::find_if(g1[0].legend.begin(), g1[0].legend.end(), [](const auto& e) { return e.text.rfind("B1", 0) == 0; });
    ASSERT_NE(b1, g1[0].legend.end());
    std::vector<std::size_t> b1_lines;
    for (const auto& [colour, points] : g1[0].lines)
      if (colour == b1->colour) b1_lines.push_back(points);
    EXPECT_EQ(b1_lines, (std::vector<std::size_t>{7, 32}));
    expect_legend_fits(g1[0]);

    // G2: a legend above the panels naming D8, D9 and D10, the colours of
    // every panel's lines.
    const auto g2 = parse_svgs(svg_chart(capture.tables[1]));
    ASSERT_EQ(g2.size(), 1u + static_cast<std::size_t>(p));
    named.clear();
    std::set<std::string> colours;
    for (const auto& e : g2[0].legend) {
      named.insert(e.text.substr(0, e.text.find(' ')));
      colours.insert(e.colour);
    }
    EXPECT_EQ(named, (std::set<std::string>{"D8", "D9", "D10"}));
    EXPECT_EQ(colours.size(), 3u);
    for (std::size_t k = 1; k < g2.size(); ++k) {
      EXPECT_TRUE(g2[k].legend.empty());
      EXPECT_EQ(g2[k].lines.size(), 3u);
      for (const auto& [colour, points] : g2[k].lines) EXPECT_TRUE(colours.count(colour)) << colour;
    }
    expect_legend_fits(g2[0]);
  }
}

TEST(SvgCharts, ALegendTooLongForOneRowWrapsAboveThePlot) {
  OdsTable t;
  t.template_path = "lum.x11.chart.g3";
  for (const char* name : {"Label", "A", "B", "C", "D"})
    t.columns.push_back(OdsColumn{name, std::string(name) + std::string(40, 'x') + " series of a long name",
                                  std::string_view(name) == "Label" ? ColType::Char : ColType::Num, -1});
  for (int i = 0; i < 5; ++i) t.rows.push_back({std::to_string(i), 1.0 * i, 2.0 * i, 3.0 * i, 4.0 * i});
  const std::string markup = svg_chart(t);
  const auto svgs = parse_svgs(markup);
  ASSERT_EQ(svgs.size(), 1u);
  ASSERT_EQ(svgs[0].legend.size(), 4u);
  expect_legend_fits(svgs[0]);
  std::set<double> rows;
  for (const auto& e : svgs[0].legend) rows.insert(e.y);
  EXPECT_GE(rows.size(), 2u);
  // The plot starts below the last row of the legend.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(markup, m, std::regex(R"re(<rect x="\d+" y="(\d+)")re")));
  EXPECT_GT(std::stod(m[1]), *rows.rbegin());
}

// A chart object of two series over a few periods.
OdsTable chart(const std::vector<std::pair<OdsCell, OdsCell>>& values) {
  OdsTable t;
  t.template_path = "lum.x11.chart.g1";
  t.entries = {{"symbols", "X0"}};
  t.columns = {OdsColumn{"Label", "Date", ColType::Char, 0}, OdsColumn{"D11", "D11", ColType::Num, -1},
               OdsColumn{"D12", "D12", ColType::Num, -1}};
  int i = 0;
  for (const auto& [a, b] : values) t.rows.push_back({fmt::format("P{}", ++i), a, b});
  return t;
}

TEST(LinePrinterChart, SymbolsCollisionsAndMissingValues) {
  const auto lines = line_printer_chart(chart({{100.0, 100.0}, {110.0, OdsCell{}}, {120.0, 140.0}}), 80);
  ASSERT_EQ(lines.size(), 2u + 3u + 2u);  // axis, a line per period, axis
  // The same value twice: one '*' and no X or 0.
  EXPECT_NE(lines[2].find('*'), std::string::npos);
  EXPECT_EQ(lines[2].find('X'), std::string::npos);
  // A missing D12: only the X of D11.
  EXPECT_NE(lines[3].find('X'), std::string::npos);
  EXPECT_EQ(lines[3].find('0', 6), std::string::npos);
  EXPECT_LT(lines[4].find('X'), lines[4].find('0', 6));
  for (const auto& l : lines) EXPECT_LE(l.size(), 80u);
  // The axis shows tick marks and tick values.
  EXPECT_NE(lines[1].find('.'), std::string::npos);
  EXPECT_NE(lines[0].find("100"), std::string::npos);
  // A chart without values draws nothing.
  EXPECT_TRUE(line_printer_chart(chart({{OdsCell{}, OdsCell{}}}), 80).empty());
}

}  // namespace
}  // namespace x11sa::test
