// Applies one rule to a whole UTF-8 file as the batch would: decode to UTF-16, substitute,
// encode, write. Prints the time of the substitution alone on stderr, so the script can
// compare it with the peers' wall time and with a run without the deadline.
//
//   morvelle_subst_bench [--no-deadline] [--no-spans] [--no-scan] [--no-prefilter] EXPRESSION
//                        INPUT OUTPUT

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "text/subst/substitute.h"

int main(int argc, char** argv) {
  using namespace morvelle::text;
  SubstituteLimits limits;
  int arg = 1;
  bool spans = true;
  for (; arg < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; ++arg) {
    if (std::strcmp(argv[arg], "--no-deadline") == 0) limits.enforceDeadline = false;
    if (std::strcmp(argv[arg], "--no-spans") == 0) spans = false;
    if (std::strcmp(argv[arg], "--no-scan") == 0) limits.startScanMinimum = SIZE_MAX;
    if (std::strcmp(argv[arg], "--no-prefilter") == 0) limits.literalPrefilter = false;
  }
  if (argc - arg != 3) {
    std::cerr << "usage: morvelle_subst_bench [--no-deadline] [--no-spans] [--no-scan] "
                 "[--no-prefilter] EXPRESSION INPUT OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[arg + 1], std::ios::binary | std::ios::ate);
  std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::u16string text = fromUtf8(bytes);
  Substituter substituter(limits);
  try {
    auto start = std::chrono::steady_clock::now();
    SubstituteResult result;
    if (spans) {
      result = substituter.applyWithSpans(fromUtf8(argv[arg]), text);
    } else {
      result.text = substituter.apply(fromUtf8(argv[arg]), text);
    }
    auto stop = std::chrono::steady_clock::now();
    std::string encoded = toUtf8(result.text);
    std::ofstream(argv[arg + 2], std::ios::binary)
        .write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
    std::cerr << "substitute_ms=" << std::chrono::duration<double, std::milli>(stop - start).count()
              << " count=" << result.count << " units=" << text.size() << "\n";
  } catch (const SubstituteError& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  return 0;
}
