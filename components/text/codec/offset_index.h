#pragma once
// Where each unit of a decoded text came from, kept sparse: one entry for every kBlock units
// instead of an offset per unit, which at eight bytes a unit would be six times the size of a
// Japanese file. The units between two entries are found again by decoding their block from the
// entry before them; a save does that once for each block an edit touches, and never reads the
// blocks inside an untouched span. A small text may keep a four-byte offset per unit instead
// (dense): its memory does not matter, and a save with edits all over it then decodes nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codec.h"
#include "steps.h"
#include "unit_buffer.h"

namespace morvelle::text {

class OffsetIndex {
 public:
  static constexpr std::size_t kBlock = 256;

  Encoding encoding() const { return encoding_; }
  std::size_t units() const { return units_; }  // of the decoded text
  std::size_t bytes() const { return bytes_; }  // of the input
  // Every byte decoded to a character: none is kept as an undecodable byte.
  bool clean() const { return clean_; }
  // Dense: Decoded::offsets as four-byte numbers; else empty.
  std::span<const std::uint32_t> dense() const { return dense_.span(); }

 private:
  friend class OffsetCursor;
  friend void DecodeIndexed(Encoding, std::span<const unsigned char>, UnitBuffer&, OffsetIndex&,
                            bool);

  Encoding encoding_ = Encoding::Ascii;
  std::size_t start_ = 0;  // the byte-order mark's length
  std::size_t units_ = 0;
  std::size_t bytes_ = 0;
  // Entry k: where the decoding step that yields unit k * kBlock begins (for ISO-2022-JP the
  // escapes before it), how many units of that step come before it, and the ISO-2022-JP state
  // there. UTF-16 and Binary need none: their offsets are arithmetic.
  std::vector<std::uint64_t> entries_;
  jis::State end_;  // the ISO-2022-JP state after the last byte
  bool clean_ = true;
  // Dense: every unit's offset and the input's size after them; no entries then.
  ReallocBuffer<std::uint32_t> dense_;
};

// Decodes as Decode does, keeping the sparse index instead of the offsets, into a buffer that
// can be edited in place; `dense` asks for every offset where the code allows (not for
// ISO-2022-JP, whose states the sparse index keeps, nor beyond four gigabytes). Throws
// std::bad_alloc.
void DecodeIndexed(Encoding encoding, std::span<const unsigned char> bytes, UnitBuffer& text,
                   OffsetIndex& index, bool dense = false);

// The input's bytes on demand: held in memory, or read again from the file.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The bytes from `from` on, at least up to `to` or the input's end, maybe more; valid until the
  // next call. Throws what reading them throws.
  virtual std::span<const unsigned char> read(std::size_t from, std::size_t to) = 0;
};

// Offsets of the units a save asks for, in increasing order: each block is decoded once, as
// long as the units asked for do not go back into an earlier block.
class OffsetCursor {
 public:
  OffsetCursor(const OffsetIndex& index, ByteSource& bytes);

  // Decoded::offsets[unit], for unit <= units().
  std::size_t offset(std::size_t unit);
  // The ISO-2022-JP state at offset(unit), before the escapes that lead to the unit.
  jis::State state(std::size_t unit);
  // Whether the cut before `unit` falls inside one character's bytes (between the halves of a
  // pair decoded from one UTF-8 character): those units cannot be copied apart.
  bool splitsCharacter(std::size_t unit);
  // Where decoding of the block holding `unit` begins: at most offset(unit), and known without
  // reading any bytes.
  std::size_t blockStart(std::size_t unit) const;

 private:
  // Loads the block holding `unit` (a unit below units()) and returns its place there.
  std::size_t Slot(std::size_t unit) {
    const std::size_t block = unit / OffsetIndex::kBlock;
    if (block != block_) Load(block);
    return unit % OffsetIndex::kBlock;
  }
  void Load(std::size_t block);
  // kUnitBytes: 1 for the byte-oriented codes, 2 for UTF-16, 4 for UTF-32.
  template <detail::Step (*kStep)(const unsigned char*, std::size_t, std::size_t),
            std::size_t kUnitBytes = 1>
  void LoadStepped(std::size_t block);
  void LoadJis(std::size_t block);
  // The units `block` holds, and the offset where the next block's bytes begin.
  std::size_t UnitsIn(std::size_t block) const;
  std::size_t EndOf(std::size_t block) const;

  const OffsetIndex& index_;
  ByteSource& bytes_;
  std::size_t stride_ = 0;        // UTF-16 and Binary: bytes a unit
  std::size_t block_ = SIZE_MAX;  // the block decoded below
  std::array<std::size_t, OffsetIndex::kBlock> offsets_{};
  std::array<std::uint64_t, OffsetIndex::kBlock / 64> shares_{};  // a pair's second half
  std::array<jis::State, OffsetIndex::kBlock> states_{};          // ISO-2022-JP only
};

}  // namespace morvelle::text
