#include "adapters/settings_file_service_impl.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <cerrno>

#include "editbuffer/file_buffer.h"
#include "services/file_names.h"
#include "services/service_error.h"
#include "text/codec/codec.h"

namespace morvelle {

namespace {

using text::Encoding;

constexpr text::EncodeOptions kPlainCp932{.rawBytes = false, .bom = false};

std::span<const unsigned char> Bytes(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

char32_t FirstCodePoint(std::u16string_view text) {
  return QStringView(text.data(), qsizetype(text.size())).toUcs4().value(0);
}

QString Name(char32_t codePoint) { return QString::fromStdString(text::CodePointName(codePoint)); }

// Old editors ended a text file with the DOS end mark ^Z (0x1A), some with line ends after it:
// the file ends there. 0x1A is no part of a CP932 or UTF-8 multi-byte character, and one inside
// a line stays a character of its rule.
void CutEndMark(std::string& bytes) {
  for (;;) {
    std::size_t end = bytes.size();
    while (end > 0 && (bytes[end - 1] == '\r' || bytes[end - 1] == '\n')) --end;
    if (end == 0 || bytes[end - 1] != '\x1a') return;
    bytes.resize(end - 1);
  }
}

bool IsFolder(const QString& path) {
  struct stat st {};
  return ::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
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
    CutEndMark(bytes);
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
      const std::u16string_view line(QStringView(lines[n]).utf16(), size_t(lines[n].size()));
      const std::size_t raw = text::FindRawByte(line);
      if (raw != std::u16string_view::npos) {
        throw ServiceError(
            QCoreApplication::translate("Services",
                                        "設定ファイルを読み込めません: %1 (%2 行目に %3 として"
                                        "解釈できないバイト 0x%4 があります)")
                .arg(path, QString::number(n + 1), QString::fromUtf8(text::EncodingName(code)),
                     QString::number(text::RawByteOf(line[raw]), 16).rightJustified(2, u'0')));
      }
    }
    return lines;
  }

  void WriteLines(const QString& path, const QStringList& lines) override {
    std::string out;
    for (qsizetype n = 0; n < lines.size(); ++n) {
      if (const std::optional<Unstorable> bad = FirstUnstorable(lines[n])) {
        const QString cause =
            bad->readsBackAs
                ? QStringLiteral("%1 は Shift_JIS で書くと %2 として読み込まれます")
                      .arg(Name(bad->codePoint), Name(*bad->readsBackAs))
                : QStringLiteral("%1 は Shift_JIS で表せません").arg(Name(bad->codePoint));
        throw ServiceError(QStringLiteral("設定ファイルを保存できません: %1 (%2 行目の %3)")
                               .arg(path, QString::number(n + 1), cause));
      }
      text::Encode(Encoding::ShiftJis, lines[n].toStdU16String(), out, nullptr, kPlainCp932);
      out += "\r\n";
    }
    try {
      editbuffer::WriteFileAtomically(EncodeFileName(path).toStdString(), out);
    } catch (const editbuffer::BufferError& e) {
      throw ServiceError(QString::fromUtf8(e.what()));
    }
  }

  QStringList MakeFolder(const QString& folder) override {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (IsFolder(path)) return {};
    QStringList made;
    const auto fail = [&](int error) {
      RemoveEmptyFolders(made);
      throw ServiceError(QStringLiteral("設定ファイルのフォルダーを作成できません: %1 (%2)")
                             .arg(folder, QString::fromUtf8(editbuffer::ErrnoText(error))));
    };
    // From the root down: mkdir tells an existing entry (EEXIST) before it asks for rights.
    for (qsizetype end = path.indexOf(u'/', 1);; end = path.indexOf(u'/', end + 1)) {
      const QString level = end < 0 ? path : path.left(end);
      const QByteArray name = EncodeFileName(level);
      if (::mkdir(name.constData(), 0700) == 0) {
        made << level;
      } else if (errno != EEXIST) {
        fail(errno);
      } else if (end < 0 && !IsFolder(level)) {
        // A file in its place; one higher up fails the next level's mkdir with ENOTDIR.
        fail(EEXIST);
      }
      if (end < 0) return made;
    }
  }

  void RemoveEmptyFolders(const QStringList& folders) override {
    for (qsizetype i = folders.size() - 1; i >= 0; --i) {
      // Fails, and keeps the folder, when it holds anything.
      ::rmdir(EncodeFileName(folders[i]).constData());
    }
  }

  // Character by character: decoding the bytes of one character gives it back, or the
  // character CP932's decoder maps those bytes to (U+301C → 81 60 → U+FF5E, as glibc's
  // converter and Windows both do; conversion of files keeps that mapping).
  std::optional<Unstorable> FirstUnstorable(const QString& line) const override {
    const std::u16string text = line.toStdU16String();
    std::string bytes;
    for (std::size_t i = 0; i < text.size();) {
      const bool pair = QChar::isHighSurrogate(text[i]) && i + 1 < text.size() &&
                        QChar::isLowSurrogate(text[i + 1]);
      const std::u16string_view one(text.data() + i, pair ? 2 : 1);
      bytes.clear();
      text::EncodeError error;
      if (!text::Encode(Encoding::ShiftJis, one, bytes, &error, kPlainCp932)) {
        return Unstorable{error.codePoint, std::nullopt};
      }
      const std::u16string back = text::DecodeText(Encoding::ShiftJis, Bytes(bytes));
      if (back != one) {
        return Unstorable{FirstCodePoint(one), FirstCodePoint(back)};
      }
      i += one.size();
    }
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<SettingsFileService> MakeSettingsFileService() {
  return std::make_unique<Cp932SettingsFile>();
}

}  // namespace morvelle
