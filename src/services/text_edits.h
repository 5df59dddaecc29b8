#pragma once
// One rule's changes to a text: sorted, non-overlapping spans of the text it was applied to,
// each with its replacement. A rule can change millions of places in a large file, so a span is
// kept in a few bytes and every replacement lives in one shared buffer: no string per match.

#include <QStringView>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace morvelle {

namespace detail {

// Plain values in one block that grows with realloc, which remaps a large block instead of
// copying it: the replacements of a rule over a large file never exist twice.
template <typename T>
class GrowingBlock {
 public:
  GrowingBlock() = default;
  ~GrowingBlock() { std::free(data_); }
  GrowingBlock(GrowingBlock&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  GrowingBlock& operator=(GrowingBlock&& other) noexcept {
    GrowingBlock moved(std::move(other));
    std::swap(data_, moved.data_);
    std::swap(size_, moved.size_);
    std::swap(capacity_, moved.capacity_);
    return *this;
  }
  GrowingBlock(const GrowingBlock& other) { Append(other.data_, other.size_); }
  GrowingBlock& operator=(const GrowingBlock& other) {
    if (this != &other) *this = GrowingBlock(other);
    return *this;
  }

  const T* data() const { return data_; }
  qsizetype size() const { return size_; }

  // Throws std::bad_alloc.
  void Append(const T* values, qsizetype count) {
    if (count > capacity_ - size_) Grow(count);
    T* to = data_ + size_;
    // Most are a few values: a loop costs less than a call to memcpy.
    if (count <= 16) {
      for (qsizetype k = 0; k < count; ++k) to[k] = values[k];
    } else {
      std::memcpy(to, values, size_t(count) * sizeof(T));
    }
    size_ += count;
  }

 private:
  void Grow(qsizetype count) {
    const qsizetype want = std::max(size_ + count, 2 * capacity_ + 64);
    void* grown = std::realloc(data_, size_t(want) * sizeof(T));
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = want;
  }

  T* data_ = nullptr;
  qsizetype size_ = 0;
  qsizetype capacity_ = 0;
};

}  // namespace detail

class TextEdits {
 public:
  struct Edit {
    qsizetype start = 0;
    qsizetype length = 0;
    QStringView replacement;  // valid while the TextEdits is, and unchanged
  };

  // Spans come in order: each starts at or after the end of the one before.
  void Add(qsizetype start, qsizetype length, QStringView replacement) {
    unsigned char packed[3 * 10];
    unsigned char* at = packed;
    at = Put(at, start - end_);
    at = Put(at, length);
    at = Put(at, replacement.size());
    spans_.Append(packed, at - packed);
    replacements_.Append(replacement.utf16(), replacement.size());
    end_ = start + length;
    growth_ += replacement.size() - length;
    ++count_;
  }

  qsizetype size() const { return count_; }
  bool isEmpty() const { return count_ == 0; }
  // How much longer the text becomes (negative: shorter).
  qsizetype growth() const { return growth_; }

  class Reader {
   public:
    explicit Reader(const TextEdits& edits)
        : at_(edits.spans_.data()),
          end_(at_ + edits.spans_.size()),
          replacement_(edits.replacements_.data()) {}
    bool Next(Edit& edit) {
      if (at_ == end_) return false;
      edit.start = last_ + Get();
      edit.length = Get();
      const qsizetype size = Get();
      edit.replacement = QStringView(replacement_, size);
      last_ = edit.start + edit.length;
      replacement_ += size;
      return true;
    }

   private:
    qsizetype Get() {
      quint64 value = 0;
      for (unsigned shift = 0;; shift += 7) {
        const unsigned char b = *at_++;
        value |= quint64(b & 0x7F) << shift;
        if (!(b & 0x80)) return qsizetype(value);
      }
    }

    const unsigned char* at_;
    const unsigned char* end_;
    const char16_t* replacement_;
    qsizetype last_ = 0;  // end of the edit before
  };
  Reader reader() const { return Reader(*this); }

 private:
  // Seven bits a byte, the high bit set on all but the last.
  static unsigned char* Put(unsigned char* at, qsizetype n) {
    auto value = quint64(n);
    while (value >= 0x80) {
      *at++ = static_cast<unsigned char>(value | 0x80);
      value >>= 7;
    }
    *at++ = static_cast<unsigned char>(value);
    return at;
  }

  detail::GrowingBlock<unsigned char> spans_;  // per span: its start after the last one's end,
                                               // its length, its replacement's size
  detail::GrowingBlock<char16_t> replacements_;
  qsizetype end_ = 0;
  qsizetype growth_ = 0;
  qsizetype count_ = 0;
};

}  // namespace morvelle
