// Prints the recognised code of each file named on the command line, one "path: name" a line,
// the way nkf --guess and uchardet print theirs, so one script can compare the three.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "text/detect/detect.h"
#include "text/detect/pair_model.h"

int main(int argc, char** argv) {
  // --costs: also the model's cost of each reading, in bits, to see how close a call was.
  const bool costs = argc > 1 && std::string_view(argv[1]) == "--costs";
  for (int k = costs ? 2 : 1; k < argc; ++k) {
    std::ifstream in(argv[k], std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    const auto e = morvelle::text::DetectEncoding(bytes);
    std::printf("%s: %.*s\n", argv[k], static_cast<int>(morvelle::text::EncodingName(e).size()),
                morvelle::text::EncodingName(e).data());
    if (costs) {
      namespace d = morvelle::text::detect;
      using morvelle::text::Encoding;
      auto text = [&](Encoding e) {
        return d::ScoreText(morvelle::text::DecodeText(e, bytes)).cost / 4.0;
      };
      std::printf(
          "  UTF-8 %.2f  Shift_JIS %.2f  EUC-JP %.2f  ISO-2022-JP %.2f  UTF-16LE %.2f  "
          "UTF-16BE %.2f\n",
          d::ScoreUtf8(bytes).cost / 4.0, d::ScoreShiftJis(bytes).cost / 4.0,
          d::ScoreEucJp(bytes).cost / 4.0, text(Encoding::Iso2022Jp), text(Encoding::Utf16Le),
          text(Encoding::Utf16Be));
    }
  }
  return 0;
}
