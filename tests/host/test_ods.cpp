// Output objects built out of order end the step as an internal error that
// says what went wrong, rather than reaching the sinks half made.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/exit.h"
#include "host/ods.h"

namespace x11sa {
namespace {

// The text of the StepExit `call` throws, or "" when it throws none.
std::string fault_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const StepExit& e) {
    EXPECT_EQ(e.level(), exit_level::kInternal);
    return e.text();
  }
  return "";
}

TEST(OdsManager, CallsOutOfOrderEndTheStepNamingWhatWentWrong) {
  OdsManager ods;
  EXPECT_NE(fault_of([&] { ods.add_row({}); }).find("outside a table"), std::string::npos);
  EXPECT_NE(fault_of([&] { ods.close_group(); }).find("not open"), std::string::npos);
  ods.open_table("t", "Sums", "Sums");
  ods.add_column(OdsColumn{"Year", "Year", ColType::Num, 0});
  ods.add_column(OdsColumn{"Name", "Name", ColType::Char, -1});
  EXPECT_NE(fault_of([&] { ods.open_group("G", "G"); }).find("inside table Sums"), std::string::npos);
  EXPECT_NE(fault_of([&] { ods.add_row({1.0}); }).find("a row of 1 cells in table Sums of 2 columns"),
            std::string::npos);
  EXPECT_NE(fault_of([&] { ods.add_row({std::string("x"), std::string("y")}); }).find("column Year"),
            std::string::npos);
  EXPECT_EQ(fault_of([&] { ods.add_row({1.0, std::string("a")}); }), "");
  EXPECT_NE(fault_of([&] { ods.add_column(OdsColumn{"Late", "Late", ColType::Num, 0}); }).find("after its rows"),
            std::string::npos);
  EXPECT_EQ(fault_of([&] { ods.close_table(); }), "");
  EXPECT_NE(fault_of([&] { ods.close_table(); }).find("not open"), std::string::npos);
}

}  // namespace
}  // namespace x11sa
