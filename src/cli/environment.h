#pragma once
// What morvelle-batch takes from its environment, decided apart from reading it: the values
// come as getenv gives them, nullptr when unset.

namespace morvelle::cli {

enum class Language { Japanese, English };

// The language of help and messages, by the variable POSIX reads for LC_MESSAGES: LC_ALL, then
// LC_MESSAGES, then LANG, the first set and not empty. A locale that begins with "ja" (ja_JP.UTF-8,
// ja_JP, ja) is Japanese; C, POSIX, none and every other is English. The names alone decide, so
// a Japanese locale need not be installed.
Language MessageLanguage(const char* lcAll, const char* lcMessages, const char* lang);

// Whether --color=auto colours: on a terminal, unless NO_COLOR is set and not empty or the
// terminal is dumb, as command-line tools on Debian do.
bool AutoColor(bool outIsTerminal, const char* noColor, const char* term);

}  // namespace morvelle::cli
