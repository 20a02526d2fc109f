#include "host/pool.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace x11sa {

void* MemPool::alloc_bytes(std::size_t bytes) {
  auto fail = [&]() -> void* {
    deficit_ = bytes > static_cast<std::size_t>(LONG_MAX) - static_cast<std::size_t>(deficit_)
                   ? LONG_MAX
                   : deficit_ + static_cast<long>(bytes);
    return nullptr;
  };
  if (bytes == SIZE_MAX || (limit_ != 0 && bytes > limit_ - std::min(used_, limit_))) return fail();
  std::unique_ptr<std::byte[]> block;
  try {
    block = std::make_unique_for_overwrite<std::byte[]>(bytes == 0 ? 1 : bytes);
  } catch (const std::bad_alloc&) {
    return fail();
  }
  void* p = block.get();
  blocks_.push_back(std::move(block));
  used_ += bytes;
  return p;
}

void MemPool::release() noexcept {
  blocks_.clear();
  used_ = 0;
  deficit_ = 0;
}

}  // namespace x11sa
