// The HTML document's escaping and the line-printer charts. (What each print
// level prints is pinned by the golden listings.)
#include <gtest/gtest.h>

#include <fstream>

#include "render/line_printer_chart.h"
#include "render/html.h"
#include "support/run_support.h"

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
