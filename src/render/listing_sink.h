// The listing of the procedure: the month-by-year tables and the preface in
// their classic layouts; every other object in the host's plain layout.
#pragma once

#include <string>
#include <vector>

#include "host/ods.h"
#include "render/line_printer_chart.h"

namespace x11sa {

class X11ListingSink : public ListingSink {
 public:
  explicit X11ListingSink(Listing& listing) : ListingSink(listing) {}
  void table(const OdsTable& table) override;

 private:
  void month_by_year(const OdsTable& table);
  void preface(const OdsTable& table);
  void chart(const OdsTable& table);
  void weight_list(const OdsTable& table);

  // Scratch of month_by_year, kept to spare allocations table after table.
  std::vector<char> slots_;
  std::vector<char> row_;
  std::string line_;
  std::string year_;
  TextLines chart_;
};

}  // namespace x11sa
