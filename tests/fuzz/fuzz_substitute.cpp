// Any bytes as an expression, applied to a short text: the call ends with a result or a
// SubstituteError, within the deadline; a result's spans rebuild its text from the input, and
// searching first for a literal every match consumes gives what trying every position gives.
//
// A rule never makes a lone surrogate, the kept bytes of a file: any in a result were in the
// text.
// Input: expression, NUL, text (both UTF-8; broken bytes become kept bytes as in a file).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "text/codec/codec.h"
#include "text/subst/substitute.h"

namespace {

using morvelle::text::Encoding;

std::u16string Utf16(std::string_view bytes) {
  return morvelle::text::DecodeText(
      Encoding::Utf8, {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_substitute: %s\n", what);
  std::abort();
}

void CheckSpans(const std::u16string& input, const morvelle::text::SubstituteResult& r) {
  std::u16string rebuilt;
  std::size_t at = 0;
  for (const auto& span : r.spans) {
    if (span.start < at || span.start + span.length > input.size()) Fail("span out of order");
    rebuilt.append(input, at, span.start - at);
    rebuilt += span.replacement;
    at = span.start + span.length;
  }
  rebuilt.append(input, at);
  if (rebuilt != r.text) Fail("spans do not rebuild the result");
  if (r.spans.size() > r.count) Fail("more changed spans than replacements");
}

// Trying every position may run out of time or match budget where the search tried fewer.
void CheckEveryPosition(morvelle::text::Substituter& everyPosition,
                        const std::u16string& expression, const std::u16string& text,
                        const std::u16string& found) {
  using Kind = morvelle::text::SubstituteErrorKind;
  try {
    if (everyPosition.apply(expression, text) != found) Fail("the literal search changed a result");
  } catch (const morvelle::text::SubstituteError& e) {
    if (e.kind() != Kind::TimeLimit && e.kind() != Kind::MatchLimit) {
      Fail("trying every position failed where the literal search did not");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A short deadline keeps each run quick; libFuzzer's -timeout catches a call that ignores it.
  // The tables of long texts are built for these short ones too, so every path is taken.
  static morvelle::text::Substituter substituter([] {
    morvelle::text::SubstituteLimits limits;
    limits.minimumDeadline = std::chrono::milliseconds(200);
    limits.startScanMinimum = 0;
    return limits;
  }());
  static morvelle::text::Substituter everyPosition([] {
    morvelle::text::SubstituteLimits limits;
    limits.minimumDeadline = std::chrono::milliseconds(200);
    limits.literalPrefilter = false;
    return limits;
  }());

  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = all.find('\0');
  const std::u16string expression = Utf16(all.substr(0, nul));
  const std::u16string text = nul == std::string_view::npos
                                  ? std::u16string(u"foo bar 東京 ﾊﾝｶｸ\r\n")
                                  : Utf16(all.substr(nul + 1));

  try {
    const auto result = substituter.applyWithSpans(expression, text);
    CheckSpans(text, result);
    for (std::size_t i = 0; i < result.text.size(); ++i) {
      const char16_t u = result.text[i];
      const bool lone = (u >= 0xD800 && u <= 0xDFFF) && !morvelle::text::pairAt(result.text, i) &&
                        !morvelle::text::splitsPair(result.text, i);
      if (lone && text.find(u) == std::u16string::npos) Fail("a rule made a lone surrogate");
    }
    if (substituter.apply(expression, text) != result.text) Fail("apply and applyWithSpans differ");
    // A file without a rule's required text is copied without being decoded.
    if (const auto needed = substituter.requiredText(expression);
        needed && result.count > 0 && text.find(*needed) == std::u16string::npos) {
      Fail("a rule matched a text without its required text");
    }
    CheckEveryPosition(everyPosition, expression, text, result.text);
  } catch (const morvelle::text::SubstituteError& e) {
    if (e.description().empty()) Fail("an error without a description");
    if (e.position() > expression.size() + 1) Fail("error position beyond the expression");
  }
  return 0;
}
