#include "translate.h"

#include <atomic>

namespace morvelle::translation {

namespace {
std::atomic<Translator> installed{nullptr};
}  // namespace

void InstallTranslator(Translator translator) { installed.store(translator); }

std::string translate(const char* context, const char* text) {
  const Translator translator = installed.load();
  return translator ? translator(context, text) : std::string(text);
}

}  // namespace morvelle::translation
