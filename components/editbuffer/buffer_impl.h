#pragma once
// The file buffer's state, shared by its editing half (file_buffer.cpp) and its saving half
// (save.cpp).

#include <string>

#include "file_buffer.h"
#include "original.h"
#include "runs.h"
#include "text/codec/offset_index.h"
#include "text/codec/unit_buffer.h"

namespace morvelle::editbuffer {

struct FileBuffer::Impl {
  std::string name;  // for messages
  text::Encoding encoding = text::Encoding::Ascii;
  std::size_t bom = 0;
  Original original;

  // The text, decoded on first use: a file that is only loaded and saved is never decoded.
  bool decoded = false;
  text::UnitBuffer text;
  text::OffsetIndex index;  // of the loaded text

  bool edited = false;  // runs are valid only once edited
  Runs runs;

  void Decode() {
    if (decoded) return;
    text::DecodeIndexed(encoding, original.bytes(), text, index);
    decoded = true;
    original.Drop();
  }

  bool Unchanged() const {
    return !edited || (runs.kept() == index.units() && text.size() == index.units());
  }
};

// Streams what a save writes; throws BufferError naming `name`.
void WriteOutput(FileBuffer::Impl& d, ByteSink& sink, const std::string& name);

}  // namespace morvelle::editbuffer
