// Memory pools: aligned arrays carved from blocks, the deficit of a capped
// pool, and reuse after release.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "host/pool.h"

namespace x11sa {
namespace {

TEST(MemPool, ArraysAreAlignedDistinctAndUsable) {
  MemPool pool;
  double* a = pool.alloc<double>(100);
  double* b = pool.alloc<double>(3);
  short* c = pool.alloc<short>(7);
  double* big = pool.alloc<double>(100000);  // larger than a block
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  ASSERT_NE(big, nullptr);
  for (const void* p : {static_cast<const void*>(a), static_cast<const void*>(b), static_cast<const void*>(c),
                        static_cast<const void*>(big)})
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
  // Writing every array in full leaves the others intact.
  std::fill(a, a + 100, 1.0);
  std::fill(b, b + 3, 2.0);
  std::fill(c, c + 7, static_cast<short>(3));
  std::fill(big, big + 100000, 4.0);
  EXPECT_EQ(a[99], 1.0);
  EXPECT_EQ(b[0], 2.0);
  EXPECT_EQ(c[6], 3);
  EXPECT_EQ(pool.deficit(), 0);
  EXPECT_EQ(pool.used(), 100 * 8 + 3 * 8 + 7 * 2 + 800000u);
}

TEST(MemPool, ACapTurnsRequestsIntoADeficit) {
  MemPool pool(1000);
  EXPECT_NE(pool.alloc<double>(100), nullptr);  // 800 bytes
  EXPECT_EQ(pool.alloc<double>(100), nullptr);  // 800 more would pass the cap
  EXPECT_EQ(pool.deficit(), 800);
  EXPECT_EQ(pool.alloc<double>(SIZE_MAX / 4), nullptr);  // size overflow is a failure, not a crash
  EXPECT_GT(pool.deficit(), 800);
  pool.release();
  EXPECT_EQ(pool.deficit(), 0);
  EXPECT_NE(pool.alloc<double>(100), nullptr);
}

TEST(MemPool, ReleaseKeepsABlockForTheNextGroup) {
  MemPool pool;
  double* first = pool.alloc<double>(1000);
  pool.release();
  double* again = pool.alloc<double>(1000);
  EXPECT_EQ(first, again);  // the same memory serves the next group
  EXPECT_EQ(pool.used(), 8000u);
}

}  // namespace
}  // namespace x11sa
