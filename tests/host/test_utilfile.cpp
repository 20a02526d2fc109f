#include "host/utilfile.h"

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace x11sa {
namespace {

// The operations below run against a UtilFile and against a plain byte vector
// that models it; both must agree at every step.
struct Model {
  std::vector<unsigned char> bytes;
  std::size_t pos = 0;
};

void write_both(UtilFile& f, Model& m, const std::vector<unsigned char>& data) {
  ASSERT_TRUE(f.write(data.data(), data.size()));
  if (m.pos + data.size() > m.bytes.size()) m.bytes.resize(m.pos + data.size());
  std::copy(data.begin(), data.end(), m.bytes.begin() + static_cast<std::ptrdiff_t>(m.pos));
  m.pos += data.size();
}

// A random sequence of writes, reads and seeks, checked against the model.
void exercise(UtilFile& f, std::uint64_t seed, int steps) {
  std::mt19937_64 gen(seed);
  Model m;
  for (int step = 0; step < steps; ++step) {
    const auto op = gen() % 4;
    const std::size_t n = gen() % 300;
    if (op <= 1) {
      std::vector<unsigned char> data(n);
      for (auto& b : data) b = static_cast<unsigned char>(gen());
      write_both(f, m, data);
    } else if (op == 2) {
      std::vector<unsigned char> got(n, 0xAA);
      const bool ok = f.read(got.data(), n);
      ASSERT_EQ(ok, m.pos + n <= m.bytes.size()) << "step " << step;
      if (ok) {
        ASSERT_TRUE(std::equal(got.begin(), got.end(), m.bytes.begin() + static_cast<std::ptrdiff_t>(m.pos)))
            << "step " << step;
        m.pos += n;
      }
    } else {
      const std::size_t target = gen() % (m.bytes.size() + 10);
      ASSERT_EQ(f.point(target), target <= m.bytes.size());
      if (target <= m.bytes.size()) m.pos = target;
    }
    ASSERT_EQ(f.note(), m.pos);
    ASSERT_EQ(f.size(), m.bytes.size());
  }
  // Everything read back in one piece.
  ASSERT_TRUE(f.point(0));
  std::vector<unsigned char> all(m.bytes.size());
  ASSERT_TRUE(f.read(all.data(), all.size()));
  EXPECT_EQ(all, m.bytes);
}

TEST(UtilFile, RandomAccessAgreesWithTheModelInMemoryOnDiskAndAfterClear) {
  UtilFile memory;
  exercise(memory, 1, 3000);
  EXPECT_FALSE(memory.on_disk());
  UtilFile spilled(1000);
  exercise(spilled, 1, 3000);  // the same operations as in memory
  EXPECT_TRUE(spilled.on_disk());

  UtilFile from_start(0);  // nothing in memory at all
  exercise(from_start, 2, 2000);
  EXPECT_TRUE(from_start.on_disk());
  from_start.clear();
  EXPECT_EQ(from_start.size(), 0u);
  EXPECT_EQ(from_start.note(), 0u);
  unsigned char byte = 0;
  EXPECT_FALSE(from_start.read(&byte, 1));
  exercise(from_start, 3, 500);
}

TEST(UtilFile, TheLimitIsTheLastByteKeptInMemory) {
  UtilFile f(16);
  const std::vector<unsigned char> data(16, 7);
  ASSERT_TRUE(f.write(data.data(), data.size()));
  EXPECT_FALSE(f.on_disk());
  ASSERT_TRUE(f.point(15));
  ASSERT_TRUE(f.write(data.data(), 1));  // overwriting stays within the limit
  EXPECT_FALSE(f.on_disk());
  ASSERT_TRUE(f.write(data.data(), 1));
  EXPECT_TRUE(f.on_disk());
  EXPECT_EQ(f.size(), 17u);
}

TEST(UtilFile, ReadingPastTheEndFailsAndKeepsThePosition) {
  for (const std::size_t limit : {std::size_t{1} << 20, std::size_t{0}}) {
    UtilFile f(limit);
    const double values[3] = {1.5, -2.0, 3.25};
    ASSERT_TRUE(f.write(values, sizeof values));
    double back[4] = {};
    EXPECT_FALSE(f.read(back, sizeof back));  // at the end
    ASSERT_TRUE(f.point(8));
    EXPECT_FALSE(f.read(back, sizeof back));  // 16 bytes left, 32 asked
    EXPECT_EQ(f.note(), 8u);
    ASSERT_TRUE(f.read(back, 2 * sizeof(double)));
    EXPECT_EQ(back[0], -2.0);
    EXPECT_EQ(back[1], 3.25);
    EXPECT_TRUE(f.read(back, 0));
    EXPECT_FALSE(f.point(25));
    EXPECT_EQ(f.note(), 24u);
  }
}

TEST(UtilFile, MovesCarryTheContent) {
  UtilFile a(100);
  const std::vector<unsigned char> data = {1, 2, 3, 4, 5};
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(a.write(data.data(), data.size()));
  ASSERT_TRUE(a.on_disk());
  UtilFile b(std::move(a));
  EXPECT_EQ(b.size(), 250u);
  ASSERT_TRUE(b.point(245));
  std::vector<unsigned char> back(5);
  ASSERT_TRUE(b.read(back.data(), back.size()));
  EXPECT_EQ(back, data);

  UtilFile c;
  ASSERT_TRUE(c.write(data.data(), 2));
  c = std::move(b);
  EXPECT_EQ(c.size(), 250u);
  EXPECT_TRUE(c.on_disk());
  ASSERT_TRUE(c.point(0));
  ASSERT_TRUE(c.read(back.data(), back.size()));
  EXPECT_EQ(back, data);
}

TEST(UtilFile, AnUnusableTemporaryFolderFailsTheWrite) {
  const char* saved = std::getenv("TMPDIR");
  const std::string old = saved != nullptr ? saved : "";
  ::setenv("TMPDIR", "/nonexistent-x11sa-folder", 1);
  UtilFile f(4);
  const std::vector<unsigned char> data(8, 1);
  EXPECT_TRUE(f.write(data.data(), 4));
  EXPECT_FALSE(f.write(data.data(), 8));
  EXPECT_EQ(f.size(), 4u);  // what was stored is still there
  EXPECT_EQ(f.note(), 4u);
  if (saved != nullptr) ::setenv("TMPDIR", old.c_str(), 1);
  else ::unsetenv("TMPDIR");
  ASSERT_TRUE(f.point(0));
  std::vector<unsigned char> back(4);
  ASSERT_TRUE(f.read(back.data(), back.size()));
  EXPECT_EQ(back, std::vector<unsigned char>(4, 1));
}

}  // namespace
}  // namespace x11sa
