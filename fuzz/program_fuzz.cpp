// libFuzzer target: arbitrary bytes as a program, read and parsed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "program_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = x11sa::fuzz::read_program_everything(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "program_fuzz: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
