#pragma once
// The loaded file's bytes. A small file's stay in memory. A large file's are dropped once its
// text is decoded (the text is the memory such a file needs) and read again, a chunk at a time,
// for the save, from the descriptor opened at load: a file replaced by a rename is still the
// one loaded; one written in place since is refused, never half copied.

#include <cstddef>
#include <span>
#include <string>

#include "io.h"
#include "text/codec/offset_index.h"

namespace morvelle::editbuffer {

class Original {
 public:
  // Bytes with no file behind them: held for good.
  void Hold(std::string bytes);
  // A file read whole; files of at least `dropFrom` bytes may drop their bytes (Drop).
  void Keep(detail::OpenedFile file, std::size_t dropFrom, std::size_t chunk);

  std::size_t size() const { return size_; }
  bool held() const { return !dropped_; }
  // Valid while held().
  std::span<const unsigned char> bytes() const {
    return {reinterpret_cast<const unsigned char*>(bytes_.data()), bytes_.size()};
  }
  // Drops the bytes if the file is large enough and can be read again.
  void Drop();
  // Takes the held bytes to change them; Replace gives them back. Nothing is held between.
  std::string Take() { return std::move(bytes_); }
  // Bytes that stand in for the file's from now on: held for good, never read again.
  void Replace(std::string bytes);

  // Reads the bytes for one save: held ones, or the file's again. `name` is for messages.
  class Reader : public text::ByteSource {
   public:
    Reader(const Original& original, const std::string& name);
    std::span<const unsigned char> read(std::size_t from, std::size_t to) override;
    // Throws if the file changed while it was read.
    void Finish();

   private:
    void Check();

    const Original& original_;
    const std::string& name_;
    std::string window_;
    std::size_t start_ = 0;  // of the window in the file
  };

 private:
  std::string bytes_;
  std::size_t size_ = 0;
  detail::Fd fd_;
  struct stat status_ {};
  std::size_t dropFrom_ = SIZE_MAX;
  std::size_t chunk_ = 1 << 20;
  bool dropped_ = false;
};

}  // namespace morvelle::editbuffer
