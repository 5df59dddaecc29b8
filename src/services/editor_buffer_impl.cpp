#include "services/editor_buffer_impl.h"

#include <memory>

#include "editbuffer/file_buffer.h"
#include "services/file_names.h"
#include "services/service_error.h"

namespace morvelle {

namespace {

std::string FileSystemName(const QString& path) { return EncodeFileName(path).toStdString(); }

template <typename F>
auto Translated(F&& action) {
  try {
    return action();
  } catch (const editbuffer::BufferError& e) {
    throw ServiceError(QString::fromUtf8(e.what()));
  }
}

class LosslessBuffer : public EditorBuffer {
 public:
  void LoadFile(const QString& path) override {
    Translated([&] { buffer_.load(FileSystemName(path)); });
  }
  QString Text() const override { return QString::fromStdU16String(buffer_.text()); }
  void SetText(const QString& text) override {
    Translated([&] { buffer_.setText(text.toStdU16String()); });
  }
  void ApplyEdits(const std::vector<TextEdit>& edits) override {
    std::vector<editbuffer::Edit> converted;
    converted.reserve(edits.size());
    for (const TextEdit& e : edits) {
      converted.push_back({size_t(e.start), size_t(e.length), e.replacement.toStdU16String()});
    }
    Translated([&] { buffer_.applyEdits(converted); });
  }
  void SaveFile(const QString& path) override {
    Translated([&] { buffer_.save(FileSystemName(path)); });
  }
  std::function<void()> StageSave(const QString& path) const override {
    std::string name = FileSystemName(path);
    auto bytes =
        std::make_shared<const std::string>(Translated([&] { return buffer_.bytes(name); }));
    return [name = std::move(name), bytes] {
      Translated([&] { editbuffer::WriteFileAtomically(name, *bytes); });
    };
  }

 private:
  editbuffer::FileBuffer buffer_;
};

}  // namespace

std::unique_ptr<EditorBuffer> MakeEditorBuffer() { return std::make_unique<LosslessBuffer>(); }

}  // namespace morvelle
