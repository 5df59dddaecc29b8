#include "file_buffer.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "io.h"
#include "text/detect/detect.h"
#include "text/utf16.h"

namespace morvelle::editbuffer {
namespace {

std::span<const unsigned char> AsBytes(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

struct Piece {
  bool original;  // else from the buffer of inserted text
  std::size_t start;
  std::size_t length;
};

}  // namespace

struct FileBuffer::Impl {
  std::string name;  // for messages
  std::string bytes;
  text::Encoding encoding = text::Encoding::Ascii;
  std::size_t bom = 0;

  // The decoded original, made on first use: a file that is only loaded and saved is never
  // decoded. Offsets are made only when the first edit needs them.
  mutable bool decoded = false;
  mutable text::Decoded original;
  bool haveOffsets = false;

  bool edited = false;  // pieces and current are valid only once edited
  std::vector<Piece> pieces;
  std::u16string inserted;
  std::u16string current;

  const std::u16string& Original() const {
    if (!decoded) {
      original.text = text::DecodeText(encoding, AsBytes(bytes));
      decoded = true;
    }
    return original.text;
  }

  const std::u16string& Text() const { return edited ? current : Original(); }

  void StartEditing() {
    if (edited) return;
    if (!haveOffsets) {
      original = text::Decode(encoding, AsBytes(bytes));
      decoded = haveOffsets = true;
    }
    pieces.clear();
    if (!original.text.empty()) pieces.push_back({true, 0, original.text.size()});
    current = original.text;
    edited = true;
  }

  bool Unchanged() const {
    if (!edited) return true;
    if (pieces.empty()) return original.text.empty();
    return pieces.size() == 1 && pieces[0].original && pieces[0].start == 0 &&
           pieces[0].length == original.text.size();
  }

  // Replacements that later rules replaced again stay in `inserted`; once they outweigh the
  // text, the live ones are copied into a fresh buffer, so memory follows the text, not the
  // number of rules.
  void CompactInserted() {
    if (inserted.size() <= 2 * current.size() + 4096) return;
    std::u16string live;
    for (Piece& p : pieces) {
      if (p.original) continue;
      std::size_t start = live.size();
      live.append(inserted, p.start, p.length);
      p.start = start;
    }
    inserted = std::move(live);
  }

  // A cut of the original text between units i-1 and i that falls inside one character's
  // bytes (the halves of a surrogate pair): those units are written anew, not copied.
  bool Seam(std::size_t i) const {
    const auto& o = original.offsets;
    return i == 0 || i >= original.text.size() || o[i] != o[i - 1];
  }
};

namespace {

void Push(std::vector<Piece>& pieces, Piece piece) {
  if (piece.length == 0) return;
  if (!pieces.empty()) {
    Piece& last = pieces.back();
    if (last.original == piece.original && last.start + last.length == piece.start) {
      last.length += piece.length;
      return;
    }
  }
  pieces.push_back(piece);
}

}  // namespace

FileBuffer::FileBuffer() : impl_(new Impl) {}
FileBuffer::~FileBuffer() { delete impl_; }
FileBuffer::FileBuffer(FileBuffer&& other) noexcept : impl_(std::exchange(other.impl_, new Impl)) {}
FileBuffer& FileBuffer::operator=(FileBuffer&& other) noexcept {
  std::swap(impl_, other.impl_);
  return *this;
}

void FileBuffer::load(const std::string& path) { loadBytes(ReadWholeFile(path), path); }

void FileBuffer::loadBytes(std::string bytes, const std::string& name,
                           std::optional<text::Encoding> encoding) {
  auto fresh = std::make_unique<Impl>();
  fresh->name = name;
  fresh->encoding = encoding ? *encoding : text::DetectEncoding(AsBytes(bytes));
  fresh->bom = text::BomLength(fresh->encoding, AsBytes(bytes));
  fresh->bytes = std::move(bytes);
  delete std::exchange(impl_, fresh.release());
}

text::Encoding FileBuffer::encoding() const { return impl_->encoding; }

const std::u16string& FileBuffer::text() const { return impl_->Text(); }

bool FileBuffer::unchanged() const { return impl_->Unchanged(); }

const std::u16string& FileBuffer::loadedText() const { return impl_->Original(); }

std::vector<Edit> FileBuffer::changes() const {
  const Impl& d = *impl_;
  std::vector<Edit> out;
  if (d.Unchanged()) return out;
  // Edits never reorder text, so the original pieces come in order; what lies between two of
  // them (inserted pieces, or original units no piece keeps) is one change.
  std::size_t at = 0;  // in the original text
  std::u16string inserted;
  for (const Piece& p : d.pieces) {
    if (!p.original) {
      inserted.append(d.inserted, p.start, p.length);
      continue;
    }
    if (p.start > at || !inserted.empty()) {
      out.push_back({at, p.start - at, std::move(inserted)});
      inserted.clear();
    }
    at = p.start + p.length;
  }
  if (at < d.original.text.size() || !inserted.empty()) {
    out.push_back({at, d.original.text.size() - at, std::move(inserted)});
  }
  return out;
}

void FileBuffer::setText(std::u16string text) {
  const std::u16string& now = impl_->Text();
  std::size_t head = 0;
  const std::size_t shorter = std::min(now.size(), text.size());
  while (head < shorter && now[head] == text[head]) ++head;
  if (head == now.size() && head == text.size()) return;
  // The edit must not cut a surrogate pair (😀 → 😁 share the first half): the halves would
  // be encoded apart, and a lone half has no bytes in any code.
  if (head > 0 && text::isLeadSurrogate(now[head - 1])) --head;
  std::size_t tail = 0;
  while (tail < shorter - head && now[now.size() - 1 - tail] == text[text.size() - 1 - tail]) {
    ++tail;
  }
  if (tail > 0 && text::isTrailSurrogate(now[now.size() - tail])) --tail;
  applyEdits({Edit{head, now.size() - head - tail, text.substr(head, text.size() - head - tail)}});
}

void FileBuffer::applyEdits(const std::vector<Edit>& edits) {
  Impl& d = *impl_;
  {
    const std::u16string& now = d.Text();
    std::size_t end = 0;
    bool changes = false;
    for (const Edit& e : edits) {
      if (e.start < end || e.start > now.size() || e.length > now.size() - e.start) {
        throw BufferError("置換の範囲が正しくありません: " + d.name);
      }
      end = e.start + e.length;
      changes = changes || now.compare(e.start, e.length, e.replacement) != 0;
    }
    // A rule that matched nothing, or put back what was there, costs no offsets and no copy.
    if (!changes) return;
  }
  d.StartEditing();
  const std::u16string& old = d.current;

  // One merge pass over the pieces and the edits. Edits that put back what is there are
  // dropped, so their bytes stay the original ones.
  std::vector<Piece> pieces;
  pieces.reserve(d.pieces.size() + 2 * edits.size());
  std::u16string text;
  text.reserve(old.size());
  std::size_t k = 0;       // current piece
  std::size_t inside = 0;  // units of pieces[k] already consumed
  std::size_t at = 0;      // position in the old text
  auto copyTo = [&](std::size_t target) {
    text.append(old, at, target - at);
    while (at < target) {
      const Piece& p = d.pieces[k];
      std::size_t take = std::min(p.length - inside, target - at);
      Push(pieces, {p.original, p.start + inside, take});
      at += take;
      inside += take;
      if (inside == p.length) ++k, inside = 0;
    }
  };
  auto skipTo = [&](std::size_t target) {
    while (at < target) {
      const Piece& p = d.pieces[k];
      std::size_t take = std::min(p.length - inside, target - at);
      at += take;
      inside += take;
      if (inside == p.length) ++k, inside = 0;
    }
  };
  for (const Edit& e : edits) {
    if (old.compare(e.start, e.length, e.replacement) == 0) continue;
    copyTo(e.start);
    skipTo(e.start + e.length);
    Push(pieces, {false, d.inserted.size(), e.replacement.size()});
    d.inserted += e.replacement;
    text += e.replacement;
  }
  copyTo(old.size());
  d.pieces = std::move(pieces);
  d.current = std::move(text);
  d.CompactInserted();
}

std::string FileBuffer::bytes(const std::string& name) const {
  const Impl& d = *impl_;
  if (d.Unchanged()) return d.bytes;

  const auto& offsets = d.original.offsets;
  const auto raw = AsBytes(d.bytes);
  const bool jis = d.encoding == text::Encoding::Iso2022Jp;
  std::string out;
  out.reserve(d.bytes.size() + d.inserted.size() * 2);
  out.append(d.bytes, 0, d.bom);

  text::jis::State state;        // of what is written so far
  text::jis::State sourceState;  // of the original at sourceAt
  std::size_t sourceAt = 0;
  bool endsWithOriginalTail = false;
  std::size_t position = 0;  // in the current text, for messages

  auto encode = [&](std::u16string_view piece) {
    text::EncodeError error;
    text::EncodeOptions options{.rawBytes = true, .bom = false};
    bool ok = jis ? text::jis::EncodeFrom(state, piece, out, &error, options)
                  : text::Encode(d.encoding, piece, out, &error, options);
    if (!ok) {
      error.index += position;
      text::LocateInText(d.current, error);
      throw BufferError("書き込めない文字があります: " + name + " の " +
                        std::to_string(error.line) + " 行 " + std::to_string(error.column) +
                        " 列目の " + text::CodePointName(error.codePoint) + " を " +
                        std::string(text::EncodingName(d.encoding)) + " で表せません");
    }
    position += piece.size();
    endsWithOriginalTail = false;
  };
  auto copy = [&](std::size_t from, std::size_t to) {  // original units [from, to)
    std::size_t b = offsets[from], e = offsets[to];
    if (jis) {
      sourceState = text::jis::Scan(raw, sourceAt, b, sourceState);
      text::jis::SwitchTo(state, sourceState, out);
      sourceState = state = text::jis::Scan(raw, b, e, sourceState);
      sourceAt = e;
    }
    out.append(d.bytes, b, e - b);
    position += to - from;
    endsWithOriginalTail = e == d.bytes.size();
  };

  const std::u16string_view originalText = d.original.text;
  for (const Piece& p : d.pieces) {
    if (!p.original) {
      encode(std::u16string_view(d.inserted).substr(p.start, p.length));
      continue;
    }
    std::size_t from = p.start, to = p.start + p.length;
    if (!d.Seam(from)) encode(originalText.substr(from++, 1));
    bool cutTail = from < to && !d.Seam(to);
    if (cutTail) --to;
    if (from < to) copy(from, to);
    if (cutTail) encode(originalText.substr(to, 1));
  }
  if (jis && !endsWithOriginalTail) text::jis::SwitchTo(state, text::jis::State{}, out);
  return out;
}

void FileBuffer::save(const std::string& path, SaveOptions options) const {
  if (impl_->Unchanged()) {
    WriteFileAtomically(path, impl_->bytes, options);
  } else {
    std::string out = bytes(path);
    WriteFileAtomically(path, out, options);
  }
}

void FileBuffer::checkSave(const std::string& path) const {
  if (!impl_->Unchanged()) bytes(path);
  CheckWritable(path);
}

}  // namespace morvelle::editbuffer
