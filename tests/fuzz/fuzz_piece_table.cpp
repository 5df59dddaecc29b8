// Random edits through the file buffer's runs and offset index. The text always equals a plain
// model of the same edits, what changed() reports turns the loaded text into it, and the saved
// bytes are the original bytes of every untouched run with only the inserted text encoded
// (ISO-2022-JP: escapes at the seams besides), and they read back as the text, or the save
// refuses because kept unreadable bytes would join what an edit put beside them. The buffer
// keeps every offset, or the
// sparse index (blocks of 256 units, so edits cross their boundaries, halves of a pair fall on
// either side of one, ISO-2022-JP states restart at them), or also reads the file again for the
// save, a few bytes at a time.
//
// Input: the code, the way the buffer holds the file, the file's bytes, then the edit script.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "editbuffer/file_buffer.h"
#include "text/codec/codec.h"

namespace {

using morvelle::editbuffer::Edit;
using morvelle::editbuffer::FileBuffer;
using morvelle::editbuffer::LoadOptions;
using morvelle::text::Encoding;
namespace text = morvelle::text;

constexpr Encoding kCodes[] = {Encoding::Ascii,     Encoding::ShiftJis, Encoding::EucJp,
                               Encoding::Iso2022Jp, Encoding::Utf8,     Encoding::Utf8Bom,
                               Encoding::Utf16Le,   Encoding::Utf16Be,  Encoding::Utf32Le,
                               Encoding::Utf32Be};
// Characters every code above can hold (Ascii writes UTF-8), NUL among them.
constexpr char16_t kAlphabetUnits[] = u"aZ0 \r\n\t\0東京ｱｲあア－～￥";
constexpr std::u16string_view kAlphabet(kAlphabetUnits, std::size(kAlphabetUnits) - 1);

[[noreturn]] void Fail(const char* what, Encoding code) {
  std::fprintf(stderr, "fuzz_piece_table: %s (%s)\n", what, text::EncodingName(code).data());
  std::abort();
}

std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X ", c);
    out += b;
  }
  return out;
}

std::span<const unsigned char> AsBytes(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Edits cut between characters, never between the halves of a surrogate pair.
std::size_t Snap(const std::u16string& s, std::size_t at) {
  if (at > 0 && at < s.size() && IsLow(s[at]) && IsHigh(s[at - 1])) --at;
  return at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Encoding code = in.PickValueInArray(kCodes);
  enum Holding { Dense, Sparse, Reread };
  const auto holding = static_cast<Holding>(in.ConsumeIntegralInRange(0, 2));
  std::string bytes = in.ConsumeRandomLengthString(4096);

  FileBuffer buffer;
  if (holding == Reread) {
    // From a file, dropped once decoded, read again for the save three bytes at a time.
    static const std::string path = "/tmp/fuzz_piece_table." + std::to_string(::getpid());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    LoadOptions reread;
    reread.rereadFrom = 0;
    reread.readChunk = 3;
    reread.denseBelow = 0;
    reread.encoding = code;
    buffer.load(path, reread);
    ::unlink(path.c_str());  // the buffer reads it again through the descriptor it keeps
  } else {
    LoadOptions held;
    held.denseBelow = holding == Dense ? SIZE_MAX : 0;
    buffer.loadBytes(bytes, "fuzz", code, held);
  }
  const text::Decoded original = text::Decode(code, AsBytes(bytes));
  if (buffer.text() != original.text) Fail("loaded text differs from the decoded bytes", code);

  std::u16string model = original.text;
  std::vector<std::ptrdiff_t> origin(model.size());  // original unit index, or -1 if inserted
  for (std::size_t i = 0; i < origin.size(); ++i) origin[i] = static_cast<std::ptrdiff_t>(i);

  const int rounds = in.ConsumeIntegralInRange(1, 4);
  for (int round = 0; round < rounds; ++round) {
    std::vector<Edit> edits;
    std::size_t at = 0;
    const int count = in.ConsumeIntegralInRange(0, 6);
    for (int n = 0; n < count && at <= model.size(); ++n) {
      std::size_t start =
          Snap(model, at + in.ConsumeIntegralInRange<std::size_t>(0, model.size() - at));
      if (start < at) start = at;
      std::size_t end =
          Snap(model, start + in.ConsumeIntegralInRange<std::size_t>(0, model.size() - start));
      if (end < start) end = start;
      std::u16string replacement;
      for (int k = in.ConsumeIntegralInRange(0, 5); k > 0; --k) {
        replacement += kAlphabet[in.ConsumeIntegralInRange<std::size_t>(0, kAlphabet.size() - 1)];
      }
      edits.push_back({start, end - start, replacement});
      at = end;
      if (in.remaining_bytes() == 0) break;
    }
    if (in.ConsumeBool() && !edits.empty()) {
      // A whole-text replacement instead: setText keeps the common head and tail, which is
      // one edit in between.
      std::u16string next = model;
      for (auto e = edits.rbegin(); e != edits.rend(); ++e) {
        next.replace(e->start, e->length, e->replacement);
      }
      buffer.setText(next);
      std::size_t head = 0, tail = 0;
      const std::size_t shorter = std::min(model.size(), next.size());
      while (head < shorter && model[head] == next[head]) ++head;
      if (head > 0 && IsHigh(model[head - 1])) --head;  // never inside a surrogate pair
      while (tail < shorter - head &&
             model[model.size() - 1 - tail] == next[next.size() - 1 - tail]) {
        ++tail;
      }
      if (tail > 0 && IsLow(model[model.size() - tail])) --tail;
      edits = {
          Edit{head, model.size() - head - tail, next.substr(head, next.size() - head - tail)}};
    } else {
      buffer.applyEdits(edits);
    }

    // The model: edits that put back what is there keep their original units.
    std::u16string nextModel;
    std::vector<std::ptrdiff_t> nextOrigin;
    std::size_t from = 0;
    for (const Edit& e : edits) {
      nextModel.append(model, from, e.start - from);
      nextOrigin.insert(nextOrigin.end(), origin.begin() + from, origin.begin() + e.start);
      if (model.compare(e.start, e.length, e.replacement) == 0) {
        nextModel += e.replacement;
        nextOrigin.insert(nextOrigin.end(), origin.begin() + e.start,
                          origin.begin() + e.start + e.length);
      } else {
        nextModel += e.replacement;
        nextOrigin.insert(nextOrigin.end(), e.replacement.size(), -1);
      }
      from = e.start + e.length;
    }
    nextModel.append(model, from);
    nextOrigin.insert(nextOrigin.end(), origin.begin() + from, origin.end());
    if (buffer.text() != nextModel) Fail("text differs from the model", code);
    model = std::move(nextModel);
    origin = std::move(nextOrigin);
  }

  // What changed, applied to the loaded text, gives the text: the diff preview's view.
  std::u16string rebuilt = buffer.loadedText();
  if (rebuilt != original.text) Fail("loadedText() differs from the decoded bytes", code);
  const std::vector<Edit> changes = buffer.changes();
  for (auto e = changes.rbegin(); e != changes.rend(); ++e) {
    rebuilt.replace(e->start, e->length, e->replacement);
  }
  if (rebuilt != model) Fail("changes() do not turn the loaded text into the text", code);

  if (buffer.unchanged()) {
    if (model != original.text) Fail("unchanged() but the text differs", code);
    if (buffer.bytes("fuzz") != bytes) Fail("an unchanged buffer saves other bytes", code);
    return 0;
  }

  // What the save must write: the original bytes of each untouched run, the inserted text
  // encoded. Only ISO-2022-JP adds escapes at the seams, so there only the text is compared.
  const bool jis = code == Encoding::Iso2022Jp;
  std::string expected = bytes.substr(0, text::BomLength(code, AsBytes(bytes)));
  bool encodable = true;
  for (std::size_t i = 0, j = 0; i < model.size(); i = j) {
    j = i + 1;
    if (origin[i] >= 0) {
      while (j < model.size() && origin[j] == origin[j - 1] + 1) ++j;
      const std::size_t b = original.offsets[static_cast<std::size_t>(origin[i])];
      const std::size_t e = original.offsets[static_cast<std::size_t>(origin[j - 1]) + 1];
      expected.append(bytes, b, e - b);
    } else {
      while (j < model.size() && origin[j] < 0) ++j;
      encodable = text::Encode(code, std::u16string_view(model).substr(i, j - i), expected, nullptr,
                               {.rawBytes = true, .bom = false}) &&
                  encodable;
    }
  }

  // What the save must read back as: the kept units as they were, each inserted character as
  // the code reads its bytes (a one-way mapping gives another character; the save accepts it).
  std::u16string readBack;
  for (std::size_t i = 0; i < model.size();) {
    std::size_t units = 1;
    text::codePointAt(model, i, units);
    if (origin[i] >= 0 || text::IsRawByteAt(model, i)) {
      readBack.append(model, i, units);
    } else {
      std::string one;
      if (text::Encode(code, std::u16string_view(model).substr(i, units), one, nullptr,
                       {.rawBytes = true, .bom = false})) {
        readBack += text::DecodePiece(code, AsBytes(one));
      }
    }
    i += units;
  }
  const std::size_t bom = text::BomLength(code, AsBytes(bytes));

  std::string saved;
  try {
    saved = buffer.bytes("fuzz");
  } catch (const morvelle::editbuffer::BufferError& e) {
    std::fprintf(stderr, "%s\noriginal %s\n", e.what(), Hex(bytes).c_str());
    // setText re-encodes what lies between the first and the last change; a character there
    // that the code decodes but cannot write (JIS X 0212) is refused, as it should be. So is a
    // save whose kept unreadable bytes would join their new neighbours.
    if (encodable && !jis &&
        text::DecodePiece(code, AsBytes(expected).subspan(std::min(bom, expected.size()))) ==
            readBack) {
      Fail("a save that reads back as the text was refused", code);
    }
    return 0;
  }
  if (!encodable) Fail("a save wrote text the code cannot hold", code);
  if (text::DecodePiece(code, AsBytes(saved).subspan(std::min(bom, saved.size()))) != readBack) {
    std::fprintf(stderr, "original %s\nsaved    %s\n", Hex(bytes).c_str(), Hex(saved).c_str());
    Fail("the saved bytes read back as another text", code);
  }
  if (!jis && saved != expected) {
    std::fprintf(stderr, "original %s\nsaved    %s\nexpected %s\n", Hex(bytes).c_str(),
                 Hex(saved).c_str(), Hex(expected).c_str());
    Fail("bytes outside the edits changed", code);
  }
  return 0;
}