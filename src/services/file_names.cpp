#include "services/file_names.h"

#include <QStringList>
#include <optional>
#include <span>

#include "text/codec/codec.h"

namespace morvelle {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // byte b (>= 0x80) is held as U+DC00 + b

// Length of the valid UTF-8 sequence at data[i], or 0 when the byte there starts none.
int ValidSequenceLength(const unsigned char* data, qsizetype size, qsizetype i) {
  const unsigned char b0 = data[i];
  if (b0 < 0x80) return 1;
  int length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;   // overlong
    if (b0 == 0xED) high = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;   // overlong
    if (b0 == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > size) return 0;
  if (data[i + 1] < low || data[i + 1] > high) return 0;
  for (int k = 2; k < length; ++k) {
    if (data[i + k] < 0x80 || data[i + k] > 0xBF) return 0;
  }
  return length;
}

std::span<const unsigned char> Bytes(const QByteArray& bytes) {
  return {reinterpret_cast<const unsigned char*>(bytes.constData()), size_t(bytes.size())};
}

bool HasEscapes(const QString& name) {
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name.at(i).unicode();
    if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF &&
        !(i > 0 && name.at(i - 1).isHighSurrogate())) {
      return true;
    }
  }
  return false;
}

// The legacy code a name that is not UTF-8 is valid in: Shift_JIS, then EUC-JP.
std::optional<text::Encoding> LegacyCode(const QByteArray& bytes) {
  for (const text::Encoding code : {text::Encoding::ShiftJis, text::Encoding::EucJp}) {
    if (text::IsStrictlyValid(code, Bytes(bytes))) return code;
  }
  return std::nullopt;
}

bool IsShiftJisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

QString FromUtf16(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
}

}  // namespace

QString LowerCaseFileName(const QString& name) {
  if (!HasEscapes(name)) return name.toLower();
  const QByteArray bytes = EncodeFileName(name);
  QByteArray lowered;
  lowered.reserve(bytes.size());
  if (const std::optional<text::Encoding> code = LegacyCode(bytes)) {
    // Character by character, each changed one encoded anew and every other one kept as its
    // bytes: a code's duplicates (NEC and IBM kanji) must not change either.
    const text::Decoded decoded = text::Decode(*code, Bytes(bytes));
    const std::u16string_view units(decoded.text);
    for (std::size_t i = 0; i < units.size();) {
      std::size_t length = 1;
      text::codePointAt(units, i, length);
      const QString one = FromUtf16(units.substr(i, length));
      const QString lower = one.toLower();
      std::string encoded;
      const bool changed =
          lower != one &&
          text::Encode(*code,
                       {reinterpret_cast<const char16_t*>(lower.utf16()), size_t(lower.size())},
                       encoded, nullptr, {.rawBytes = false, .bom = false});
      if (changed) {
        lowered.append(encoded.data(), qsizetype(encoded.size()));
      } else {
        const std::size_t from = decoded.offsets[i], to = decoded.offsets[i + length];
        lowered.append(bytes.constData() + from, qsizetype(to - from));
      }
      i += length;
    }
  } else {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      const bool alone = i == 0 || !IsShiftJisLead(static_cast<unsigned char>(bytes[i - 1]));
      lowered.append(b >= 'A' && b <= 'Z' && alone ? char(b - 'A' + 'a') : char(b));
    }
  }
  return DecodeFileName(lowered);
}

QString DisplayFileName(const QString& path) {
  if (!HasEscapes(path)) return path;
  QStringList shown;
  for (const QString& part : path.split(u'/')) {
    if (!HasEscapes(part)) {
      shown << part;
      continue;
    }
    const QByteArray bytes = EncodeFileName(part);
    const std::optional<text::Encoding> code = LegacyCode(bytes);
    QString readable = code ? FromUtf16(text::DecodeText(*code, Bytes(bytes))) : part;
    if (!code) {
      for (qsizetype i = 0; i < readable.size(); ++i) {
        if (readable.at(i).isLowSurrogate() && !(i > 0 && readable.at(i - 1).isHighSurrogate())) {
          readable[i] = QChar::ReplacementCharacter;
        }
      }
    }
    shown << readable;
  }
  return shown.join(u'/');
}

QString DecodeFileName(const QByteArray& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype size = bytes.size();
  QString result;
  result.reserve(size);
  qsizetype runStart = 0;
  qsizetype i = 0;
  while (i < size) {
    const int length = ValidSequenceLength(data, size, i);
    if (length > 0) {
      i += length;
      continue;
    }
    result += QString::fromUtf8(bytes.constData() + runStart, i - runStart);
    result += QChar(char16_t(kEscapeBase + data[i]));
    ++i;
    runStart = i;
  }
  result += QString::fromUtf8(bytes.constData() + runStart, size - runStart);
  return result;
}

QByteArray EncodeFileName(const QString& path) {
  QByteArray result;
  result.reserve(path.size());
  qsizetype runStart = 0;
  const qsizetype size = path.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = path.at(i).unicode();
    const bool pairedLow = i > 0 && path.at(i - 1).isHighSurrogate();
    if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF && !pairedLow) {
      result += QStringView(path).mid(runStart, i - runStart).toUtf8();
      result += char(c - kEscapeBase);
      runStart = i + 1;
    }
  }
  result += QStringView(path).mid(runStart).toUtf8();
  return result;
}

}  // namespace morvelle
