// The save: the kept runs' original bytes, found through the offset index, and the inserted
// text encoded in the file's code, written a piece at a time so that the output is never held
// whole. What it writes is read back where it could read otherwise than the text says: each
// encoded piece, and the bytes after each edit that follow kept unreadable ones (E3 81 kept
// before a new 82 would read back as あ). A difference is an error, and nothing is renamed.

#include <algorithm>
#include <deque>
#include <vector>

#include "buffer_impl.h"
#include "text/codec/index_entry.h"
#include "text/codec/jis_step.h"
#include "text/utf16.h"
#include "translation/translate.h"
#include "unreadable.h"

namespace morvelle::editbuffer {

using translation::Format;
using translation::translate;

namespace {

// Output gathered into pieces of about this size before it reaches the sink.
constexpr std::size_t kPiece = std::size_t{1} << 18;
// Inserted text encoded this many units at a time.
constexpr std::size_t kEncodeUnits = std::size_t{1} << 16;
// Insertions up to this long take the short way (EncodeShort).
constexpr std::size_t kShort = 32;
// Bytes read back after a seam, and how many at their end may belong to a character cut short.
constexpr std::size_t kSeamBytes = 16;
constexpr std::size_t kCharacterBytes = 4;
// Kept unreadable units on either side of a seam that are read back with it: all of a run, up
// to this many, since a decoder pairs them from the run's start (EUC-JP's unassigned pairs, say).
constexpr std::size_t kSeamRun = 4096;

std::span<const unsigned char> AsBytes(std::string_view s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// ISO-2022-JP is read back whole as it is written: its meaning depends on every escape before
// it, and an edit beside a kept escape, or a state restored from one an edit cut, would change
// every character after it. What the text says must come next is queued; the bytes written are
// decoded and compared with it, a unit at a time.
class JisReadBack {
 public:
  // Units that must come next: a view into the text the save writes, or text of its own.
  void Expect(std::u16string_view units) {
    if (!units.empty()) segments_.push_back({{}, units});
  }
  void Expect(std::u16string units) {
    if (units.empty()) return;
    segments_.push_back({std::move(units), {}});
    segments_.back().view = segments_.back().owned;
  }
  // The bytes just written; at the end, false leaves out nothing. Returns false at a unit that
  // reads otherwise, which mismatch() then names (units read back before it).
  bool Bytes(std::string_view bytes, bool end) {
    pending_.append(bytes);
    const auto* p = reinterpret_cast<const unsigned char*>(pending_.data());
    const std::size_t n = pending_.size();
    // A step looks at most this far past its first byte; the bytes after a cut wait.
    const std::size_t limit = end ? n : n - std::min(n, text::detail::kStepLookahead);
    std::size_t i = 0;
    while (i < limit) {
      const text::detail::JisStep s = text::detail::JisNext(p, n, i, state_);
      if (s.kind == text::detail::JisStep::Char) {
        std::u16string units;
        text::appendCodePoint(units, s.codePoint);
        for (const char16_t u : units) {
          if (!Next(u)) return false;
        }
      } else if (s.kind == text::detail::JisStep::Raw) {
        for (std::size_t k = 0; k < s.length; ++k) {
          if (!Next(text::RawByteUnit(p[i + k]))) return false;
        }
      }
      i += s.length;
    }
    pending_.erase(0, i);
    return !end || segments_.empty();
  }
  std::size_t mismatch() const { return read_; }

 private:
  bool Next(char16_t unit) {
    if (segments_.empty() || segments_.front().view[at_] != unit) return false;
    ++read_;
    if (++at_ == segments_.front().view.size()) {
      segments_.pop_front();
      at_ = 0;
    }
    return true;
  }

  struct Segment {
    std::u16string owned;
    std::u16string_view view;
  };
  std::deque<Segment> segments_;
  std::size_t at_ = 0;    // in the first segment
  std::size_t read_ = 0;  // units read back
  std::string pending_;
  text::jis::State state_;
};

// A seam being read back (codes other than ISO-2022-JP): the kept unreadable units just before
// it and just after it, its place in the text, where in the output buffer its next bytes begin,
// and those bytes so far.
struct PendingSeam {
  bool aligned = true;
  std::u16string before, after;
  std::size_t at = 0;
  std::size_t mark = 0;
  std::size_t want = 0;  // bytes to read back after it
  std::string next;
};

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
        unitBytes_(
            d.encoding == text::Encoding::Utf16Le || d.encoding == text::Encoding::Utf16Be   ? 2
            : d.encoding == text::Encoding::Utf32Le || d.encoding == text::Encoding::Utf32Be ? 4
                                                                                             : 1),
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
      readBackJis_ = jis_;
      Copy(0, d_.bom);
      WriteRuns();
      if (jis_ && !endsWithOriginalTail_) (void)text::jis::SwitchTo(state_, {}, out_);
    }
    Flush();
    if (readBackJis_ && !jisReadBack_.Bytes({}, true)) MisreadAt(jisReadBack_.mismatch());
    CheckSeams(true);
    reader_.Finish();
  }

 private:
  void WriteRuns() {
    if (!d_.index.dense().empty() && d_.original.held() && !jis_) return WriteRunsDense();
    std::size_t original = 0;
    Runs::Reader runs(d_.runs);
    for (editbuffer::Run run; runs.next(run);) {
      const bool edited = run.inserted > 0 || run.removed > 0;
      Seam(edited);
      Encode(text_.substr(position_, run.inserted));
      Seam(run.inserted > 0);
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
      Seam(run.inserted > 0 || run.removed > 0);
      Encode(text_.substr(position_, run.inserted));
      Seam(run.inserted > 0);
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
    if (jis_ && !text::jis::SwitchTo(state_, cursor_.state(from), out_)) {
      throw BufferError(
          Format(translate("FileBuffer",
                           "書き込めません: %1 の %2は、読めない文字集合 (ISO-2022-JP "
                           "の知らないエスケープシーケンスの後) の途中で、元の指定に"
                           "戻せません"),
                 {name_, Where(position_)}));
    }
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
    if (jis_) {
      state_ = cursor_.state(to);
      jisReadBack_.Expect(text_.substr(position_, to - from));
    }
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
      Feed({p, n});
      CheckSeams(false);
      Write({p, n});
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
    const std::size_t before = out_.size();
    const bool ok = jis_ ? text::jis::EncodeFrom(state_, slice, out_, &error, options)
                         : text::Encode(d_.encoding, slice, out_, &error, options);
    if (!ok) {
      error.index += position_;
      text::LocateInText(text_, error);
      throw BufferError(Format(
          translate("FileBuffer", "書き込めない文字があります: %1 の %2の %3 を %4 で表せません"),
          {name_, LineColumn(error.line, error.column), text::CodePointName(error.codePoint),
           text::EncodingName(d_.encoding)}));
    }
    if (jis_) {
      jisReadBack_.Expect(Canonical(slice));
    } else {
      ReadBack(slice, std::string_view(out_).substr(before), written_ + before);
    }
    position_ += slice.size();
    endsWithOriginalTail_ = false;
  }

  // The slice's bytes, written at output offset `at`, must read back as the slice, but for
  // characters the code writes only as another one's bytes (CP932's one-way mappings, as iconv
  // writes them): those as that one. UTF-16 and UTF-32 read them with the kept bytes before
  // them that begin their first unit.
  void ReadBack(std::u16string_view slice, std::string_view bytes, std::size_t at) {
    bool aligned = true;
    const std::size_t start = RunStart(at, aligned);
    if (!aligned) Misread(0);
    const std::u16string prefix(text_.substr(start, position_ - start));
    std::string all;
    for (const char16_t u : prefix) all.push_back(static_cast<char>(text::RawByteOf(u)));
    all.append(bytes);
    const std::u16string read = text::DecodePiece(d_.encoding, AsBytes(all));
    if (read.size() == prefix.size() + slice.size() &&
        read.compare(prefix.size(), slice.size(), slice) == 0 && read.starts_with(prefix)) {
      return;
    }
    const std::u16string expected = prefix + Canonical(slice);
    if (read == expected) return;
    std::size_t same = 0;
    while (same < read.size() && same < expected.size() && read[same] == expected[same]) ++same;
    Misread(same - std::min(same, prefix.size()));
  }

  std::string Where(std::size_t index) const {
    text::EncodeError where;
    where.index = index;
    text::LocateInText(text_, where);
    return LineColumn(where.line, where.column);
  }

  [[noreturn]] void Misread(std::size_t inSlice) const { MisreadAt(position_ + inSlice); }
  [[noreturn]] void MisreadAt(std::size_t index) const {
    if (index < text_.size() && text::IsRawByteAt(text_, index)) Joined(index);
    throw BufferError(
        Format(translate("FileBuffer",
                         "書き込めません: %1 の %2の文字が、書き込むと別の文字として読まれます"),
               {name_, Where(index)}));
  }
  [[noreturn]] void Joined(std::size_t index) const {
    throw BufferError(Format(translate("FileBuffer",
                                       "書き込めません: %1 の %2で、元のまま残す読めないバイトが"
                                       "前後とつながり、別の文字として読まれます"),
                             {name_, Where(index)}));
  }

  // Where reading back from position_ (at output offset `at`) starts: the run of kept
  // unreadable units just before it, since a decoder pairs them from the run's start (EUC-JP's
  // unassigned pairs, say). UTF-16 and UTF-32 read units from the first byte after the mark:
  // there the start is where a unit does, and `aligned` false when the kept bytes cannot reach
  // back to one (they end between two units, and shift what follows).
  std::size_t RunStart(std::size_t at, bool& aligned) const {
    const std::size_t offset = (at - d_.bom) % unitBytes_;
    std::size_t k = position_;
    while (k > 0 && position_ - k < kSeamRun && text::IsRawByteAt(text_, k - 1)) --k;
    k += (position_ - k + unitBytes_ - offset) % unitBytes_;
    aligned = k <= position_;
    return aligned ? k : position_;
  }

  // At a place where something was edited, when kept unreadable bytes end before it or begin
  // after it: the bytes written from there on are read back (CheckSeam).
  void Seam(bool edited) {
    if (!edited || jis_) return;
    PendingSeam seam;
    const std::size_t offset = (written_ + out_.size() - d_.bom) % unitBytes_;
    const std::size_t k = RunStart(written_ + out_.size(), seam.aligned);
    std::size_t e = position_;
    while (e < text_.size() && e - position_ < kSeamRun && text::IsRawByteAt(text_, e)) ++e;
    if (k == position_ && e == position_ && offset == 0) return;
    seam.before.assign(text_.substr(k, position_ - k));
    seam.after.assign(text_.substr(position_, e - position_));
    seam.at = position_;
    seam.mark = out_.size();
    seam.want = seam.after.size() * unitBytes_ + kSeamBytes;
    seams_.push_back(std::move(seam));
  }

  void Feed(std::string_view bytes) {
    for (PendingSeam& seam : seams_) {
      seam.next.append(bytes.substr(0, seam.want - std::min(seam.want, seam.next.size())));
    }
  }

  // Checks the seams that have their bytes, or all of them at the end: the kept bytes before a
  // seam must still read as themselves, each alone, what follows as it reads by itself, and
  // the kept bytes after it as themselves.
  void CheckSeams(bool end) {
    std::erase_if(seams_, [&](const PendingSeam& seam) {
      if (!end && seam.next.size() < seam.want) return false;
      CheckSeam(seam, end);
      return true;
    });
  }

  void CheckSeam(const PendingSeam& seam, bool end) const {
    if (seam.next.empty()) return;
    std::string bytes;
    for (const char16_t u : seam.before) bytes.push_back(static_cast<char>(text::RawByteOf(u)));
    bytes += seam.next;
    // Bytes cut short end in a part of a character: only the units that begin early enough to
    // be whole are compared (UTF-16 and UTF-32 read whole units only).
    std::size_t limit = bytes.size();
    if (!end && unitBytes_ > 1) {
      std::size_t cut = bytes.size() - bytes.size() % unitBytes_;
      const bool big = d_.encoding == text::Encoding::Utf16Be;
      if (unitBytes_ == 2 && cut >= 2 &&
          text::isLeadSurrogate(static_cast<unsigned char>(bytes[cut - (big ? 2 : 1)]) << 8)) {
        cut -= 2;  // a pair cut in two
      }
      bytes.resize(cut);
      limit = cut;
    } else if (!end) {
      limit -= std::min(limit, kCharacterBytes);
    }
    text::Decoded d = text::DecodePieceWithOffsets(d_.encoding, AsBytes(bytes));
    const std::u16string& read = d.text;
    const std::vector<std::size_t>& offsets = d.offsets;
    std::size_t n = 0;
    while (n < read.size() && offsets[n] < limit) ++n;
    const std::u16string expected =
        seam.before + Canonical(text_.substr(seam.at, n - std::min(n, seam.before.size())));
    if (seam.aligned && n >= seam.before.size() && read.compare(0, n, expected, 0, n) == 0) {
      return;
    }
    Joined(seam.at);
  }

  // Each character as the code reads its bytes back: itself but for characters the code
  // writes only as another one's bytes (CP932's one-way mappings); kept bytes as themselves.
  std::u16string Canonical(std::u16string_view units) const {
    std::u16string out;
    for (std::size_t i = 0; i < units.size();) {
      std::size_t length;
      text::codePointAt(units, i, length);
      std::string one;
      if (text::IsRawByteAt(units, i) ||
          !text::Encode(d_.encoding, units.substr(i, length), one, nullptr,
                        {.rawBytes = false, .bom = false})) {
        out.append(units.substr(i, length));
      } else {
        out += text::DecodePiece(d_.encoding, AsBytes(one));
      }
      i += length;
    }
    return out;
  }

  void Flush() {
    for (PendingSeam& seam : seams_) {
      const std::string_view fresh =
          std::string_view(out_).substr(std::min(seam.mark, out_.size()));
      seam.next.append(fresh.substr(0, seam.want - std::min(seam.want, seam.next.size())));
      seam.mark = 0;
    }
    CheckSeams(false);
    if (out_.empty()) return;
    Write(out_);
    out_.clear();
  }

  void Write(std::string_view bytes) {
    if (readBackJis_ && !jisReadBack_.Bytes(bytes, false)) MisreadAt(jisReadBack_.mismatch());
    sink_.write({bytes.data(), bytes.size()});
    written_ += bytes.size();
  }

  FileBuffer::Impl& d_;
  ByteSink& sink_;
  const std::string& name_;
  const std::u16string_view text_;
  Original::Reader reader_;        // for the bytes copied
  Original::Reader cursorReader_;  // for the index's blocks, read apart from the bytes copied
  text::OffsetCursor cursor_;
  const bool jis_;
  const std::size_t unitBytes_;  // UTF-16 and UTF-32 read their bytes in units from the start
  const bool asciiIsItself_;
  std::string out_;
  std::u16string lastPiece_;  // the last short piece the encoder wrote, and its bytes
  std::string lastBytes_;
  text::jis::State state_;    // of what is written so far
  std::size_t position_ = 0;  // in the current text, for messages and inserted units
  bool endsWithOriginalTail_ = false;
  std::size_t written_ = 0;  // bytes the sink has had
  std::vector<PendingSeam> seams_;
  bool readBackJis_ = false;
  JisReadBack jisReadBack_;
};

}  // namespace

void WriteOutput(FileBuffer::Impl& d, ByteSink& sink, const std::string& name) {
  Writer(d, sink, name).Run();
}

}  // namespace morvelle::editbuffer
