// Conversion and buffer throughput on one large Shift_JIS file, and the same conversions by
// glibc iconv and nkf -x in the same run, with the ratios.
//
//   bench_codec FILE.sjis OUTPUT_DIR
//
// run.sh builds this optimised and makes the file.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editbuffer/convert.h"
#include "editbuffer/file_buffer.h"
#include "text/codec/codec.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best of three, in seconds: the first run warms the page cache and the tables.
template <typename F>
double Best(F&& f) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    auto start = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace morvelle;
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_codec FILE.sjis OUTPUT_DIR\n");
    return 2;
  }
  const std::string source = argv[1];
  const std::string out = std::string(argv[2]) + "/bench.exp";
  const std::string bytes = editbuffer::ReadWholeFile(source);
  const double mb = static_cast<double>(bytes.size()) / 1e6;
  const std::span<const unsigned char> span(reinterpret_cast<const unsigned char*>(bytes.data()),
                                            bytes.size());

  std::u16string text;
  double decode = Best([&] { text = text::DecodeText(text::Encoding::ShiftJis, span); });
  std::printf("decode-sjis         %8.1f MB/s\n", mb / decode);
  double offsets = Best([&] { (void)text::Decode(text::Encoding::ShiftJis, span); });
  std::printf("decode-sjis-offsets %8.1f MB/s\n", mb / offsets);
  for (auto [encoding, name] : {std::pair{text::Encoding::EucJp, "encode-euc"},
                                std::pair{text::Encoding::Utf8, "encode-utf8"},
                                std::pair{text::Encoding::Utf16Le, "encode-utf16"}}) {
    std::string encoded;
    double t = Best([&] {
      encoded.clear();
      text::Encode(encoding, text, encoded);
    });
    std::printf("%-19s %8.1f MB/s\n", name, mb / t);
  }
  // In memory, straight from bytes to bytes as the conversion does it.
  for (auto [encoding, name] : {std::pair{text::Encoding::EucJp, "transcode-euc"},
                                std::pair{text::Encoding::Utf8, "transcode-utf8"},
                                std::pair{text::Encoding::Utf16Le, "transcode-utf16"}}) {
    std::string converted;
    double t = Best([&] {
      converted.clear();
      text::Transcode(text::Encoding::ShiftJis, encoding, span, converted);
    });
    std::printf("%-19s %8.1f MB/s\n", name, mb / t);
  }
  // File to file, as the conversion batch runs it (read, recognise, decode, encode, write),
  // beside the peers doing the same from a shell.
  struct Peer {
    editbuffer::TargetCode code;
    const char* name;
    const char* iconv;
    const char* nkf;
  };
  const Peer peers[] = {{editbuffer::TargetCode::EucJp, "euc", "EUC-JP-MS", "-e"},
                        {editbuffer::TargetCode::Utf8, "utf8", "UTF-8", "-w"},
                        {editbuffer::TargetCode::Utf16LeBom, "utf16", "UTF-16LE", "-w16L"}};
  auto shell = [](const std::string& command) {
    return Best([&] {
      if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    });
  };
  std::printf("\n%-8s %9s %9s %9s %11s %9s\n", "target", "ours", "iconv", "nkf -x", "iconv/ours",
              "nkf/ours");
  for (const Peer& p : peers) {
    double ours = Best([&] { editbuffer::ConvertFile(source, out, p.code); });
    double iconv =
        shell(std::string("iconv -f CP932 -t ") + p.iconv + " '" + source + "' > '" + out + "'");
    double nkf = shell(std::string("nkf -x -S ") + p.nkf + " '" + source + "' > '" + out + "'");
    std::printf("%-8s %8.3fs %8.3fs %8.3fs %10.1fx %8.1fx\n", p.name, ours, iconv, nkf,
                iconv / ours, nkf / ours);
  }
  std::printf("\n");
  double plain = Best([&] {
    editbuffer::FileBuffer buffer;
    buffer.load(source);
    buffer.save(out);
  });
  std::printf("load-save           %8.1f MB/s\n", mb / plain);
  double withText = Best([&] {
    editbuffer::FileBuffer buffer;
    buffer.load(source);
    buffer.setText(std::u16string(buffer.text()));  // what a run with no matching rule does
    buffer.save(out);
  });
  std::printf("load-text-save      %8.1f MB/s\n", mb / withText);
  double edited = Best([&] {
    editbuffer::FileBuffer buffer;
    buffer.load(source);
    std::vector<editbuffer::Edit> edits;
    const std::u16string_view t = buffer.text();
    for (std::size_t i = 0; i < t.size(); i += 1000) edits.push_back({i, 1, u"置"});
    buffer.applyEdits(edits);
    buffer.save(out);
  });
  std::printf("load-edit-save      %8.1f MB/s  (an edit every 1000 characters)\n", mb / edited);
  std::remove(out.c_str());
  return 0;
}
