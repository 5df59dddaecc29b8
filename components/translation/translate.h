#pragma once
// The components write what a user reads in Japanese, the window's language, each text whole
// with %1 … %9 where its parts go, so that lupdate finds it and a translation may reorder them.
// A front end that speaks another language installs a translator before its first message;
// without one every text is the Japanese as written, which is what the window shows.

#include <initializer_list>
#include <string>
#include <string_view>

// Marks a text for lupdate where it is kept to be translated later, as QT_TRANSLATE_NOOP does.
#define MORVELLE_TRANSLATE_NOOP(context, text) text

namespace morvelle::translation {

// UTF-8 in and out; called from any thread.
using Translator = std::string (*)(const char* context, const char* text);

// Once, before the first message; nullptr goes back to the Japanese.
void InstallTranslator(Translator translator);

// `text` (UTF-8) in the user's language.
std::string translate(const char* context, const char* text);

// "%1" … "%9" replaced by their arguments in one pass, as QString::arg(a, b, …) does: an
// argument that holds "%2" stays as it is. A number without an argument stays too.
template <typename Char>
std::basic_string<Char> Format(std::basic_string_view<Char> pattern,
                               std::initializer_list<std::basic_string_view<Char>> args) {
  std::basic_string<Char> out;
  out.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const Char c = pattern[i];
    if (c == Char('%') && i + 1 < pattern.size() && pattern[i + 1] >= Char('1') &&
        pattern[i + 1] <= Char('9')) {
      const std::size_t n = std::size_t(pattern[i + 1] - Char('1'));
      if (n < args.size()) {
        out += args.begin()[n];
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

inline std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
  return Format<char>(pattern, args);
}

}  // namespace morvelle::translation
