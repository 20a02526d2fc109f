// Memory pools: every array of a BY group comes from one pool, released with
// the group. Failures are not thrown: they add to a deficit that the caller
// tests after a series of allocations.
#pragma once

#include <cstddef>
#include <memory>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace x11sa {

class MemPool {
 public:
  // `limit_bytes` caps the pool (0: no cap); a request beyond it fails like
  // an exhausted heap does.
  explicit MemPool(std::size_t limit_bytes = 0) : limit_(limit_bytes) {}

  // Uninitialised storage for `n` values of T, or nullptr with the request
  // added to the deficit.
  template <class T>
  [[nodiscard]] T* alloc(std::size_t n) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::size_t bytes = n * sizeof(T);
    if (n != 0 && bytes / n != sizeof(T)) bytes = SIZE_MAX;
    void* p = alloc_bytes(bytes);
    return static_cast<T*>(p);
  }

  // Accumulated bytes that could not be allocated since the last reset (xmemdef).
  [[nodiscard]] long deficit() const noexcept { return deficit_; }
  [[nodiscard]] std::size_t used() const noexcept { return used_; }
  // Frees every array (xmpoold); the pool can be used again and keeps its
  // largest block for that.
  void release() noexcept;

 private:
  void* alloc_bytes(std::size_t bytes);

  struct Block {
    std::unique_ptr<std::byte[]> data;
    std::size_t size = 0;    // usable bytes from data + offset
    std::size_t offset = 0;  // to the first aligned byte
    std::size_t used = 0;
  };
  std::size_t limit_;
  std::size_t used_ = 0;
  long deficit_ = 0;
  std::vector<Block> blocks_;
};

}  // namespace x11sa
