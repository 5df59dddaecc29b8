#pragma once
// A file buffer that fails on purpose: the real buffer, except that the Nth load, save or
// staged write (counted from 1) throws what the test gives, as a broken disk or an exhausted
// heap would.

#include <exception>
#include <functional>
#include <memory>

#include "adapters/editor_buffer_impl.h"
#include "services/editor_buffer.h"

namespace morvelle::testing {

class FailingBuffer : public EditorBuffer {
 public:
  using Failure = std::function<void()>;  // throws

  int failLoadAt = 0;   // 0: never
  int failWriteAt = 0;  // SaveFile or the function StageSave returns; 0: never
  Failure failure;

  void LoadFile(const QString& path) override {
    if (++loads_ == failLoadAt) failure();
    real_->LoadFile(path);
  }
  QStringView Text() const override { return real_->Text(); }
  UnreadableBytes Unreadable() const override { return real_->Unreadable(); }
  void SetText(const QString& text) override { real_->SetText(text); }
  void ApplyEdits(const TextEdits& edits) override { real_->ApplyEdits(edits); }
  QString LoadedText() const override { return real_->LoadedText(); }
  std::vector<TextEdit> Changes() const override { return real_->Changes(); }
  void SaveFile(const QString& path) override {
    if (++writes_ == failWriteAt) failure();
    real_->SaveFile(path);
  }
  void CheckSave(const QString& path) const override { real_->CheckSave(path); }
  std::function<void()> StageSave(const QString& path) override {
    std::function<void()> write = real_->StageSave(path);
    if (++writes_ != failWriteAt) return write;
    return [failure = failure] { failure(); };
  }

 private:
  std::unique_ptr<EditorBuffer> real_ = MakeEditorBuffer();
  int loads_ = 0;
  int writes_ = 0;
};

}  // namespace morvelle::testing
