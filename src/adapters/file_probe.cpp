#include "adapters/file_probe.h"

#include <string>

#include "adapters/component_codes.h"
#include "editbuffer/convert.h"
#include "editbuffer/file_buffer.h"
#include "services/file_names.h"
#include "services/service_error.h"
#include "text/detect/detect.h"
#include "translation/translate.h"

namespace morvelle {

namespace {

const char* CodeName(text::Encoding encoding) {
  switch (encoding) {
    case text::Encoding::Ascii:
      return "ASCII";
    case text::Encoding::ShiftJis:
      return "SHIFT_JIS";
    case text::Encoding::EucJp:
      return "EUC-JP";
    case text::Encoding::Iso2022Jp:
      return "ISO-2022-JP";
    case text::Encoding::Utf8:
      return "UTF-8";
    case text::Encoding::Utf8Bom:
      return "UTF-8-BOM";
    case text::Encoding::Utf16Le:
      return "UTF-16LE";
    case text::Encoding::Utf16Be:
      return "UTF-16BE";
    case text::Encoding::Utf32Le:
      return "UTF-32LE";
    case text::Encoding::Utf32Be:
      return "UTF-32BE";
    case text::Encoding::Binary:
      return "BINARY";
  }
  return "BINARY";
}

text::Encoding Recognised(const std::string& bytes) {
  return text::DetectEncoding({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
}

}  // namespace

QString CodeNameOf(const QString& path, std::optional<FileCode> given) {
  try {
    // The buffer recognises the code from the whole file's bytes; so does this.
    const std::string name = EncodeFileName(path).toStdString();
    const std::string bytes = editbuffer::ReadWholeFile(name);
    text::Encoding encoding;
    if (given) {
      // The code as given, if the bytes are text of it.
      encoding = editbuffer::GivenEncoding(EncodingOf(*given), bytes);
      editbuffer::RequireDecodable(
          encoding, bytes, name, MORVELLE_TRANSLATE_NOOP("FileBuffer", "読めないバイトがあります"));
    } else {
      encoding = Recognised(bytes);
    }
    return QString::fromLatin1(CodeName(encoding));
  } catch (const editbuffer::BufferError& e) {
    throw ServiceError(QString::fromUtf8(e.what()));
  }
}

bool IsBinaryFile(const QString& path) {
  try {
    return Recognised(editbuffer::ReadWholeFile(EncodeFileName(path).toStdString())) ==
           text::Encoding::Binary;
  } catch (const editbuffer::BufferError&) {
    return false;
  }
}

QString SystemErrorText(int error) { return QString::fromStdString(editbuffer::ErrnoText(error)); }

}  // namespace morvelle
