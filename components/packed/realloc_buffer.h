#pragma once
// Plain values in one block that grows and shrinks with realloc, so that glibc can remap a large
// block in place instead of copying it: a text of a gigabyte is edited without a second copy of
// it, which std::u16string's growth would make. Room that is reserved but not written costs no
// memory, and nothing is cleared that is about to be written.

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

namespace morvelle::packed {

template <typename T>
requires std::is_trivially_copyable_v<T>
class ReallocBuffer {
 public:
  ReallocBuffer() = default;
  // This class is the owner: realloc, not new, is what lets a large block grow in place.
  ~ReallocBuffer() { std::free(data_); }  // NOLINT(cppcoreguidelines-owning-memory)
  ReallocBuffer(ReallocBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  ReallocBuffer& operator=(ReallocBuffer&& other) noexcept {
    ReallocBuffer moved(std::move(other));
    std::swap(data_, moved.data_);
    std::swap(size_, moved.size_);
    std::swap(capacity_, moved.capacity_);
    return *this;
  }
  ReallocBuffer(const ReallocBuffer&) = delete;
  ReallocBuffer& operator=(const ReallocBuffer&) = delete;

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return capacity_; }
  std::span<const T> span() const { return {data_, size_}; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  std::u16string_view view() const requires std::same_as<T, char16_t> { return {data_, size_}; }

  // Room for `count` values, the present ones kept. Throws std::bad_alloc.
  void reserve(std::size_t count) {
    if (count > capacity_) Reallocate(count);
  }
  // Values past the old size are left unwritten for the caller to fill.
  void resize(std::size_t count) {
    reserve(count);
    size_ = count;
  }
  void shrinkToFit() {
    if (capacity_ > size_ && size_ > 0) Reallocate(size_);
  }
  void assign(std::span<const T> values) {
    resize(values.size());
    for (std::size_t k = 0; k < values.size(); ++k) data_[k] = values[k];
  }

  // Appends `count` values, growing the block geometrically. Throws std::bad_alloc.
  void append(const T* values, std::size_t count) {
    if (count > capacity_ - size_) Reallocate(std::max(size_ + count, 2 * capacity_ + 64));
    T* to = data_ + size_;
    // Most are a few values: a loop costs less than a call to memcpy.
    if (count <= 16) {
      for (std::size_t k = 0; k < count; ++k) to[k] = values[k];
    } else {
      std::memcpy(to, values, count * sizeof(T));
    }
    size_ += count;
  }

 private:
  void Reallocate(std::size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    // NOLINTNEXTLINE(cppcoreguidelines-owning-memory): data_ owns the block; see the destructor
    void* grown = std::realloc(data_, count * sizeof(T));
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = count;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace morvelle::packed
