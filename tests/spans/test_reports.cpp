// A real series through a whole run, its first year missing so that the
// spans start inside the run's arrays: the listings S 7 show the estimates
// OUTSPAN= holds, at its dates, and the summaries count the listings' flags.
#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/dates.h"
#include "support/run_support.h"

namespace x11sa::test {
namespace {

TEST(SpanReports, ListingsShowTheEstimatesOfOutspan) {
  ScratchDir dir;
  std::string csv = read_file(data_file("seatbelts.csv"));
  std::size_t line = csv.find('\n') + 1;
  for (int month = 0; month < 12; ++month, line = csv.find('\n', line) + 1) csv.erase(csv.find(',', line) + 1, 4);
  dir.write("gaps.csv", csv);
  RunOptions opt;
  std::string log, listing;
  opt.libs.emplace_back("WORK", dir.path().string());
  opt.log_text = &log;
  opt.listing_text = &listing;
  opt.progress = nullptr;
  opt.json_path = (dir.path() / "report.json").string();
  run_program("proc x11 data=gaps outspan=sp;\n monthly date=date tdregr=adjust;\n var drivers;\n sspan printall;\nrun;\n",
              opt);
  ASSERT_NE(log.find("sp.csv has 384 observations"), std::string::npos) << log;  // four spans of 96 months
  // The cells of each report table by row and column name.
  boost::property_tree::ptree tree;
  boost::property_tree::read_json(opt.json_path, tree);
  std::map<std::string, std::vector<std::map<std::string, std::string>>> tables;
  for (const auto& [k, obj] : tree.get_child("steps").front().second.get_child("objects")) {
    std::vector<std::string> columns;
    for (const auto& [k2, c] : obj.get_child("columns")) columns.push_back(c.get<std::string>("name"));
    auto& rows = tables[obj.get<std::string>("entries.tab_title", "")];
    for (const auto& [k2, r] : obj.get_child("rows")) {
      auto& row = rows.emplace_back();
      for (const auto& [k3, cell] : r) row[columns[row.size()]] = cell.get_value<std::string>();
    }
  }
  ASSERT_EQ(tables["S 0.A.2"].size(), 4u);
  EXPECT_EQ(tables["S 0.A.2"][0]["BEGIN"], "JAN1974");
  EXPECT_EQ(tables["S 0.A.2"][3]["End"], "DEC1984");
  const Table sp = read_table(dir.path() / "sp.csv");
  for (const auto& [id, series] : {std::pair{"S 7.A", "D10"}, {"S 7.B", "C18"}, {"S 7.C", "D11"}}) {
    std::map<std::string, double> outspan;  // span number and date -> estimate
    for (long r = 0; r < sp.rows; ++r)
      outspan[fmt::format("{}{}", sp.num.at("SPAN")[r], format_monyy(sp.num.at("DATE")[r], 7))] = sp.num.at(series)[r];
    ASSERT_EQ(tables[id].size(), 96u + 3 * 12) << id;
    long shown = 0;
    for (auto& row : tables[id]) {
      for (int i = 1; i <= 4; ++i) {
        const std::string& cell = row[fmt::format("Span{}", i)];
        const auto it = outspan.find(fmt::format("{}{}", i, row["Date"]));
        ASSERT_EQ(cell == "null", it == outspan.end()) << id << " " << row["Date"] << " span " << i;
        if (it == outspan.end()) continue;
        EXPECT_NEAR(std::stod(cell), it->second, 1e-9 * it->second) << id << " " << row["Date"];
        ++shown;
      }
    }
    EXPECT_EQ(shown, 4 * 96) << id;
  }
  auto marked = [&](const char* id, const char* column) {
    return static_cast<double>(std::count_if(tables[id].begin(), tables[id].end(),
                                             [&](auto& row) { return !row[column].empty(); }));
  };
  EXPECT_EQ(std::stod(tables["S 2.A.3"][0]["Nfound"]), marked("S 7.A", "LevelOfExcess"));
  EXPECT_EQ(std::stod(tables["S 2.A.3"][1]["Nfound"]), marked("S 7.A", "SignChange"));
  EXPECT_EQ(std::stod(tables["S 4.A.3"][1]["Nfound"]), marked("S 7.C", "TurningPoint"));
}

}  // namespace
}  // namespace x11sa::test
