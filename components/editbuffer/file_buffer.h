#pragma once
// A lossless file buffer. The text is decoded once into one block that edits change in place;
// a list of runs records which units still come from the file, and a sparse offset index finds
// their bytes, so a save copies the original bytes of every untouched span and encodes only what
// edits put in, straight into the temporary file. A large file's bytes are not held beside its
// text: the save reads them again from the file (see original.h).

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
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

// An edit as applyEdits reads it; the replacement may live in a buffer shared by many edits.
struct EditView {
  std::size_t start = 0;
  std::size_t length = 0;
  std::u16string_view replacement;
};

// A list of edits read in order, from the start again on restart(): applying takes two passes.
class EditReader {
 public:
  virtual ~EditReader() = default;
  virtual void restart() = 0;
  virtual bool next(EditView& edit) = 0;
};

// A rule that replaces one text with another, as replaceLiterals applies it: every occurrence,
// leftmost first and never overlapping (only the first unless `global`).
struct LiteralEdit {
  std::u16string pattern;  // not empty
  std::u16string replacement;
  bool global = false;
};

struct LoadOptions {
  // A file at least this large is read again for its save instead of being held beside its
  // text (the text is the memory such a file needs).
  std::size_t rereadFrom = std::size_t{16} << 20;
  // How much of such a file a save reads at once.
  std::size_t readChunk = std::size_t{1} << 20;
  // A file smaller than this keeps where every unit of its text came from (four bytes a unit),
  // so a save with edits all over it need not decode it again; a larger one keeps a sparse
  // index of that.
  std::size_t denseBelow = std::size_t{16} << 20;
  // The file's code, when it is not to be recognised (load only).
  std::optional<text::Encoding> encoding;
};

// Bytes of a loaded file that its code cannot read, kept as they are.
struct Unreadable {
  std::size_t count = 0;  // every byte, for a file read as binary data
  std::string first;      // where the first is and what it is; empty for binary data
};

struct SaveOptions {
  bool sync = false;  // fsync the temporary file before the rename
  // The permissions of the file the output is made from. The output gets their rwx bits less
  // the umask, as cp gives a new copy, whatever it replaces: it is never readable by more people
  // than its source. Without them a file there keeps its permissions and a new one gets 0666
  // less the umask.
  std::optional<mode_t> sourceMode;
  // About how many bytes the output takes (0: not known). A large output's room on the disk is
  // taken at once; what it does not use is given back before the rename.
  std::size_t sizeHint = 0;
};

// Where a save's bytes go: the temporary file, or nowhere for a check.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Throws BufferError.
  virtual void write(std::span<const char> bytes) = 0;
};

class FileBuffer {
 public:
  FileBuffer();
  ~FileBuffer();
  FileBuffer(FileBuffer&&) noexcept;
  FileBuffer& operator=(FileBuffer&&) noexcept;

  // `path` is the file-system name (bytes). Throws BufferError; a folder is a failure. On a
  // failure the buffer keeps what it held before.
  void load(const std::string& path, const LoadOptions& options = {});
  // The same from bytes already in memory (`name` only appears in messages); `encoding`
  // overrides recognition.
  void loadBytes(std::string bytes, const std::string& name,
                 std::optional<text::Encoding> encoding = std::nullopt,
                 const LoadOptions& options = {});

  // The recognised code of the loaded file.
  text::Encoding encoding() const;
  // The loaded file's size in bytes.
  std::size_t size() const;
  // The loaded file's permissions (st_mode & 07777) as it was read, for SaveOptions::sourceMode;
  // none for bytes given to loadBytes.
  std::optional<mode_t> mode() const;
  // What of the loaded file its code cannot read. Decodes the file if that was not done yet.
  Unreadable unreadable() const;

  // False only when the loaded file reads in its code without an unreadable byte and its text
  // holds none of `texts`: rules that each need one of them leave it as it is. Before the text
  // is decoded this searches the file's bytes, which costs a fraction of decoding them.
  bool mayHold(const std::vector<std::u16string>& texts) const;
  // Applies `rules` in turn to the loaded file's bytes without decoding them, when the file reads
  // in its code (CP932, EUC-JP, UTF-8) without an unreadable byte and every text has bytes of its
  // own there; a pattern's bytes count only where a character begins. Returns how many spans
  // each rule changed (none for a rule that puts back what it finds); the replaced bytes are then
  // the loaded file (loadedText, changes and a save start from them). Otherwise returns none and
  // changes nothing: the text was decoded or edited already, or the code or a text's bytes cannot
  // tell the characters apart.
  std::optional<std::vector<std::size_t>> replaceLiterals(const std::vector<LiteralEdit>& rules);
  // Valid until the next load, setText or applyEdits. Throws std::bad_alloc.
  std::u16string_view text() const;
  // Replaces the whole text; the common head and tail keep their original bytes.
  void setText(std::u16string_view text);
  // Edits are sorted by start, non-overlapping, positions in the current text(), replacements
  // outside it. Throws BufferError on edits that are out of order or out of range, and
  // std::bad_alloc; the text then stays as it was.
  void applyEdits(EditReader& edits);
  void applyEdits(const std::vector<Edit>& edits);

  // True when nothing differs from the loaded text.
  bool unchanged() const;
  // The loaded text, decoded again (a large file is read again, as for a save).
  std::u16string loadedText() const;
  // What differs from the loaded text, as edits of it: sorted, non-overlapping, each replacing
  // a span of the loaded text with what the text now holds there. Empty when unchanged.
  std::vector<Edit> changes() const;

  // The bytes save() would write. Throws BufferError naming `name` for a character the file's
  // code cannot hold, or for a large file changed since it was loaded.
  std::string bytes(const std::string& name) const;
  // The same bytes, a piece at a time.
  void write(ByteSink& sink, const std::string& name) const;
  // Writes atomically: a temporary file in the same folder, then a rename over `path`. A planted
  // symbolic link at `path` is replaced, never followed; a file there that the user may not
  // write is refused, not replaced. A failure leaves no temporary file and `path` as it was.
  void save(const std::string& path, SaveOptions options = {}) const;
  // Makes every check save() makes, the characters the file's code must hold included, and
  // throws as save() would; writes nothing.
  void checkSave(const std::string& path) const;

  // The state; only the library's own files see its definition.
  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Writes `bytes` to `path` atomically as save() does; throws BufferError.
void WriteFileAtomically(const std::string& path, std::span<const char> bytes,
                         SaveOptions options = {});
// The same with the bytes `produce` writes to its sink; what it throws leaves no temporary
// file and `path` as it was, and comes out of the call.
void WriteFileAtomically(const std::string& path, const std::function<void(ByteSink&)>& produce,
                         SaveOptions options = {});
// Makes every check WriteFileAtomically makes before it writes (the target is not a folder, a
// file there may be written, the folder takes new files), writing nothing; throws BufferError
// with the message the write would give.
void CheckWritable(const std::string& path);
// Removes every temporary file a write of this process has not yet renamed or removed, and
// keeps any further write from making one: for a process that is about to end on a signal.
void RemoveTemporaryFiles();
// Reads the whole file; throws BufferError (a folder is a failure). `mode`, when given, receives
// the file's permissions (st_mode & 07777) as it was read.
std::string ReadWholeFile(const std::string& path, mode_t* mode = nullptr);
// The cause of a failed system call as the user reads it (「アクセスが拒否されました」).
std::string ErrnoText(int error);

}  // namespace morvelle::editbuffer
