#include "services/file_names.h"

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

}  // namespace

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
