#include "pattern_scans.h"

#include <algorithm>

#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

bool optional(const std::vector<Token>& tokens, std::size_t atom) {
  std::size_t q = quantifierAfter(tokens, atomEnd(tokens, atom));
  return q != kNoPartner && tokens[q].min == 0;
}

}  // namespace

bool isLiteralPattern(std::u16string_view pattern, const std::vector<Token>& tokens) {
  if (tokens.empty()) return false;
  return std::all_of(tokens.begin(), tokens.end(), [&](const Token& t) {
    return t.kind == TokenKind::Literal && t.end == t.begin + 1 && !t.quoted &&
           !t.escaped(pattern) && !isSurrogate(t.value) && !t.mode.caseless && !t.mode.extended;
  });
}

bool mentionsG(const std::vector<Token>& tokens) {
  return std::any_of(tokens.begin(), tokens.end(), [](const Token& t) {
    return t.kind == TokenKind::Assertion && t.value == u'G';
  });
}

std::u16string leadingClassItem(std::u16string_view pattern, const std::vector<Token>& tokens) {
  for (const Token& t : tokens) {
    bool quote = t.kind == TokenKind::Space && pattern.substr(t.begin, 2) == u"\\Q";
    if (t.kind == TokenKind::Alternation || t.mode.extended || quote) return {};
  }
  std::size_t k = 0;
  for (; k < tokens.size() && tokens[k].kind == TokenKind::GroupOpen; ++k) {
    std::u16string_view head = pattern.substr(tokens[k].begin, tokens[k].end - tokens[k].begin);
    if ((head != u"(" && head != u"(?:") || optional(tokens, k)) return {};
  }
  if (k >= tokens.size()) return {};
  const Token& item = tokens[k];
  bool type = item.kind == TokenKind::Type &&
              std::u16string_view(u"dDwWsShHvVpP").find(static_cast<char16_t>(item.value)) !=
                  std::u16string_view::npos;
  bool bracketed = item.kind == TokenKind::ClassOpen && item.partner != kNoPartner;
  if ((!type && !bracketed) || optional(tokens, k)) return {};
  std::size_t end = tokens[atomEnd(tokens, k)].end;
  return std::u16string(pattern.substr(item.begin, end - item.begin));
}

std::vector<std::uint32_t> closeRanks(const PatternTokens& lexed, std::uint32_t captureCount) {
  if (lexed.branchReset || lexed.captures != captureCount) return {};
  std::vector<std::uint32_t> rank(captureCount + 1, 0);
  std::uint32_t closed = 0;
  for (const Token& t : lexed.tokens) {
    if (t.kind != TokenKind::GroupClose || t.partner == kNoPartner) continue;
    std::uint32_t group = lexed.tokens[t.partner].capture;
    if (group != 0) rank[group] = ++closed;
  }
  return rank;
}

}  // namespace morvelle::text::detail
