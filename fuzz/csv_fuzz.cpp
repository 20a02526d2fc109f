// libFuzzer target: arbitrary bytes as a CSV data set, read in every way.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "csv_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = x11sa::fuzz::read_csv_everything(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "csv_fuzz: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
