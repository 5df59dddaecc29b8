#include "adapters/editor_buffer_impl.h"

#include <memory>

#include "adapters/component_codes.h"
#include "adapters/component_errors.h"
#include "editbuffer/convert.h"
#include "editbuffer/file_buffer.h"
#include "services/file_names.h"
#include "services/service_error.h"
#include "translation/translate.h"

namespace morvelle {

namespace {

std::string FileSystemName(const QString& path) { return EncodeFileName(path).toStdString(); }

// A file at least this large is staged with its text rather than its encoded bytes.
constexpr std::size_t kStagedWithText = std::size_t{16} << 20;

// One rule's edits as the file buffer reads them.
class EditsReader : public editbuffer::EditReader {
 public:
  explicit EditsReader(const TextEdits& edits) : edits_(edits), reader_(edits.reader()) {}
  void restart() override { reader_ = edits_.reader(); }
  bool next(editbuffer::EditView& edit) override {
    TextEdits::Edit e;
    if (!reader_.Next(e)) return false;
    edit = {
        size_t(e.start), size_t(e.length), {e.replacement.utf16(), size_t(e.replacement.size())}};
    return true;
  }

 private:
  const TextEdits& edits_;
  TextEdits::Reader reader_;
};

template <typename F>
auto Translated(const QString& path, F&& action) {
  return Guarded(QT_TRANSLATE_NOOP("Services", "メモリが足りないため処理できません: %1"), path,
                 std::forward<F>(action));
}

class LosslessBuffer : public EditorBuffer {
 public:
  explicit LosslessBuffer(std::optional<FileCode> code = std::nullopt) : code_(code) {}

  void LoadFile(const QString& path) override {
    Translated(path, [&] {
      const std::string name = FileSystemName(path);
      if (!code_) {
        buffer_.load(name);
        mode_ = buffer_.mode();
        return;
      }
      mode_t mode = 0;
      std::string bytes = editbuffer::ReadWholeFile(name, &mode);
      const text::Encoding encoding = editbuffer::GivenEncoding(EncodingOf(*code_), bytes);
      editbuffer::RequireDecodable(
          encoding, bytes, name,
          MORVELLE_TRANSLATE_NOOP("FileBuffer", "読めないバイトがあるので読み込めません"));
      buffer_.loadBytes(std::move(bytes), name, encoding);
      mode_ = mode;
    });
    path_ = path;
  }
  QStringView Text() const override {
    return Translated(path_, [&] {
      const std::u16string_view text = buffer_.text();
      return QStringView(text.data(), qsizetype(text.size()));
    });
  }
  bool MayHold(const QStringList& texts) const override {
    return Translated(path_, [&] {
      std::vector<std::u16string> needed;
      for (const QString& t : texts) needed.push_back(t.toStdU16String());
      return buffer_.mayHold(needed);
    });
  }
  std::optional<std::vector<qsizetype>> ReplaceLiterals(
      const std::vector<LiteralRule>& rules) override {
    return Translated(path_, [&]() -> std::optional<std::vector<qsizetype>> {
      std::vector<editbuffer::LiteralEdit> edits;
      edits.reserve(rules.size());
      for (const LiteralRule& r : rules) {
        edits.push_back({r.pattern.toStdU16String(), r.replacement.toStdU16String(), r.global});
      }
      const std::optional<std::vector<std::size_t>> counts = buffer_.replaceLiterals(edits);
      if (!counts) return std::nullopt;
      return std::vector<qsizetype>(counts->begin(), counts->end());
    });
  }
  UnreadableBytes Unreadable() const override {
    return Translated(path_, [&] {
      const editbuffer::Unreadable found = buffer_.unreadable();
      const text::Encoding code = buffer_.encoding();
      return UnreadableBytes{qsizetype(found.count), code == text::Encoding::Binary,
                             QString::fromStdString(found.first),
                             QString::fromUtf8(text::EncodingName(code))};
    });
  }
  void SetText(const QString& text) override {
    Translated(path_, [&] { buffer_.setText({QStringView(text).utf16(), size_t(text.size())}); });
  }
  void ApplyEdits(const TextEdits& edits) override {
    if (edits.isEmpty()) return;
    Translated(path_, [&] {
      EditsReader reader(edits);
      buffer_.applyEdits(reader);
    });
  }
  QString LoadedText() const override {
    return Translated(path_, [&] { return QString::fromStdU16String(buffer_.loadedText()); });
  }
  std::vector<TextEdit> Changes() const override {
    return Translated(path_, [&] {
      std::vector<TextEdit> edits;
      for (const editbuffer::Edit& e : buffer_.changes()) {
        edits.push_back(
            {qsizetype(e.start), qsizetype(e.length), QString::fromStdU16String(e.replacement)});
      }
      return edits;
    });
  }
  void SaveFile(const QString& path) override {
    Translated(path, [&] { buffer_.save(FileSystemName(path), Copy()); });
  }
  void CheckSave(const QString& path) const override {
    Translated(path, [&] { buffer_.checkSave(FileSystemName(path)); });
  }
  std::function<void()> StageSave(const QString& path) override {
    std::string name = FileSystemName(path);
    if (buffer_.size() >= kStagedWithText) {
      auto staged = std::make_shared<editbuffer::FileBuffer>(std::move(buffer_));
      return [name = std::move(name), staged, path, copy = Copy()] {
        Translated(path, [&] { staged->save(name, copy); });
      };
    }
    auto bytes =
        std::make_shared<const std::string>(Translated(path, [&] { return buffer_.bytes(name); }));
    return [name = std::move(name), bytes, path, copy = Copy()] {
      Translated(path, [&] { editbuffer::WriteFileAtomically(name, *bytes, copy); });
    };
  }

 private:
  // An output is a copy of the file loaded: never readable by more people than it.
  editbuffer::SaveOptions Copy() const { return {.sourceMode = mode_}; }

  std::optional<FileCode> code_;  // the sources' code, when not recognised
  editbuffer::FileBuffer buffer_;
  QString path_;                // the file loaded last, for messages
  std::optional<mode_t> mode_;  // its permissions
};

}  // namespace

std::unique_ptr<EditorBuffer> MakeEditorBuffer() { return std::make_unique<LosslessBuffer>(); }

std::unique_ptr<EditorBuffer> MakeEditorBufferReading(FileCode code) {
  return std::make_unique<LosslessBuffer>(code);
}

}  // namespace morvelle
