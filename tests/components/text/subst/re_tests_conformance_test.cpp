// Perl 5.36's own regex table (t/re/re_tests) driven through the Substituter: each usable
// line becomes one substitution whose replacement is the line's expression between two
// markers, and the text between the markers is compared with the expected value. Lines we
// deliberately do not follow are listed with their reason in re_tests_differences.txt; a new
// failure and an unexpected pass both fail the test.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/missing_input.h"
#include "text/subst/substitute.h"
#include "text/utf16.h"

namespace morvelle::text {
namespace {

namespace fs = std::filesystem;

// The environment names the source tree; the build's own value stands in where ctest did not
// pass it on.
std::optional<fs::path> sourceDir() {
  if (const char* source = std::getenv("MORVELLE_SOURCE_DIR")) return fs::path(source);
#ifdef MORVELLE_BUILD_SOURCE_DIR
  return fs::path(MORVELLE_BUILD_SOURCE_DIR);
#else
  return std::nullopt;
#endif
}

// Perl's table travels with the sources, beside the list of lines we do not follow;
// MORVELLE_RE_TESTS names another copy.
std::optional<fs::path> tableFile() {
  fs::path file;
  if (const char* table = std::getenv("MORVELLE_RE_TESTS")) {
    file = table;
  } else if (std::optional<fs::path> source = sourceDir()) {
    file = *source / "tests/components/text/subst/perl-5.36-re_tests.txt";
  } else {
    return std::nullopt;
  }
  if (!fs::exists(file)) return std::nullopt;
  return file;
}

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, sep)) out.push_back(field);
  if (!line.empty() && line.back() == sep) out.emplace_back();
  return out;
}

std::string expandNamedVariables(std::string s) {
  const std::pair<const char*, const char*> names[] = {
      {"${bang}", "!"}, {"${ffff}", "\\xff\\xff"}, {"${nulnul}", "\\0\\0"}};
  for (auto [name, value] : names) {
    for (std::size_t at; (at = s.find(name)) != std::string::npos;)
      s.replace(at, strlen(name), value);
  }
  return s;
}

// The subjects and expected values are perl double-quoted strings; the table uses only
// these escapes. Returns nothing for anything else, and the line is then not usable.
std::optional<std::u16string> perlString(const std::string& utf8) {
  std::u16string s = fromUtf8(expandNamedVariables(utf8));
  std::u16string out;
  auto hex = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c == u'$' || c == u'@') {
      if (i + 1 < s.size() && s[i + 1] != u' ') return std::nullopt;
      out += c;
      continue;
    }
    if (c != u'\\' || i + 1 >= s.size()) {
      out += c;
      continue;
    }
    char16_t x = s[++i];
    switch (x) {
      case u'n':
        out += u'\n';
        break;
      case u't':
        out += u'\t';
        break;
      case u'r':
        out += u'\r';
        break;
      case u'f':
        out += u'\f';
        break;
      case u'e':
        out += u'\x1B';
        break;
      case u'a':
        out += u'\a';
        break;
      case u'x': {
        char32_t v = 0;
        if (i + 1 < s.size() && s[i + 1] == u'{') {
          std::size_t close = s.find(u'}', i);
          if (close == std::u16string::npos) return std::nullopt;
          for (std::size_t k = i + 2; k < close; ++k) {
            if (hex(s[k]) < 0) return std::nullopt;
            v = v * 16 + static_cast<char32_t>(hex(s[k]));
          }
          i = close;
        } else {
          for (int k = 0; k < 2 && i + 1 < s.size() && hex(s[i + 1]) >= 0; ++k) {
            v = v * 16 + static_cast<char32_t>(hex(s[++i]));
          }
        }
        appendCodePoint(out, v);
        break;
      }
      case u'N':
        if (i + 3 < s.size() && s[i + 1] == u'{' && s[i + 2] == u'U' && s[i + 3] == u'+') {
          std::size_t close = s.find(u'}', i);
          if (close == std::u16string::npos) return std::nullopt;
          char32_t v = 0;
          for (std::size_t k = i + 4; k < close; ++k) v = v * 16 + static_cast<char32_t>(hex(s[k]));
          appendCodePoint(out, v);
          i = close;
          break;
        }
        return std::nullopt;
      default:
        if (x >= u'0' && x <= u'7') {
          char32_t v = x - u'0';
          for (int k = 0; k < 2 && i + 1 < s.size() && s[i + 1] >= u'0' && s[i + 1] <= u'7'; ++k) {
            v = v * 8 + (s[++i] - u'0');
          }
          appendCodePoint(out, v);
        } else if ((x >= u'a' && x <= u'z') || (x >= u'A' && x <= u'Z')) {
          return std::nullopt;
        } else {
          out += x;
        }
    }
  }
  return out;
}

constexpr char16_t kOpen = u'\uE000';
constexpr char16_t kClose = u'\uE001';
constexpr char16_t kStartOffset = u'\uE002';
constexpr char16_t kEndOffset = u'\uE003';

// The line's expression as a replacement; $-[0] and $+[0] become markers filled in from the
// span. Anything else that perl would evaluate is not usable here.
std::optional<std::u16string> replacementFor(const std::string& utf8) {
  std::u16string e = fromUtf8(utf8);
  std::u16string out(1, kOpen);
  for (std::size_t i = 0; i < e.size(); ++i) {
    std::u16string_view rest = std::u16string_view(e).substr(i);
    if (rest.starts_with(u"$-[0]")) {
      out += kStartOffset;
      i += 4;
    } else if (rest.starts_with(u"$+[0]")) {
      out += kEndOffset;
      i += 4;
    } else if (e[i] == u'@' || rest.starts_with(u"$-") || rest.starts_with(u"$+[") ||
               rest.starts_with(u"$^R") || rest.starts_with(u"$::") || rest.starts_with(u"$#") ||
               rest.starts_with(u"${\\") || rest == u"pos" ||
               (!rest.starts_with(u"$^N") && rest.starts_with(u"$^")) ||
               (e[i] == u'$' && i + 1 < e.size() &&
                ((e[i + 1] >= u'a' && e[i + 1] <= u'z') ||
                 (e[i + 1] >= u'A' && e[i + 1] <= u'Z')))) {
      return std::nullopt;
    } else {
      out += e[i];
    }
  }
  out += kClose;
  return out;
}

std::size_t codePoints(std::u16string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!splitsPair(s, i)) ++n;
  }
  return n;
}

struct Verdict {
  bool usable = false;
  bool passed = false;
  std::string detail;
};

Verdict runLine(Substituter& substituter, const std::string& rawLine) {
  Verdict v;
  // "\\n" in the table stands for a line feed. Built anew rather than replaced in place, which
  // GCC 12 at -O3 takes for an overlapping copy (-Wrestrict).
  std::string line;
  line.reserve(rawLine.size());
  for (std::size_t i = 0; i < rawLine.size(); ++i) {
    const bool newline = rawLine[i] == '\\' && i + 1 < rawLine.size() && rawLine[i + 1] == 'n';
    line += newline ? '\n' : rawLine[i];
    i += newline ? 1 : 0;
  }
  std::vector<std::string> f = split(line, '\t');
  if (f.size() < 3) return v;
  std::string result = f[2];
  if (result.find_first_of("TBbse") != std::string::npos)
    return v;  // todo, perl bugs, sets, EBCDIC
  char kind = result.find('c') != std::string::npos   ? 'c'
              : result.find('n') != std::string::npos ? 'n'
              : result.find('y') != std::string::npos ? 'y'
                                                      : 0;
  if (!kind) return v;

  std::string pattern = expandNamedVariables(f[0]);
  std::string flags;
  bool withM = pattern.size() > 1 && pattern[0] == 'm' &&
               std::ispunct(static_cast<unsigned char>(pattern[1]));
  if (withM) pattern.erase(0, 1);  // m?…? and friends: the delimiter follows the m
  if (!pattern.empty() && (withM || pattern[0] == '\'' || pattern[0] == '/' || pattern[0] == ':')) {
    std::size_t close = pattern.rfind(pattern[0]);
    if (close == 0) return v;
    flags = pattern.substr(close + 1);
    pattern = pattern.substr(1, close - 1);
  }
  std::optional<std::u16string> subject = perlString(f.size() > 1 ? f[1] : "");
  if (!subject) return v;
  std::optional<std::u16string> replacement = replacementFor(f.size() > 3 ? f[3] : "-");
  std::optional<std::u16string> expected = perlString(f.size() > 4 ? f[4] : "-");
  if (kind == 'y' && (!replacement || !expected)) return v;
  if (!replacement) replacement = std::u16string{kOpen, kClose};
  v.usable = true;

  RuleParts parts{fromUtf8(pattern), *replacement, fromUtf8(flags)};
  SubstituteResult got;
  try {
    got = substituter.applyParts(parts, *subject);
  } catch (const SubstituteError& error) {
    v.passed = kind == 'c' && error.kind() != SubstituteErrorKind::TimeLimit &&
               error.kind() != SubstituteErrorKind::MatchLimit;
    v.detail = error.what();
    return v;
  }
  if (kind == 'c') {
    v.detail = "compiled, perl refuses it";
  } else if (kind == 'n') {
    v.passed = got.count == 0;
    v.detail = "matched";
  } else if (got.count == 0 || got.spans.empty()) {
    v.detail = "no match";
  } else {
    const ReplacedSpan& span = got.spans.front();
    std::u16string value = span.replacement.substr(1, span.replacement.size() - 2);
    std::u16string start = fromUtf8(std::to_string(codePoints(subject->substr(0, span.start))));
    std::u16string end =
        fromUtf8(std::to_string(codePoints(subject->substr(0, span.start + span.length))));
    std::u16string filled;
    for (char16_t c : value) {
      if (c == kStartOffset)
        filled += start;
      else if (c == kEndOffset)
        filled += end;
      else
        filled += c;
    }
    v.passed = filled == *expected;
    v.detail = "got \"" + toUtf8(filled) + "\", expected \"" + toUtf8(*expected) + "\"";
  }
  return v;
}

struct Listed {
  bool refused = false;  // we stop with a message where perl runs
  std::string reason;
};

std::map<int, Listed> expectedDifferences() {
  std::map<int, Listed> out;
  std::optional<fs::path> source = sourceDir();
  if (!source) return out;
  std::ifstream in(*source / "tests/components/text/subst/re_tests_differences.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = split(line, '\t');
    if (f.size() < 3) continue;
    out[std::stoi(f[0])] = Listed{f[1] == "refused", f[2]};
  }
  return out;
}

TEST(PerlReTests, UsableLinesPassExceptTheListedDifferences) {
  std::optional<fs::path> file = tableFile();
  if (!file) MORVELLE_MISSING_INPUT("perl-5.36-re_tests.txt not found (set MORVELLE_SOURCE_DIR)");
  std::map<int, Listed> listed = expectedDifferences();
  ASSERT_FALSE(listed.empty()) << "re_tests_differences.txt is missing";

  std::ifstream in(*file);
  Substituter substituter;  // applyParts does not cache, so lines stay independent
  std::string line;
  int number = 0;
  bool body = false;
  int usable = 0;
  int passed = 0;
  int refused = 0;
  std::ostringstream newFailures;
  std::ostringstream unexpectedPasses;
  while (std::getline(in, line)) {
    ++number;
    if (!body) {
      body = line == "__END__";
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    Verdict v = runLine(substituter, line);
    if (!v.usable) continue;
    ++usable;
    bool isListed = listed.count(number) > 0;
    if (isListed && listed[number].refused) ++refused;
    if (v.passed) {
      ++passed;
      if (isListed) unexpectedPasses << number << "\t" << line << "\n";
    } else if (!isListed) {
      newFailures << number << "\t" << line << "\n    " << v.detail << "\n";
    }
  }
  // Lines refused by design cannot be run through a rule; the figure counts the others.
  int runnable = usable - refused;
  std::cout << "re_tests: " << passed << " of " << runnable << " runnable lines pass ("
            << (runnable ? 100.0 * passed / runnable : 0.0) << "%); " << refused
            << " more are refused by design; " << passed << " of " << usable << " ("
            << (usable ? 100.0 * passed / usable : 0.0) << "%) of all usable lines\n";
  EXPECT_EQ(newFailures.str(), "") << "lines that fail and are not listed";
  EXPECT_EQ(unexpectedPasses.str(), "") << "listed lines that now pass";
  EXPECT_GE(passed * 100, runnable * 95);
}

}  // namespace
}  // namespace morvelle::text
