// The sparse offset index's lookups: a block is decoded again from its entry with the same
// steps the decoder took, so every offset agrees with Decode's.

#include "offset_index.h"

#include <algorithm>

#include "index_entry.h"
#include "jis_step.h"

namespace morvelle::text {
namespace {

// UTF-16 without a broken unit takes two bytes a unit after its byte-order mark (a lone last
// byte is a unit too), Binary one: no entries then.
std::size_t Stride(const OffsetIndex& index, bool hasEntries) {
  switch (index.encoding()) {
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
      return hasEntries ? 0 : 2;
    case Encoding::Binary:
      return 1;
    default:
      return 0;
  }
}

// The bytes of a block from its entry on, read again when a step might look past them (many
// escapes in a row can take a block that far): every step sees what it saw in the whole input.
class BlockBytes {
 public:
  BlockBytes(ByteSource& source, std::size_t base, std::size_t end, std::size_t size)
      : source_(source), base_(base), size_(size) {
    Read(end + detail::kStepLookahead);
  }
  const unsigned char* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }
  // Makes sure a step at `i` sees its bytes; false at the input's end.
  bool Ensure(std::size_t i) {
    if (i + detail::kStepLookahead <= bytes_.size() || atEnd_) return i < bytes_.size();
    Read(base_ + std::max(2 * bytes_.size(), i + 2 * detail::kStepLookahead));
    return i < bytes_.size();
  }

 private:
  void Read(std::size_t to) {
    bytes_ = source_.read(base_, to);
    atEnd_ = base_ + bytes_.size() >= size_;
  }
  ByteSource& source_;
  std::size_t base_;
  std::size_t size_;
  std::span<const unsigned char> bytes_;
  bool atEnd_ = false;
};

}  // namespace

OffsetCursor::OffsetCursor(const OffsetIndex& index, ByteSource& bytes)
    : index_(index), bytes_(bytes), stride_(Stride(index, !index.entries_.empty())) {}

std::size_t OffsetCursor::blockStart(std::size_t unit) const {
  if (unit >= index_.units_) return index_.bytes_;
  if (stride_) return index_.start_ + stride_ * unit;
  if (!index_.dense_.empty()) return index_.dense_[unit];
  return detail::UnpackEntry(index_.entries_[unit / OffsetIndex::kBlock]).offset;
}

std::size_t OffsetCursor::offset(std::size_t unit) {
  if (unit >= index_.units_) return index_.bytes_;
  if (stride_) return index_.start_ + stride_ * unit;
  if (!index_.dense_.empty()) return index_.dense_[unit];
  return offsets_[Slot(unit)];
}

jis::State OffsetCursor::state(std::size_t unit) {
  if (index_.encoding_ != Encoding::Iso2022Jp) return {};
  if (unit >= index_.units_) return index_.end_;
  return states_[Slot(unit)];
}

bool OffsetCursor::splitsCharacter(std::size_t unit) {
  if (unit == 0 || unit >= index_.units_ || stride_) return false;
  // Only the halves of a pair share an offset.
  if (!index_.dense_.empty()) return index_.dense_[unit] == index_.dense_[unit - 1];
  const std::size_t k = Slot(unit);
  return (shares_[k / 64] >> (k % 64)) & 1;
}

void OffsetCursor::Load(std::size_t block) {
  block_ = SIZE_MAX;  // until the block is whole: reading may throw
  shares_.fill(0);
  switch (index_.encoding_) {
    case Encoding::ShiftJis:
      LoadStepped<detail::Cp932Step>(block);
      break;
    case Encoding::EucJp:
      LoadStepped<detail::EucStep>(block);
      break;
    case Encoding::Iso2022Jp:
      LoadJis(block);
      break;
    case Encoding::Utf16Le:
      LoadStepped<detail::Utf16Step<false>, 2>(block);
      break;
    case Encoding::Utf16Be:
      LoadStepped<detail::Utf16Step<true>, 2>(block);
      break;
    case Encoding::Utf32Le:
      LoadStepped<detail::Utf32Step<false>, 4>(block);
      break;
    case Encoding::Utf32Be:
      LoadStepped<detail::Utf32Step<true>, 4>(block);
      break;
    default:
      LoadStepped<detail::Utf8Step>(block);
      break;
  }
  block_ = block;
}

std::size_t OffsetCursor::UnitsIn(std::size_t block) const {
  return std::min(OffsetIndex::kBlock, index_.units_ - block * OffsetIndex::kBlock);
}

std::size_t OffsetCursor::EndOf(std::size_t block) const {
  return block + 1 < index_.entries_.size() ? detail::UnpackEntry(index_.entries_[block + 1]).offset
                                            : index_.bytes_;
}

template <detail::Step (*kStep)(const unsigned char*, std::size_t, std::size_t),
          std::size_t kUnitBytes>
void OffsetCursor::LoadStepped(std::size_t block) {
  // The halves of a UTF-16 pair have offsets of their own (as DecodeWide gives them); those of
  // a pair decoded from one UTF-8 or UTF-32 character share it.
  constexpr bool kOwnHalves = kUnitBytes == 2;
  const detail::IndexEntry entry = detail::UnpackEntry(index_.entries_[block]);
  const std::size_t count = UnitsIn(block);
  const std::size_t base = entry.offset;
  BlockBytes bytes(bytes_, base, EndOf(block), index_.bytes_);
  std::size_t* out = offsets_.data();
  std::size_t k = 0;  // units stored
  std::size_t i = 0;  // in `bytes`
  // The entry's step may yield units before the block's first: undecodable bytes are a unit
  // each, the second half of a pair shares the character's offset.
  if (entry.skip > 0 && bytes.Ensure(0)) {
    const detail::Step s = kStep(bytes.data(), bytes.size(), 0);
    if (s.ok) {
      if constexpr (kOwnHalves) {
        out[k++] = base + 2;
      } else {
        shares_[0] = 1;
        out[k++] = base;
      }
    } else {
      for (std::size_t j = entry.skip; j < s.length && k < count; ++j) out[k++] = base + j;
    }
    i = s.length;
  }
  while (k < count && bytes.Ensure(i)) {
    const unsigned char* p = bytes.data();
    if (kUnitBytes == 1 && detail::IsPlainAscii(p[i])) {
      out[k++] = base + i++;
      continue;
    }
    const detail::Step s = kStep(p, bytes.size(), i);
    if (!s.ok) {
      for (std::size_t j = 0; j < s.length && k < count; ++j) out[k++] = base + i + j;
    } else {
      out[k++] = base + i;
      if (s.codePoint >= 0x10000 && k < count) {
        if constexpr (kOwnHalves) {
          out[k++] = base + i + 2;
        } else {
          shares_[k / 64] |= std::uint64_t{1} << (k % 64);
          out[k++] = base + i;
        }
      }
    }
    i += s.length;
  }
}

// ISO-2022-JP: escapes belong to the unit after them, with the state before them.
void OffsetCursor::LoadJis(std::size_t block) {
  const detail::IndexEntry entry = detail::UnpackEntry(index_.entries_[block]);
  const std::size_t count = UnitsIn(block);
  const std::size_t base = entry.offset;
  BlockBytes bytes(bytes_, base, EndOf(block), index_.bytes_);
  std::size_t skip = entry.skip;
  std::size_t k = 0;
  auto unit = [&](std::size_t offset, jis::State state) {
    if (skip > 0) {
      --skip;
    } else if (k < count) {
      offsets_[k] = offset;
      states_[k++] = state;
    }
  };
  jis::State state = entry.state;
  std::size_t pending = SIZE_MAX;  // where escapes before the next unit began
  jis::State pendingState;
  for (std::size_t i = 0; k < count && bytes.Ensure(i);) {
    const jis::State before = state;
    const detail::JisStep s = detail::JisNext(bytes.data(), bytes.size(), i, state);
    if (s.kind == detail::JisStep::Shift) {
      if (pending == SIZE_MAX) {
        pending = base + i;
        pendingState = before;
      }
    } else {
      const bool escaped = pending != SIZE_MAX;
      unit(escaped ? pending : base + i, escaped ? pendingState : before);
      if (s.kind == detail::JisStep::Raw) {
        for (std::size_t j = 1; j < s.length; ++j) unit(base + i + j, state);
      }
      pending = SIZE_MAX;
    }
    i += s.length;
  }
}

}  // namespace morvelle::text
