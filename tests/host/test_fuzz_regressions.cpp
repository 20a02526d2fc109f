// Replays the seed inputs and every input the CSV fuzzer once failed on
// through the fuzz target's own code path, built as an ordinary test.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../fuzz/csv_target.h"

namespace x11sa {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> files_in(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file()) files.push_back(it->path());
  std::sort(files.begin(), files.end());
  return files;
}

std::size_t replay(const fs::path& dir) {
  const std::vector<fs::path> files = files_in(dir);
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string problem =
        fuzz::read_csv_everything(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(problem, "") << file;
  }
  return files.size();
}

// The seeds are always there, so the replay never runs empty.
TEST(FuzzRegressions, SeedsAndRecordedFailuresReadCleanly) {
  const fs::path root = fs::path(X11SA_SOURCE_ROOT) / "fuzz";
  const std::size_t seeds = replay(root / "corpus" / "csv_fuzz");
  replay(root / "regressions" / "csv_fuzz");
  EXPECT_GE(seeds, 1u);
}

}  // namespace
}  // namespace x11sa
