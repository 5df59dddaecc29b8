#pragma once
// UTF-16 units in one block of memory that grows and shrinks with realloc, so that glibc can
// remap a large block in place instead of copying it: a text of a gigabyte is edited without a
// second copy of it, which std::u16string's growth would make.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace morvelle::text {

class UnitBuffer {
 public:
  UnitBuffer() = default;
  ~UnitBuffer() { std::free(data_); }
  UnitBuffer(UnitBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  UnitBuffer& operator=(UnitBuffer&& other) noexcept {
    UnitBuffer moved(std::move(other));
    std::swap(data_, moved.data_);
    std::swap(size_, moved.size_);
    std::swap(capacity_, moved.capacity_);
    return *this;
  }
  UnitBuffer(const UnitBuffer&) = delete;
  UnitBuffer& operator=(const UnitBuffer&) = delete;

  char16_t* data() { return data_; }
  const char16_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  std::u16string_view view() const { return {data_, size_}; }

  // Room for `units` units, the present ones kept; untouched room costs no memory until written.
  // Throws std::bad_alloc.
  void reserve(std::size_t units) {
    if (units > capacity_) Reallocate(units);
  }
  // Units past the old size are left unwritten for the caller to fill.
  void resize(std::size_t units) {
    reserve(units);
    size_ = units;
  }
  void shrinkToFit() {
    if (capacity_ > size_ && size_ > 0) Reallocate(size_);
  }
  void assign(std::u16string_view units) {
    resize(units.size());
    if (!units.empty()) std::char_traits<char16_t>::copy(data_, units.data(), units.size());
  }

 private:
  void Reallocate(std::size_t units) {
    if (units > SIZE_MAX / sizeof(char16_t)) throw std::bad_alloc();
    void* grown = std::realloc(data_, units * sizeof(char16_t));
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<char16_t*>(grown);
    capacity_ = units;
  }

  char16_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace morvelle::text
