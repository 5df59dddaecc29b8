// Real Japanese text where the machine has it (the SKK and mecab dictionaries in EUC-JP, the
// Japanese manual pages in UTF-8), in every code: recognised from disk, loaded and saved
// untouched byte for byte, and decoded and encoded again to the same bytes. Skipped without it.

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <filesystem>

#include "editbuffer/file_buffer.h"
#include "support/missing_input.h"
#include "temp_dir.h"
#include "text/detect/detect.h"

namespace morvelle::editbuffer {
namespace {

namespace fs = std::filesystem;
using text::Encoding;

std::span<const unsigned char> Span(const std::string& s) {
  return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

struct Source {
  std::string name;
  std::string bytes;
  Encoding encoding;
};

std::vector<Source> Corpus() {
  std::vector<Source> corpus;
  // The head of each file, cut at a line end, keeps the run short under the sanitizers.
  auto add = [&](const fs::path& path, Encoding e) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return;
    std::string bytes = ReadWholeFile(path);
    if (bytes.size() > 256 * 1024) bytes.resize(bytes.rfind('\n', 256 * 1024) + 1);
    corpus.push_back({path.string(), std::move(bytes), e});
  };
  add("/usr/share/skk/SKK-JISYO.L", Encoding::EucJp);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/usr/share/mecab/dic/ipadic", ec)) {
    if (entry.path().extension() == ".csv") add(entry.path(), Encoding::EucJp);
  }
  int pages = 0;
  for (const auto& entry : fs::directory_iterator("/usr/share/man/ja/man1", ec)) {
    if (entry.path().extension() != ".gz" || ++pages > 40) continue;
    std::string command = "gzip -dc '" + entry.path().string() + "' 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      std::string text;
      char buffer[65536];
      std::size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
      if (pclose(pipe) == 0 && !text.empty()) {
        corpus.push_back({entry.path().string(), text, Encoding::Utf8});
      }
    }
  }
  return corpus;
}

// glibc's converter, so the variants are not made by the code under test.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  // (iconv_t)-1 is iconv_open's documented failure value.
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;  // NOLINT(performance-no-int-to-ptr)
  std::string input = in;
  out.assign(in.size() * 4 + 16, '\0');
  char* inPtr = input.data();
  std::size_t inLeft = input.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return ok;
}

TEST(FileBufferCorpus, EveryFileInEveryCodeComesBackByteForByte) {
  const std::vector<Source> corpus = Corpus();
  if (corpus.empty()) MORVELLE_MISSING_INPUT("no Japanese corpus installed");
  testing::TempDir dir;
  struct Variant {
    Encoding encoding;
    const char* glibcName;
  };
  const Variant variants[] = {{Encoding::ShiftJis, "CP932"},
                              {Encoding::EucJp, "EUC-JP-MS"},
                              {Encoding::Utf8, "UTF-8"},
                              {Encoding::Utf16Le, "UTF-16LE"},
                              {Encoding::Iso2022Jp, nullptr}};
  int files = 0, misrecognised = 0;
  for (const Source& source : corpus) {
    const char* from = source.encoding == Encoding::EucJp ? "EUC-JP-MS" : "UTF-8";
    for (const Variant& v : variants) {
      std::string bytes;
      if (v.glibcName) {
        if (!Convert(v.glibcName, from, source.bytes, bytes)) continue;  // not expressible
        if (v.encoding == Encoding::Utf16Le) bytes.insert(0, "\xFF\xFE");
      } else {
        std::u16string t = text::DecodeText(source.encoding, Span(source.bytes));
        if (!text::Encode(Encoding::Iso2022Jp, t, bytes)) continue;
      }
      SCOPED_TRACE(source.name + " as " + std::string(text::EncodingName(v.encoding)));
      const std::string path = dir / "file.txt";
      testing::WriteFile(path, bytes);
      FileBuffer buffer;
      buffer.load(path);
      (void)buffer.text();
      buffer.save(dir / "file.txt.exp");
      ASSERT_TRUE(testing::ReadFile(dir / "file.txt.exp") == bytes);
      ++files;
      // Recognition is its own unit's concern; a miss here is counted, not failed.
      if (buffer.encoding() != v.encoding) {
        ++misrecognised;
        continue;
      }
      std::string again;
      ASSERT_TRUE(text::Encode(v.encoding, buffer.text(), again));
      EXPECT_TRUE(again == bytes);
    }
  }
  RecordProperty("files", files);
  RecordProperty("misrecognised", misrecognised);
  std::printf("%d files, %d recognised as another code\n", files, misrecognised);
}

}  // namespace
}  // namespace morvelle::editbuffer
