// The listing of the procedure: the month-by-year tables and the preface in
// their classic layouts; every other object in the host's plain layout.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/ods.h"
#include "render/line_printer_chart.h"

namespace x11sa {

class X11ListingSink : public ListingSink {
 public:
  explicit X11ListingSink(Listing& listing) : ListingSink(listing) {}
  void begin_step(const std::string& proc, int line) override;
  void end_step(int exit_level) override;
  void open_group(const std::vector<OdsGroup>& path) override;
  void close_group(const std::vector<OdsGroup>& path) override;
  void table(const OdsTable& table) override;

 private:
  // Writes the held convergence summary, on one page with the `next` plain
  // table when they fit there together.
  void release_held(const OdsTable* next = nullptr);

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
  // The convergence summary of an ARIMA estimation, held back until the
  // report after it, the estimates it describes, comes.
  std::optional<OdsTable> held_;
};

}  // namespace x11sa
