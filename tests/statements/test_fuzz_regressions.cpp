// Replays the seed programs and every input the program fuzzer once failed
// on through the fuzz target's own code path, built as an ordinary test.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../fuzz/program_target.h"

namespace x11sa {
namespace {

namespace fs = std::filesystem;

std::size_t replay(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file()) files.push_back(it->path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(fuzz::read_program_everything(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
        << file;
  }
  return files.size();
}

TEST(ProgramFuzzRegressions, SeedsAndRecordedFailuresParseCleanly) {
  const fs::path root = fs::path(X11SA_SOURCE_ROOT) / "fuzz";
  EXPECT_GE(replay(root / "corpus" / "program_fuzz"), 7u);
  replay(root / "regressions" / "program_fuzz");
}

}  // namespace
}  // namespace x11sa
