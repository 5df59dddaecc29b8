#include "convert.h"

#include <cstdio>

#include "file_buffer.h"
#include "text/detect/detect.h"
#include "unreadable.h"

namespace morvelle::editbuffer {
namespace {

using text::Encoding;

std::span<const unsigned char> AsBytes(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// The destination's bytes when the source already is in the target code: the source itself
// (less a UTF-8 BOM, plus a UTF-16 one); nothing when a real conversion is needed.
bool SameCode(Encoding source, TargetCode target, const std::string& bytes, std::string& out) {
  switch (target) {
    case TargetCode::ShiftJis:
    case TargetCode::EucJp:
    case TargetCode::Jis:
    case TargetCode::Utf8:
      if (source == Encoding::Ascii) {
        out = bytes;
        return true;
      }
      break;
    case TargetCode::Utf16LeBom:
      break;
  }
  switch (target) {
    case TargetCode::ShiftJis:
      if (source != Encoding::ShiftJis) return false;
      out = bytes;
      return true;
    case TargetCode::EucJp:
      if (source != Encoding::EucJp) return false;
      out = bytes;
      return true;
    case TargetCode::Jis:
      if (source != Encoding::Iso2022Jp) return false;
      out = bytes;
      return true;
    case TargetCode::Utf8:
      if (source == Encoding::Utf8) {
        out = bytes;
      } else if (source == Encoding::Utf8Bom) {
        out.assign(bytes, text::BomLength(source, AsBytes(bytes)));
      } else {
        return false;
      }
      return true;
    case TargetCode::Utf16LeBom:
      if (source != Encoding::Utf16Le) return false;
      out = text::BomLength(source, AsBytes(bytes)) ? bytes : "\xFF\xFE" + bytes;
      return true;
  }
  return false;
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

// Whether the source decodes without an undecodable byte, checked without decoding it. A copy
// is refused for such bytes like any other conversion: they are no text of the target either.
bool WhollyDecodable(Encoding from, const std::string& bytes) {
  return text::IsStrictlyValid(from, AsBytes(bytes));
}

// Throws for the first undecodable byte of `decoded`, with its line and column.
void RequireDecoded(Encoding from, const text::Decoded& decoded, const std::string& name,
                    const char* what) {
  const std::size_t i = text::FindRawByte(decoded.text);
  if (i == std::u16string_view::npos) return;
  throw BufferError(std::string(what) + ": " + name + " の " + DescribeRawByte(decoded.text, i) +
                    " (" + std::string(text::EncodingName(from)) + " として)");
}

constexpr const char* kUndecodable = "読めないバイトがあるので変換できません";

// Names the first byte or character that stopped the conversion, with its line and column.
[[noreturn]] void ThrowConversionError(const std::string& source, Encoding from, Encoding to,
                                       const std::string& bytes) {
  const text::Decoded decoded = text::Decode(from, AsBytes(bytes));
  RequireDecoded(from, decoded, source, kUndecodable);
  std::string out;
  text::EncodeError error;
  if (text::Encode(to, decoded.text, out, &error, {.rawBytes = false, .bom = true})) {
    throw BufferError("変換できません: " + source);  // not reached: both paths refuse alike
  }
  throw BufferError("変換できない文字があります: " + source + " の " + std::to_string(error.line) +
                    " 行 " + std::to_string(error.column) + " 列目の " +
                    text::CodePointName(error.codePoint) + " を " +
                    std::string(text::EncodingName(to)) + " で表せません");
}

// Every CR LF, CR and LF as `ends` writes it.
std::u16string WithLineEnds(std::u16string_view text, LineEnds ends) {
  const std::u16string_view end = ends == LineEnds::CrLf ? u"\r\n" : u"\n";
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out += end;
    } else if (text[i] == u'\n') {
      out += end;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

Encoding GivenEncoding(Encoding named, const std::string& bytes) {
  if (named == Encoding::Utf8 && text::BomLength(Encoding::Utf8Bom, AsBytes(bytes)) > 0) {
    return Encoding::Utf8Bom;
  }
  return named;
}

void RequireDecodable(Encoding encoding, const std::string& bytes, const std::string& name,
                      const char* what) {
  if (WhollyDecodable(encoding, bytes)) return;
  RequireDecoded(encoding, text::Decode(encoding, AsBytes(bytes)), name, what);
  // Valid by decoding though not strictly (an unassigned code the tables still map): accepted.
}

std::string ConvertedBytes(const std::string& source, int code, const ConvertOptions& options,
                           mode_t* sourceMode) {
  if (code < 1 || code > 5) {
    throw BufferError("文字コードの指定が正しくありません: " + std::to_string(code) + " (" +
                      source + ")");
  }
  const auto target = static_cast<TargetCode>(code);
  const std::string bytes = ReadWholeFile(source, sourceMode);
  const Encoding from =
      options.from ? GivenEncoding(*options.from, bytes) : text::DetectEncoding(AsBytes(bytes));
  if (from == Encoding::Binary) throw BufferError("バイナリファイルは変換できません: " + source);

  std::string out;
  Encoding to = TargetEncoding(target);
  if (options.lineEnds == LineEnds::Keep && !options.utf8Bom) {
    const bool copy = SameCode(from, target, bytes, out);
    if (copy ? !WhollyDecodable(from, bytes) : !text::Transcode(from, to, AsBytes(bytes), out)) {
      ThrowConversionError(source, from, to, bytes);
    }
    return out;
  }
  // Line ends or a byte-order mark to change: through the text.
  const text::Decoded decoded = text::Decode(from, AsBytes(bytes));
  RequireDecoded(from, decoded, source, kUndecodable);
  if (to == Encoding::Utf8 && options.utf8Bom) to = Encoding::Utf8Bom;
  const std::u16string text = options.lineEnds == LineEnds::Keep
                                  ? decoded.text
                                  : WithLineEnds(decoded.text, options.lineEnds);
  if (!text::Encode(to, text, out, nullptr, {.rawBytes = false, .bom = true})) {
    ThrowConversionError(source, from, to, bytes);
  }
  return out;
}

void ConvertFile(const std::string& source, const std::string& destination, int code,
                 const ConvertOptions& options) {
  mode_t mode = 0;
  const std::string bytes = ConvertedBytes(source, code, options, &mode);
  WriteFileAtomically(destination, bytes, {.sourceMode = mode});
}

}  // namespace morvelle::editbuffer
