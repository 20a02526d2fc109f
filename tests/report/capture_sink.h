// An output-object sink that keeps every table handed to it.
#pragma once

#include <vector>

#include "host/ods.h"

namespace x11sa {

struct CaptureSink : OdsSink {
  std::vector<OdsTable> tables;
  void open_group(const std::vector<OdsGroup>&) override {}
  void close_group(const std::vector<OdsGroup>&) override {}
  void table(const OdsTable& t) override { tables.push_back(t); }
};

}  // namespace x11sa
