#include "host/pool.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace x11sa {

namespace {

constexpr std::size_t kAlign = 64;            // every array starts on a cache line
constexpr std::size_t kChunk = std::size_t{64} << 10;  // the smallest block taken from the heap

std::size_t round_up(std::size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }

}  // namespace

void* MemPool::alloc_bytes(std::size_t bytes) {
  auto fail = [&]() -> void* {
    deficit_ = bytes > static_cast<std::size_t>(LONG_MAX) - static_cast<std::size_t>(deficit_)
                   ? LONG_MAX
                   : deficit_ + static_cast<long>(bytes);
    return nullptr;
  };
  if (bytes >= SIZE_MAX - kAlign || (limit_ != 0 && bytes > limit_ - std::min(used_, limit_))) return fail();
  const std::size_t need = round_up(std::max<std::size_t>(bytes, 1));
  // Arrays are carved from large blocks: one heap allocation serves many.
  if (blocks_.empty() || blocks_.back().size - blocks_.back().used < need) {
    Block b;
    b.size = std::max(need, kChunk);
    try {
      b.data = std::make_unique_for_overwrite<std::byte[]>(b.size + kAlign);
    } catch (const std::bad_alloc&) {
      return fail();
    }
    const auto addr = reinterpret_cast<std::uintptr_t>(b.data.get());
    b.offset = static_cast<std::size_t>(round_up(addr) - addr);
    blocks_.push_back(std::move(b));
  }
  Block& b = blocks_.back();
  void* p = b.data.get() + b.offset + b.used;
  b.used += need;
  used_ += bytes;
  return p;
}

void MemPool::release() noexcept {
  // The largest block stays for the next group, which is usually as large.
  if (!blocks_.empty()) {
    auto largest = std::max_element(blocks_.begin(), blocks_.end(),
                                    [](const Block& a, const Block& b) { return a.size < b.size; });
    Block keep = std::move(*largest);
    keep.used = 0;
    blocks_.clear();
    blocks_.push_back(std::move(keep));
  }
  used_ = 0;
  deficit_ = 0;
}

}  // namespace x11sa
