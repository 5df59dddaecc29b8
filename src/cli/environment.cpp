#include "cli/environment.h"

#include <string_view>

namespace morvelle::cli {

namespace {
bool Set(const char* value) { return value && *value; }
}  // namespace

Language MessageLanguage(const char* lcAll, const char* lcMessages, const char* lang) {
  for (const char* value : {lcAll, lcMessages, lang}) {
    if (!Set(value)) continue;
    return std::string_view(value).starts_with("ja") ? Language::Japanese : Language::English;
  }
  return Language::English;
}

bool AutoColor(bool outIsTerminal, const char* noColor, const char* term) {
  return outIsTerminal && !Set(noColor) && std::string_view(term ? term : "") != "dumb";
}

}  // namespace morvelle::cli
