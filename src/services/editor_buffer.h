#pragma once
// The file buffer of the batch replacement. A loaded file's text comes back through
// SaveFile byte for byte when nothing changed it; edits keep every byte outside them.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "services/text_service.h"

namespace morvelle {

// What of a loaded file its code cannot read: bytes kept as they are, out of the rules' reach.
struct UnreadableBytes {
  qsizetype count = 0;  // 0: every byte was read
  bool binary = false;  // the whole file reads as binary data, which rules never edit
  QString first;        // where the first is and what it is: "3 行 5 列目のバイト 0x82"
  QString code;         // the code the file was read in
};

class EditorBuffer {
 public:
  virtual ~EditorBuffer() = default;

  // Throws ServiceError naming the file and the cause (a folder is a failure too).
  virtual void LoadFile(const QString& path) = 0;

  // False only when the loaded file reads in its code without an unreadable byte and its text
  // holds none of `texts`, found without decoding it where its code allows. A buffer that
  // cannot tell says true.
  virtual bool MayHold(const QStringList& texts) const {
    (void)texts;
    return true;
  }

  // Applies `rules` in turn straight to the loaded file's bytes, without decoding them, where it
  // reads in its code without an unreadable byte and each text has bytes of its own there; then
  // returns how many spans each rule replaced. Otherwise (or after the text was decoded or
  // edited) changes nothing and returns none: the caller applies the rules to Text(). The file
  // so replaced is what LoadedText and Changes start from. A buffer that cannot says none.
  virtual std::optional<std::vector<qsizetype>> ReplaceLiterals(
      const std::vector<LiteralRule>& rules) {
    (void)rules;
    return std::nullopt;
  }

  // The text as it is now, without a copy: valid until the next LoadFile, SetText, ApplyEdits
  // or StageSave.
  virtual QStringView Text() const = 0;
  // What of the loaded file its code cannot read. Throws ServiceError as Text() does.
  virtual UnreadableBytes Unreadable() const = 0;

  // Replaces the whole text; the common head and tail keep their original bytes, the rest is
  // encoded anew. ApplyEdits is exact where the replaced spans are known.
  virtual void SetText(const QString& text) = 0;
  // Applies one rule's edits to the text in place, positions relative to the current Text().
  virtual void ApplyEdits(const TextEdits& edits) = 0;

  // The text as loaded, and what differs from it now: edits of the loaded text, sorted and
  // non-overlapping (empty when nothing changed). For showing a change before it is written.
  virtual QString LoadedText() const = 0;
  virtual std::vector<TextEdit> Changes() const = 0;

  // Writes atomically; throws ServiceError (also for a character the file's code cannot hold).
  virtual void SaveFile(const QString& path) = 0;

  // Makes every check SaveFile makes, the characters the file's code must hold included, and
  // throws as SaveFile would; writes nothing. A dry run that passes it predicts the write.
  virtual void CheckSave(const QString& path) const = 0;

  // SaveFile in two halves, so that batches can prepare files on several threads and write
  // them in list order; the buffer may load the next file before the write. A small file is
  // encoded now (throwing as SaveFile would) and the returned function writes its bytes; a
  // large one's text goes with the function, which encodes it as it writes (throwing as
  // SaveFile would): a second copy of a large file is never held.
  virtual std::function<void()> StageSave(const QString& path) = 0;
};

}  // namespace morvelle
