// LocalBlock: a block of the process heap (LocalAlloc) released on scope
// exit. The library takes its variable-size buffers from LocalAlloc so that
// an exhausted heap shows as a null block and an error code, never as an
// exception.
// Thread-safety: one owner.
#ifndef VELSETUP_LOCAL_BLOCK_H
#define VELSETUP_LOCAL_BLOCK_H

#include <windows.h>

#include <cstddef>
#include <utility>

namespace velsetup {

class LocalBlock {
 public:
  LocalBlock() = default;
  // Zero-filled; null (with the last error set) when the heap refuses.
  explicit LocalBlock(std::size_t bytes) : data_(LocalAlloc(LPTR, bytes)), size_(data_ ? bytes : 0) {}
  ~LocalBlock() { LocalFree(data_); }
  LocalBlock(LocalBlock&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  LocalBlock& operator=(LocalBlock&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  LocalBlock(const LocalBlock&) = delete;
  LocalBlock& operator=(const LocalBlock&) = delete;

  explicit operator bool() const { return data_ != nullptr; }
  std::size_t size() const { return size_; }
  template <class T>
  T* as() const {
    return static_cast<T*>(data_);
  }

 private:
  HLOCAL data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace velsetup

#endif
