#pragma once
// The file buffer's state, shared by its editing half (file_buffer.cpp) and its saving half
// (save.cpp).

#include <functional>
#include <optional>
#include <string>

#include "file_buffer.h"
#include "original.h"
#include "runs.h"
#include "text/codec/offset_index.h"
#include "text/codec/unit_buffer.h"
#include "text/detect/detect.h"

namespace morvelle::editbuffer {

// The kept bytes of a decoded text.
Unreadable FindUnreadable(std::u16string_view text);

struct FileBuffer::Impl {
  std::string name;  // for messages
  Original original;
  std::optional<mode_t> mode;  // of the file loaded, not of bytes given

  // The code, recognised on first use: a file only copied needs none.
  bool recognised = false;
  text::Encoding encoding = text::Encoding::Ascii;
  std::size_t bom = 0;

  // The text, decoded on first use: a file that is only loaded and saved is never decoded.
  bool dense = true;  // every unit's offset kept (LoadOptions::denseBelow)
  bool decoded = false;
  std::optional<text::Encoding> decodedAs;  // what the text holds, decoded in this code
  text::UnitBuffer text;
  text::OffsetIndex index;  // of the loaded text

  bool edited = false;  // runs are valid only once edited
  Runs runs;
  Unreadable unreadable;  // of the loaded text, found when it is decoded

  // `check`, when given, stands in for recognition's strict check of its likeliest code.
  void Recognise(const text::CleanDecode& check = {}) {
    if (recognised) return;
    encoding = text::DetectEncoding(original.bytes(), check);
    bom = text::BomLength(encoding, original.bytes());
    recognised = true;
  }

  // Decodes the file in `code` into the text; says whether every byte decoded.
  bool DecodeAs(text::Encoding code) {
    text::DecodeIndexed(code, original.bytes(), text, index, dense);
    decodedAs = code;
    return index.clean();
  }

  // Recognises the code, checking its likeliest one over the whole file by the strict check
  // alone where `strictOnly(code)` holds, else by decoding it (the text is then kept). Returns
  // whether the file reads cleanly in the recognised code when that is told without decoding it;
  // none once recognition decoded that code, or where `strictOnly` does not hold for it.
  std::optional<bool> RecogniseStrictly(const std::function<bool(text::Encoding)>& strictOnly) {
    std::optional<text::Encoding> checked;
    bool clean = false;
    Recognise([&](text::Encoding code) {
      if (!strictOnly(code)) return DecodeAs(code);
      checked = code;
      clean = text::IsStrictlyValid(code, original.bytes());
      return clean;
    });
    if (decodedAs == encoding || !strictOnly(encoding)) return std::nullopt;
    if (checked != encoding) clean = text::IsStrictlyValid(encoding, original.bytes());
    if (clean && decodedAs) {
      // A reading recognition tried and dropped: the text will not be needed.
      text = text::UnitBuffer();
      index = text::OffsetIndex();
      decodedAs.reset();
    }
    return clean;
  }

  void Decode() {
    if (decoded) return;
    // Recognition's check of the likeliest code is this decoding, when that code is the one.
    Recognise([&](text::Encoding code) { return DecodeAs(code); });
    if (decodedAs != encoding) DecodeAs(encoding);
    decoded = true;
    original.Drop();
    if (!index.clean()) unreadable = FindUnreadable(text.view());
  }

  bool Unchanged() const {
    return !edited || (runs.kept() == index.units() && text.size() == index.units());
  }
};

// Streams what a save writes; throws BufferError naming `name`.
void WriteOutput(FileBuffer::Impl& d, ByteSink& sink, const std::string& name);

}  // namespace morvelle::editbuffer
