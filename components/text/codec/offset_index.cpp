// The sparse offset index's lookups: a block is decoded again from its entry with the same
// steps the decoder took, so every offset agrees with Decode's.

#include "offset_index.h"

#include <algorithm>

#include "index_entry.h"
#include "jis_step.h"
#include "steps.h"

namespace morvelle::text {
namespace {

// UTF-16 takes two bytes a unit after its byte-order mark (a lone last byte is a unit too),
// Binary one: no entries needed.
std::size_t Stride(Encoding e) {
  switch (e) {
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
      return 2;
    case Encoding::Binary:
      return 1;
    default:
      return 0;
  }
}

using StepFunction = detail::Step (*)(const unsigned char*, std::size_t, std::size_t);

StepFunction StepOf(Encoding e) {
  switch (e) {
    case Encoding::ShiftJis:
      return detail::Cp932Step;
    case Encoding::EucJp:
      return detail::EucStep;
    default:
      return detail::Utf8Step;
  }
}

}  // namespace

std::size_t OffsetCursor::blockStart(std::size_t unit) const {
  if (unit >= index_.units_) return index_.bytes_;
  if (const std::size_t stride = Stride(index_.encoding_)) return index_.start_ + stride * unit;
  return detail::UnpackEntry(index_.entries_[unit / OffsetIndex::kBlock]).offset;
}

std::size_t OffsetCursor::offset(std::size_t unit) { return At(unit).offset; }

jis::State OffsetCursor::state(std::size_t unit) { return At(unit).state; }

bool OffsetCursor::splitsCharacter(std::size_t unit) {
  return unit > 0 && unit < index_.units_ && At(unit).sharesBytes;
}

const OffsetCursor::Unit& OffsetCursor::At(std::size_t unit) {
  if (unit >= index_.units_) {
    end_ = {index_.bytes_, index_.end_, false};
    return end_;
  }
  if (const std::size_t stride = Stride(index_.encoding_)) {
    end_ = {index_.start_ + stride * unit, {}, false};
    return end_;
  }
  const std::size_t block = unit / OffsetIndex::kBlock;
  if (block != block_) Load(block);
  return units_[unit % OffsetIndex::kBlock];
}

void OffsetCursor::Load(std::size_t block) {
  block_ = SIZE_MAX;  // until the block is whole: reading may throw
  const detail::IndexEntry entry = detail::UnpackEntry(index_.entries_[block]);
  const std::size_t first = block * OffsetIndex::kBlock;
  const std::size_t count = std::min(OffsetIndex::kBlock, index_.units_ - first);
  const std::size_t next = block + 1 < index_.entries_.size()
                               ? detail::UnpackEntry(index_.entries_[block + 1]).offset
                               : index_.bytes_;
  const std::size_t base = entry.offset;
  std::size_t want = next + detail::kStepLookahead;
  std::span<const unsigned char> bytes = bytes_.read(base, want);

  std::size_t produced = 0;  // units of the steps from the entry on, the skipped ones included
  auto emit = [&](std::size_t offset, jis::State state, bool shares) {
    if (produced >= entry.skip && produced - entry.skip < count) {
      units_[produced - entry.skip] = {offset, state, shares};
    }
    ++produced;
  };
  const bool jis = index_.encoding_ == Encoding::Iso2022Jp;
  const StepFunction step = StepOf(index_.encoding_);
  jis::State state = entry.state;
  std::size_t pending = SIZE_MAX;  // where escapes before the next unit began
  jis::State pendingState;
  std::size_t i = 0;  // in `bytes`
  while (produced < entry.skip + count) {
    // Every step sees the bytes it would see in the whole input: more are read when a step
    // might look past what is here (many escapes in a row can take the block that far).
    const bool atEnd = base + bytes.size() >= index_.bytes_;
    if (atEnd && i >= bytes.size()) break;  // not reached: the index counts these units
    if (!atEnd && i + detail::kStepLookahead > bytes.size()) {
      want = base + std::max(2 * bytes.size(), i + 2 * detail::kStepLookahead);
      bytes = bytes_.read(base, want);
      continue;
    }
    const unsigned char* p = bytes.data();
    const std::size_t n = bytes.size();
    if (jis) {
      const jis::State before = state;
      const detail::JisStep s = detail::JisNext(p, n, i, state);
      if (s.kind == detail::JisStep::Shift) {
        if (pending == SIZE_MAX) {
          pending = base + i;
          pendingState = before;
        }
      } else {
        emit(pending != SIZE_MAX ? pending : base + i, pending != SIZE_MAX ? pendingState : before,
             false);
        if (s.kind == detail::JisStep::Raw) {
          for (std::size_t k = 1; k < s.length; ++k) emit(base + i + k, state, false);
        }
        pending = SIZE_MAX;
      }
      i += s.length;
      continue;
    }
    if (detail::IsPlainAscii(p[i])) {
      emit(base + i, {}, false);
      ++i;
      continue;
    }
    const detail::Step s = step(p, n, i);
    if (!s.ok) {
      for (std::size_t k = 0; k < s.length; ++k) emit(base + i + k, {}, false);
    } else {
      emit(base + i, {}, false);
      if (s.codePoint >= 0x10000) emit(base + i, {}, true);
    }
    i += s.length;
  }
  block_ = block;
}

}  // namespace morvelle::text
