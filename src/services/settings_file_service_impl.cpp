#include "services/settings_file_service_impl.h"

#include "editbuffer/file_buffer.h"
#include "services/file_names.h"
#include "services/service_error.h"
#include "text/codec/codec.h"

namespace morvelle {

namespace {

using text::Encoding;

std::span<const unsigned char> Bytes(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

class Cp932SettingsFile : public SettingsFileService {
 public:
  QStringList ReadLines(const QString& path) override {
    std::string bytes;
    try {
      bytes = editbuffer::ReadWholeFile(EncodeFileName(path).toStdString());
    } catch (const editbuffer::BufferError& e) {
      throw ServiceError(QString::fromUtf8(e.what()));
    }
    const Encoding code = text::BomLength(Encoding::Utf8Bom, Bytes(bytes)) > 0 ? Encoding::Utf8Bom
                                                                               : Encoding::ShiftJis;
    const std::u16string decoded = text::DecodeText(code, Bytes(bytes));
    const QString all = QString::fromStdU16String(decoded);

    // Line ends as other editors write them too: CR LF, LF or a lone CR.
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
      if (all[i] != u'\r' && all[i] != u'\n') continue;
      lines << all.mid(start, i - start);
      if (all[i] == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n') ++i;
      start = i + 1;
    }
    if (start < all.size()) lines << all.mid(start);

    for (qsizetype n = 0; n < lines.size(); ++n) {
      for (QChar c : lines[n]) {
        if (c.unicode() >= text::kRawByteBase && c.unicode() <= text::kRawByteBase + 0xFF) {
          throw ServiceError(
              QStringLiteral("設定ファイルを読み込めません: %1 (%2 行目に %3 として解釈できない"
                             "バイト 0x%4 があります)")
                  .arg(path)
                  .arg(n + 1)
                  .arg(QString::fromUtf8(text::EncodingName(code)))
                  .arg(c.unicode() - text::kRawByteBase, 2, 16, QChar(u'0')));
        }
      }
    }
    return lines;
  }

  void WriteLines(const QString& path, const QStringList& lines) override {
    std::string out;
    for (qsizetype n = 0; n < lines.size(); ++n) {
      const std::u16string line = lines[n].toStdU16String();
      text::EncodeError error;
      if (!text::Encode(Encoding::ShiftJis, line, out, &error, {.rawBytes = false, .bom = false})) {
        throw ServiceError(QStringLiteral("設定ファイルを保存できません: %1 (%2 行目の %3 は "
                                          "Shift_JIS で表せません)")
                               .arg(path)
                               .arg(n + 1)
                               .arg(QString::fromStdString(text::CodePointName(error.codePoint))));
      }
      out += "\r\n";
    }
    try {
      editbuffer::WriteFileAtomically(EncodeFileName(path).toStdString(), out);
    } catch (const editbuffer::BufferError& e) {
      throw ServiceError(QString::fromUtf8(e.what()));
    }
  }

  std::optional<char32_t> FirstUnstorable(const QString& text) const override {
    std::string out;
    text::EncodeError error;
    if (text::Encode(Encoding::ShiftJis, text.toStdU16String(), out, &error,
                     {.rawBytes = false, .bom = false})) {
      return std::nullopt;
    }
    return error.codePoint;
  }
};

}  // namespace

std::unique_ptr<SettingsFileService> MakeSettingsFileService() {
  return std::make_unique<Cp932SettingsFile>();
}

}  // namespace morvelle
