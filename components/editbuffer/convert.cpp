#include "convert.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "file_buffer.h"
#include "io.h"
#include "text/detect/detect.h"
#include "text/utf16.h"
#include "translation/translate.h"
#include "unreadable.h"

namespace morvelle::editbuffer {

using translation::Format;
using translation::translate;

namespace {

using text::Encoding;

// Bytes read, converted and written at a time: the memory a conversion takes, whatever the
// file's size. A quarter of a megabyte (and its conversion) stays in the processor's cache from
// the read to the write, and takes fewer fresh pages than a megabyte: 8-10 % less time.
constexpr std::size_t kBlock = std::size_t{1} << 18;

std::span<const unsigned char> AsBytes(std::string_view s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// The source, read a block at a time from the descriptor opened once.
class Source {
 public:
  explicit Source(const std::string& path)
      : path_(path),
        file_(detail::OpenForReading(path)),
        size_(std::size_t(file_.status.st_size)) {}

  const std::string& path() const { return path_; }
  std::size_t size() const { return size_; }
  mode_t mode() const { return file_.status.st_mode & 07777; }

  // Bytes [from, to), fewer only at the file's end; valid until the next call. The buffer is
  // sized to what the file held when opened, and one byte more to see that it grew, not to the
  // whole block: clearing a megabyte for each small file cost more than converting it.
  std::span<const unsigned char> Read(std::size_t from, std::size_t to) {
    const std::size_t wanted = to - from;
    buffer_.resize(std::min(wanted, (size_ > from ? size_ - from : 0) + 1));
    std::size_t filled = 0;
    while (filled < wanted) {
      if (filled == buffer_.size()) buffer_.resize(std::min(wanted, buffer_.size() * 2));
      const ssize_t n = ::pread(file_.fd.get(), buffer_.data() + filled, buffer_.size() - filled,
                                off_t(from + filled));
      if (n < 0) {
        if (errno == EINTR) continue;
        detail::ThrowErrno(MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを読み込めません"), path_,
                           errno);
      }
      if (n == 0) break;
      filled += std::size_t(n);
    }
    return AsBytes(buffer_).first(filled);
  }

  // Calls feed(block, last) for each block from the start, until it returns false (then false).
  template <typename F>
  bool EachBlock(F&& feed) {
    for (std::size_t at = 0;;) {
      const std::span<const unsigned char> block = Read(at, at + kBlock);
      const bool last = block.size() < kBlock;
      if (!feed(block, last)) return false;
      if (last) return true;
      at += block.size();
    }
  }

 private:
  std::string path_;
  detail::OpenedFile file_;
  std::size_t size_;
  std::string buffer_;
};

// Line and column as LocateInText counts them, one piece of text after another.
struct Position {
  std::size_t line = 1, column = 1;
  bool cr = false;    // a CR that a LF may still join
  bool lead = false;  // the first half of a pair

  void Advance(std::u16string_view units) {
    for (const char16_t u : units) {
      if (cr) {
        cr = false;
        NewLine();
        if (u == u'\n') continue;
      }
      if (u == u'\n') {
        NewLine();
      } else if (u == u'\r') {
        cr = true;
      } else if (!(lead && text::isTrailSurrogate(u))) {
        ++column;
      }
      lead = text::isLeadSurrogate(u);
    }
  }
  std::string Text() {
    if (cr) {
      cr = false;
      NewLine();
    }
    return LineColumn(line, column);
  }

 private:
  void NewLine() {
    ++line;
    column = 1;
  }
};

// Why the conversion stopped, found by reading the source again: its first undecodable byte or
// its first character the target lacks, with line and column. Only a failed conversion pays.
[[noreturn]] void ThrowConversionError(Source& source, Encoding from, Encoding to) {
  text::StreamTranscoder decoder(from, Encoding::Utf16Le, false);
  Position position;
  std::string units, encoded;
  std::size_t failedAt = 0;
  std::optional<text::EncodeError> unencodable;
  std::u16string text;
  const bool decoded = source.EachBlock([&](std::span<const unsigned char> block, bool last) {
    units.clear();
    const bool ok = decoder.Feed(block, last, units, &failedAt);
    text.assign(reinterpret_cast<const char16_t*>(units.data()), units.size() / 2);
    encoded.clear();
    text::EncodeError error;
    if (!text::Encode(to, text, encoded, &error, {.rawBytes = false, .bom = false})) {
      position.Advance(std::u16string_view(text).substr(0, error.index));
      unencodable = error;
      return false;
    }
    position.Advance(text);
    return ok;
  });
  const std::string name(text::EncodingName(to));
  if (unencodable) {
    throw BufferError(Format(
        translate("FileBuffer", "変換できない文字があります: %1 の %2の %3 を %4 で表せません"),
        {source.path(), position.Text(), text::CodePointName(unencodable->codePoint), name}));
  }
  if (!decoded) {
    const std::span<const unsigned char> bytes = source.Read(failedAt, failedAt + 8);
    throw BufferError(Format(
        translate("FileBuffer", "読めないバイトがあるので変換できません: %1 の %2の%3 (%4 として)"),
        {source.path(), position.Text(), DescribeRawBytes(bytes), text::EncodingName(from)}));
  }
  // Not reached: both passes refuse alike.
  throw BufferError(Format(translate("FileBuffer", "変換できません: %1"), {source.path()}));
}

// The destination's bytes when the source already is in the target code: the source itself
// (less a UTF-8 BOM, plus a UTF-16 one); Binary when a real conversion is needed.
Encoding SameCode(Encoding source, TargetCode target) {
  if (source == Encoding::Ascii && target != TargetCode::Utf16LeBom) return Encoding::Ascii;
  switch (target) {
    case TargetCode::ShiftJis:
      return source == Encoding::ShiftJis ? source : Encoding::Binary;
    case TargetCode::EucJp:
      return source == Encoding::EucJp ? source : Encoding::Binary;
    case TargetCode::Jis:
      return source == Encoding::Iso2022Jp ? source : Encoding::Binary;
    case TargetCode::Utf8:
      return source == Encoding::Utf8 || source == Encoding::Utf8Bom ? source : Encoding::Binary;
    case TargetCode::Utf16LeBom:
      return source == Encoding::Utf16Le ? source : Encoding::Binary;
  }
  return Encoding::Binary;
}

Encoding TargetEncoding(TargetCode target) {
  switch (target) {
    case TargetCode::ShiftJis:
      return Encoding::ShiftJis;
    case TargetCode::EucJp:
      return Encoding::EucJp;
    case TargetCode::Jis:
      return Encoding::Iso2022Jp;
    case TargetCode::Utf16LeBom:
      return Encoding::Utf16Le;
    case TargetCode::Utf8:
      return Encoding::Utf8;
  }
  return Encoding::Utf8;
}

// A source already in the target code is copied as it is, once every byte of it has decoded:
// undecodable bytes are no text of the target either. A UTF-8 BOM goes, a UTF-16 one comes.
bool Copy(Source& source, Encoding from, ByteSink& sink) {
  // Most files need no decoding to prove them: each block is checked strictly, up to the start
  // of a character its end cuts, which the next block begins with. From a block that fails (it
  // may hold a code the tables decode though no character is assigned to it), or throughout for
  // ISO-2022-JP, whose shifts carry from block to block, the bytes are decoded.
  std::optional<text::StreamTranscoder> check;
  if (from == Encoding::Iso2022Jp) check.emplace(from, Encoding::Utf16Le, false);
  std::span<const char> units;
  for (std::size_t at = 0;;) {
    const std::span<const unsigned char> block = source.Read(at, at + kBlock);
    const bool last = block.size() < kBlock;
    std::size_t checked = block.size();
    if (!check) {
      checked = text::ValidPrefixLength(from, block);
      // A character's first bytes at the end wait for the next block.
      constexpr std::size_t kCut = 3;
      if (checked < block.size() && (last || block.size() - checked > kCut)) {
        check.emplace(from, Encoding::Utf16Le, false);
        checked = block.size();
      }
    }
    if (check && !check->Feed(block, last, units)) return false;
    std::span<const unsigned char> bytes = block.first(checked);
    if (at == 0) {
      if (from == Encoding::Utf8Bom) bytes = bytes.subspan(text::BomLength(from, bytes));
      if (from == Encoding::Utf16Le && text::BomLength(from, bytes) == 0)
        sink.write({"\xFF\xFE", 2});
    }
    sink.write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    if (last) return true;
    at += checked;
  }
}

// Every CR LF, lone CR and lone LF of UTF-16LE units as `ends` writes them; a CR at a piece's
// end waits for the next piece, which may begin with its LF.
class LineEndWriter {
 public:
  explicit LineEndWriter(LineEnds ends) : crLf_(ends == LineEnds::CrLf) {}

  void Convert(std::u16string_view units, bool last, std::u16string& out) {
    for (const char16_t u : units) {
      if (cr_) {
        cr_ = false;
        End(out);
        if (u == u'\n') continue;
      }
      if (u == u'\r') {
        cr_ = true;
      } else if (u == u'\n') {
        End(out);
      } else {
        out += u;
      }
    }
    if (last && cr_) {
      cr_ = false;
      End(out);
    }
  }

 private:
  void End(std::u16string& out) const { out += crLf_ ? u"\r\n" : u"\n"; }

  bool crLf_;
  bool cr_ = false;
};

// Line ends or a byte-order mark to change: through UTF-16 a block at a time.
bool ThroughUnits(Source& source, Encoding from, Encoding to, LineEnds ends, ByteSink& sink) {
  text::StreamTranscoder decoder(from, Encoding::Utf16Le, false);
  text::StreamTranscoder encoder(Encoding::Utf16Le, to, true);
  LineEndWriter lines(ends);
  std::span<const char> units, out;
  std::u16string text;
  return source.EachBlock([&](std::span<const unsigned char> block, bool last) {
    if (!decoder.Feed(block, last, units)) return false;
    const std::u16string_view decoded(reinterpret_cast<const char16_t*>(units.data()),
                                      units.size() / 2);
    text.clear();
    if (ends == LineEnds::Keep) {
      text.assign(decoded);
    } else {
      lines.Convert(decoded, last, text);
    }
    if (!encoder.Feed(AsBytes({reinterpret_cast<const char*>(text.data()), text.size() * 2}), last,
                      out)) {
      return false;
    }
    sink.write(out);
    return true;
  });
}

// Writes the conversion of `source` to `sink`; throws BufferError naming what stopped it.
void ConvertTo(Source& source, TargetCode target, const ConvertOptions& options, ByteSink& sink) {
  Encoding from;
  if (options.from) {
    const std::span<const unsigned char> head = source.Read(0, 4);
    from = GivenEncoding(*options.from, head);
  } else {
    from = text::DetectEncoding(source.size(),
                                [&](std::size_t a, std::size_t b) { return source.Read(a, b); });
  }
  if (from == Encoding::Binary)
    throw BufferError(
        Format(translate("FileBuffer", "バイナリファイルは変換できません: %1"), {source.path()}));

  Encoding to = TargetEncoding(target);
  bool ok;
  if (options.lineEnds == LineEnds::Keep && !options.utf8Bom) {
    const Encoding same = SameCode(from, target);
    if (same != Encoding::Binary) {
      ok = Copy(source, same, sink);
    } else {
      text::StreamTranscoder stream(from, to, true);
      std::span<const char> out;
      ok = source.EachBlock([&](std::span<const unsigned char> block, bool last) {
        if (!stream.Feed(block, last, out)) return false;
        sink.write(out);
        return true;
      });
    }
  } else {
    if (to == Encoding::Utf8 && options.utf8Bom) to = Encoding::Utf8Bom;
    ok = ThroughUnits(source, from, to, options.lineEnds, sink);
  }
  if (!ok) ThrowConversionError(source, from, to);
}

// Collects the whole output.
class StringSink : public ByteSink {
 public:
  std::string bytes;
  void write(std::span<const char> piece) override { bytes.append(piece.data(), piece.size()); }
};

}  // namespace

Encoding GivenEncoding(Encoding named, std::span<const unsigned char> bytes) {
  if (named == Encoding::Utf8 && text::BomLength(Encoding::Utf8Bom, bytes) > 0) {
    return Encoding::Utf8Bom;
  }
  return named;
}

Encoding GivenEncoding(Encoding named, const std::string& bytes) {
  return GivenEncoding(named, AsBytes(bytes));
}

void RequireDecodable(Encoding encoding, const std::string& bytes, const std::string& name,
                      const char* what) {
  if (text::IsStrictlyValid(encoding, AsBytes(bytes))) return;
  const text::Decoded decoded = text::Decode(encoding, AsBytes(bytes));
  const std::size_t i = text::FindRawByte(decoded.text);
  // Valid by decoding though not strictly (an unassigned code the tables still map): accepted.
  if (i == std::u16string_view::npos) return;
  throw BufferError(Format(translate("FileBuffer", "%1: %2 の %3 (%4 として)"),
                           {translate("FileBuffer", what), name, DescribeRawByte(decoded.text, i),
                            text::EncodingName(encoding)}));
}

std::string ConvertedBytes(const std::string& source, TargetCode code,
                           const ConvertOptions& options, mode_t* sourceMode) {
  Source file(source);
  if (sourceMode) *sourceMode = file.mode();
  StringSink sink;
  ConvertTo(file, code, options, sink);
  return std::move(sink.bytes);
}

void ConvertFile(const std::string& source, const std::string& destination, TargetCode code,
                 const ConvertOptions& options) {
  Source file(source);
  // The output is a copy of the source: never readable by more people than it.
  WriteFileAtomically(destination, [&](ByteSink& sink) { ConvertTo(file, code, options, sink); },
                      {.sourceMode = file.mode(), .sizeHint = file.size()});
}

}  // namespace morvelle::editbuffer
