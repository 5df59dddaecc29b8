// The save: the kept runs' original bytes, found through the offset index, and the inserted
// text encoded in the file's code, written a piece at a time so that the output is never held
// whole.

#include <algorithm>

#include "buffer_impl.h"
#include "text/utf16.h"

namespace morvelle::editbuffer {
namespace {

// Output gathered into pieces of about this size before it reaches the sink.
constexpr std::size_t kPiece = std::size_t{1} << 18;
// Inserted text encoded this many units at a time.
constexpr std::size_t kEncodeUnits = std::size_t{1} << 16;
// Insertions up to this long take the short way (EncodeShort).
constexpr std::size_t kShort = 32;

class Writer {
 public:
  Writer(FileBuffer::Impl& d, ByteSink& sink, const std::string& name)
      : d_(d),
        sink_(sink),
        name_(name),
        text_(d.text.view()),
        reader_(d.original, d.name),
        cursorReader_(d.original, d.name),
        cursor_(d.index, cursorReader_),
        jis_(d.encoding == text::Encoding::Iso2022Jp),
        asciiIsItself_(d.encoding == text::Encoding::ShiftJis ||
                       d.encoding == text::Encoding::EucJp || d.encoding == text::Encoding::Ascii ||
                       d.encoding == text::Encoding::Utf8 ||
                       d.encoding == text::Encoding::Utf8Bom) {
    out_.reserve(
        std::min(kPiece + 4 * kEncodeUnits, d.original.size() + d.original.size() / 4 + 64));
  }

  void Run() {
    if (d_.Unchanged()) {
      Copy(0, d_.original.size());
    } else {
      Copy(0, d_.bom);
      WriteRuns();
      if (jis_ && !endsWithOriginalTail_) text::jis::SwitchTo(state_, text::jis::State{}, out_);
    }
    Flush();
    reader_.Finish();
  }

 private:
  void WriteRuns() {
    if (!d_.index.dense().empty() && d_.original.held() && !jis_) return WriteRunsDense();
    std::size_t original = 0;
    Runs::Reader runs(d_.runs);
    for (editbuffer::Run run; runs.next(run);) {
      Encode(text_.substr(position_, run.inserted));
      original += run.removed;
      const std::size_t from = original, to = original + run.length;
      original = to;
      if (from < to) CopyRun(from, to);
    }
  }

  // The same with every offset at hand and the bytes in memory, as for most files: a save with
  // edits all over a small file costs little more than its edits.
  void WriteRunsDense() {
    const std::uint32_t* offsets = d_.index.dense().data();
    const std::size_t units = d_.index.units();
    const char* bytes = reinterpret_cast<const char*>(d_.original.bytes().data());
    auto splits = [&](std::size_t unit) {
      return unit > 0 && unit < units && offsets[unit] == offsets[unit - 1];
    };
    std::size_t original = 0;
    Runs::Reader runs(d_.runs);
    for (editbuffer::Run run; runs.next(run);) {
      Encode(text_.substr(position_, run.inserted));
      original += run.removed;
      std::size_t from = original, to = original + run.length;
      original = to;
      if (from == to) continue;
      if (splits(from)) {
        Encode(text_.substr(position_, 1));
        if (++from == to) continue;
      }
      const bool cutTail = splits(to);
      const std::size_t b = offsets[from], e = offsets[to];
      Append(bytes + b, e - b);
      position_ += to - from - (cutTail ? 1 : 0);
      endsWithOriginalTail_ = e == d_.original.size();
      if (cutTail) Encode(text_.substr(position_, 1));
    }
  }

  // Original units [from, to) as their bytes, but for a unit at either end that shares its
  // character's bytes with a unit outside (the halves of a pair): that one is written anew.
  // Blocks are asked for in order, each decoded once.
  void CopyRun(std::size_t from, std::size_t to) {
    if (cursor_.splitsCharacter(from)) {
      Encode(text_.substr(position_, 1));
      if (++from == to) return;
    }
    std::size_t b = cursor_.offset(from);
    if (jis_) text::jis::SwitchTo(state_, cursor_.state(from), out_);
    // The bytes up to the block that holds `to` need no decoding: copied before it is read.
    const std::size_t middle = cursor_.blockStart(to);
    if (middle > b) {
      Copy(b, middle);
      b = middle;
    }
    // A pair cut at `to` shares its offset with its first half, which is written anew.
    const bool cutTail = cursor_.splitsCharacter(to);
    const std::size_t e = cursor_.offset(to);
    Copy(b, e);
    if (jis_) state_ = cursor_.state(to);
    position_ += to - from - (cutTail ? 1 : 0);
    endsWithOriginalTail_ = e == d_.original.size();
    if (cutTail) Encode(text_.substr(position_, 1));
  }

  void Copy(std::size_t from, std::size_t to) {
    while (from < to) {
      const std::span<const unsigned char> bytes = reader_.read(from, to);
      const std::size_t take = std::min(bytes.size(), to - from);
      Append(reinterpret_cast<const char*>(bytes.data()), take);
      from += take;
    }
  }

  void Append(const char* p, std::size_t n) {
    if (n < kPiece / 4) {
      out_.append(p, n);
      if (out_.size() >= kPiece) Flush();
    } else {
      Flush();
      sink_.write({p, n});
    }
  }

  void Encode(std::u16string_view piece) {
    if (piece.empty()) return;
    if (piece.size() <= kShort && !jis_ && EncodeShort(piece)) return;
    while (!piece.empty()) {
      std::size_t take = std::min(piece.size(), kEncodeUnits);
      // Never between the halves of a pair: each half alone has no bytes.
      if (take < piece.size() && text::splitsPair(piece, take)) --take;
      EncodeSlice(piece.substr(0, take));
      piece.remove_prefix(take);
      if (out_.size() >= kPiece) Flush();
    }
  }

  // Most insertions are short and many the same (a rule's fixed replacement): ASCII is itself
  // in every byte code but UTF-16, and the bytes of the last other piece are kept. False when
  // the piece needs the encoder.
  bool EncodeShort(std::u16string_view piece) {
    char bytes[kShort];
    std::size_t n = 0;
    if (asciiIsItself_) {
      while (n < piece.size() && piece[n] < 0x80) {
        bytes[n] = static_cast<char>(piece[n]);
        ++n;
      }
    }
    if (n == piece.size()) {
      out_.append(bytes, n);
    } else if (piece == lastPiece_) {
      out_.append(lastBytes_);
    } else {
      const std::size_t before = out_.size();
      EncodeSlice(piece);
      lastPiece_.assign(piece);
      lastBytes_.assign(out_, before);
      return true;
    }
    position_ += piece.size();
    endsWithOriginalTail_ = false;
    return true;
  }

  void EncodeSlice(std::u16string_view slice) {
    text::EncodeError error;
    const text::EncodeOptions options{.rawBytes = true, .bom = false};
    const bool ok = jis_ ? text::jis::EncodeFrom(state_, slice, out_, &error, options)
                         : text::Encode(d_.encoding, slice, out_, &error, options);
    if (!ok) {
      error.index += position_;
      text::LocateInText(text_, error);
      throw BufferError("書き込めない文字があります: " + name_ + " の " +
                        std::to_string(error.line) + " 行 " + std::to_string(error.column) +
                        " 列目の " + text::CodePointName(error.codePoint) + " を " +
                        std::string(text::EncodingName(d_.encoding)) + " で表せません");
    }
    position_ += slice.size();
    endsWithOriginalTail_ = false;
  }

  void Flush() {
    if (out_.empty()) return;
    sink_.write(out_);
    out_.clear();
  }

  FileBuffer::Impl& d_;
  ByteSink& sink_;
  const std::string& name_;
  const std::u16string_view text_;
  Original::Reader reader_;        // for the bytes copied
  Original::Reader cursorReader_;  // for the index's blocks, read apart from the bytes copied
  text::OffsetCursor cursor_;
  const bool jis_;
  const bool asciiIsItself_;
  std::string out_;
  std::u16string lastPiece_;  // the last short piece the encoder wrote, and its bytes
  std::string lastBytes_;
  text::jis::State state_;    // of what is written so far
  std::size_t position_ = 0;  // in the current text, for messages and inserted units
  bool endsWithOriginalTail_ = false;
};

}  // namespace

void WriteOutput(FileBuffer::Impl& d, ByteSink& sink, const std::string& name) {
  Writer(d, sink, name).Run();
}

}  // namespace morvelle::editbuffer
