#pragma once
// A lossless file buffer. The loaded bytes stay in memory; the text is a piece table over the
// decoded original and the inserted replacements, so saving copies the original bytes of every
// untouched span and encodes only what edits put in. A chain of many edits stays linear: each
// applyEdits is one merge pass over the pieces and the sorted edits.

#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/codec/codec.h"

namespace morvelle::editbuffer {

// Every failure of the buffer. what() is a Japanese description in UTF-8 naming the file and
// the cause, ready to show to the user.
class BufferError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One replaced span, in UTF-16 units of the text the edit list applies to.
struct Edit {
  std::size_t start = 0;
  std::size_t length = 0;
  std::u16string replacement;
};

struct SaveOptions {
  bool sync = false;  // fsync the temporary file before the rename
};

class FileBuffer {
 public:
  FileBuffer();
  ~FileBuffer();
  FileBuffer(FileBuffer&&) noexcept;
  FileBuffer& operator=(FileBuffer&&) noexcept;

  // `path` is the file-system name (bytes). Throws BufferError; a folder is a failure. On a
  // failure the buffer keeps what it held before.
  void load(const std::string& path);
  // The same from bytes already in memory (`name` only appears in messages); `encoding`
  // overrides recognition.
  void loadBytes(std::string bytes, const std::string& name,
                 std::optional<text::Encoding> encoding = std::nullopt);

  // The recognised code of the loaded file.
  text::Encoding encoding() const;

  // Valid until the next load, setText or applyEdits.
  const std::u16string& text() const;
  // Replaces the whole text; the common head and tail keep their original bytes.
  void setText(std::u16string text);
  // Edits are sorted by start, non-overlapping, positions in the current text(). Throws
  // BufferError on edits that are out of order or out of range; the text stays as it was.
  void applyEdits(const std::vector<Edit>& edits);

  // True when nothing differs from the loaded text.
  bool unchanged() const;
  // The loaded text, decoded.
  const std::u16string& loadedText() const;
  // What differs from the loaded text, as edits of it: sorted, non-overlapping, each replacing
  // a span of the loaded text with what the text now holds there. Empty when unchanged.
  std::vector<Edit> changes() const;

  // The bytes save() would write. Throws BufferError naming `name` for a character the file's
  // code cannot hold.
  std::string bytes(const std::string& name) const;
  // Writes atomically: a temporary file in the same folder, then a rename over `path`. A planted
  // symbolic link at `path` is replaced, never followed; a file there that the user may not
  // write is refused, not replaced. A failure leaves no temporary file and `path` as it was.
  void save(const std::string& path, SaveOptions options = {}) const;
  // Makes every check save() makes, the characters the file's code must hold included, and
  // throws as save() would; writes nothing.
  void checkSave(const std::string& path) const;

 private:
  struct Impl;
  Impl* impl_;
};

// Writes `bytes` to `path` atomically as save() does; throws BufferError.
void WriteFileAtomically(const std::string& path, std::span<const char> bytes,
                         SaveOptions options = {});
// Makes every check WriteFileAtomically makes before it writes (the target is not a folder, a
// file there may be written, the folder takes new files), writing nothing; throws BufferError
// with the message the write would give.
void CheckWritable(const std::string& path);
// Removes every temporary file a write of this process has not yet renamed or removed, and
// keeps any further write from making one: for a process that is about to end on a signal.
void RemoveTemporaryFiles();
// Reads the whole file; throws BufferError (a folder is a failure).
std::string ReadWholeFile(const std::string& path);

}  // namespace morvelle::editbuffer
