#include "required_literal.h"

#include <algorithm>

#include "text/utf16.h"

namespace morvelle::text::detail {
namespace {

// Deeper nesting gives no literal: every position is then tried, which is never wrong.
constexpr int kDepth = 32;
// The longest literal whose parts are compared with the other branches of an alternation.
constexpr std::size_t kLongestShared = 16;
// More one-character patterns than this (a long list of words) count as any character.
constexpr std::size_t kMostItems = 64;

std::size_t plus(std::size_t a, std::size_t b) {
  return a == kNoBound || b == kNoBound || a > kNoBound - 1 - b ? kNoBound : a + b;
}

std::size_t times(std::size_t a, std::uint32_t n) {
  if (a == 0 || n == 0) return 0;
  if (a == kNoBound || n == kUnbounded || a > (kNoBound - 1) / n) return kNoBound;
  return a * n;
}

// Characters PCRE2 10.42 relates by case to none but the ones foldCaseless maps: ASCII, CJK
// ideographs, kana, and the fullwidth and halfwidth forms that are not letters.
bool knownCaseless(char32_t c) {
  return c < 0x80 || (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFF01 && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
         (c >= 0xFF5B && c <= 0xFF9F);
}

// A one-character pattern that keeps the flags it had in its place.
std::u16string withFlags(bool caseless, bool dotall, std::uint8_t extended,
                         std::u16string_view item) {
  std::u16string on;
  std::u16string off;
  (caseless ? on : off) += u'i';
  (dotall ? on : off) += u's';
  if (extended == 0) {
    off += u'x';
  } else {
    on += extended == 2 ? u"xx" : u"x";
  }
  std::u16string out = u"(?" + on;
  if (!off.empty()) out += u"-" + off;
  return out + u":" + std::u16string(item) + u")";
}

std::u16string characterItem(char32_t c, bool caseless) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string digits;
  for (; c != 0 || digits.empty(); c >>= 4) digits.insert(digits.begin(), kHex[c & 15]);
  return withFlags(caseless, false, 0, u"\\x{" + digits + u"}");
}

// What a part of a pattern may consume, as one-character patterns; `any` when unknown.
struct Chars {
  bool any = false;
  std::vector<std::u16string> items;

  void add(std::u16string item) {
    if (any || std::find(items.begin(), items.end(), item) != items.end()) return;
    if (items.size() == kMostItems) {
      setAny();
      return;
    }
    items.push_back(std::move(item));
  }
  void add(const Chars& other) {
    if (other.any) setAny();
    for (const std::u16string& item : other.items) add(item);
  }
  void setAny() {
    any = true;
    items.clear();
  }
};

Chars charactersOf(std::u16string_view literal, bool caseless) {
  Chars chars;
  for (std::size_t i = 0, length = 1; i < literal.size(); i += length) {
    chars.add(characterItem(codePointAt(literal, i, length), caseless));
  }
  return chars;
}

struct Candidate {
  std::u16string text;
  bool caseless = false;
  std::size_t minBefore = 0;
  std::size_t maxBefore = 0;
  Chars before;
};

// A branch, group or atom: how many units it consumes, which characters, and the literals
// every match of it consumes, placed from its start.
struct Summary {
  std::size_t minLength = 0;
  std::size_t maxLength = 0;
  Chars chars;
  std::vector<Candidate> candidates;
  // The weight of the literal every match begins with (the least among branches), 0 if none.
  std::size_t leadWeight = 0;
};

bool usable(const Candidate& c) { return c.maxBefore != kNoBound || !c.before.any; }

// Rarer characters make fewer places to try: anything outside ASCII, then ASCII letters and
// digits, then the rest.
std::size_t weight(std::u16string_view text) {
  std::size_t sum = 0;
  for (char16_t u : text) {
    bool word = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
    sum += u >= 0x80 ? 3 : word ? 2 : 1;
  }
  return sum;
}

bool better(const Candidate& a, const Candidate* b) {
  if (!usable(a)) return false;
  if (!b) return true;
  std::size_t wa = weight(a.text);
  std::size_t wb = weight(b->text);
  if (wa != wb) return wa > wb;
  return a.maxBefore < b->maxBefore;
}

class Analysis {
 public:
  Analysis(std::u16string_view pattern, const std::vector<Token>& tokens)
      : p_(pattern), t_(tokens) {}

  bool failed() const { return failed_; }

  // The branches of the group opened at `open`, or of the whole pattern for kNoPartner.
  Summary alternation(std::size_t open, int depth) {
    if (depth > kDepth) return fail();
    std::vector<Summary> parts;
    for (auto [begin, end] : branchesOf(t_, open)) parts.push_back(sequence(begin, end, depth));
    if (parts.size() == 1) return std::move(parts.front());
    Summary group;
    group.minLength = kNoBound;
    group.leadWeight = kNoBound;
    for (const Summary& part : parts) {
      group.minLength = std::min(group.minLength, part.minLength);
      group.maxLength = std::max(group.maxLength, part.maxLength);
      group.chars.add(part.chars);
      group.leadWeight = std::min(group.leadWeight, part.leadWeight);
    }
    if (std::optional<Candidate> shared = sharedLiteral(parts)) {
      group.candidates.push_back(std::move(*shared));
    }
    return group;
  }

 private:
  Summary fail() {
    failed_ = true;
    return {};
  }

  // Literals not followed by a quantifier gather into runs; every other atom is summed up.
  Summary sequence(std::size_t begin, std::size_t end, int depth) {
    Summary seq;
    Candidate run;
    for (std::size_t k = begin; k < end && !failed_;) {
      const Token& t = t_[k];
      if (t.kind == TokenKind::Space || t.kind == TokenKind::FlagSet) {
        ++k;
        continue;
      }
      std::size_t last = atomEnd(t_, k);
      std::size_t q = quantifierAfter(t_, last);
      if (t.kind == TokenKind::Literal && q == kNoPartner && !isSurrogate(t.value) &&
          (!t.mode.caseless || knownCaseless(t.value))) {
        if (!run.text.empty() && run.caseless != t.mode.caseless) flush(seq, run);
        run.caseless = t.mode.caseless;
        if (t.value > 0xFFFF) {
          appendCodePoint(run.text, t.value);
        } else {
          char16_t unit = static_cast<char16_t>(t.value);
          run.text += t.mode.caseless ? foldCaseless(unit) : unit;
        }
        ++k;
        continue;
      }
      flush(seq, run);
      Summary part = atom(k, depth);
      if (q != kNoPartner) repeat(part, t_[q]);
      append(seq, std::move(part));
      k = (q != kNoPartner ? q : last) + 1;
    }
    flush(seq, run);
    return seq;
  }

  static void flush(Summary& seq, Candidate& run) {
    if (run.text.empty()) return;
    Summary part;
    part.minLength = part.maxLength = run.text.size();
    part.chars = charactersOf(run.text, run.caseless);
    part.leadWeight = weight(run.text);
    run.minBefore = run.maxBefore = 0;
    part.candidates.push_back(std::move(run));
    append(seq, std::move(part));
    run = Candidate{};
  }

  static void append(Summary& seq, Summary part) {
    if (seq.maxLength == 0 && part.maxLength != 0) seq.leadWeight = part.leadWeight;
    for (Candidate& c : part.candidates) {
      c.minBefore = plus(seq.minLength, c.minBefore);
      c.maxBefore = plus(seq.maxLength, c.maxBefore);
      Chars before = seq.chars;
      before.add(c.before);
      c.before = std::move(before);
      seq.candidates.push_back(std::move(c));
    }
    seq.minLength = plus(seq.minLength, part.minLength);
    seq.maxLength = plus(seq.maxLength, part.maxLength);
    seq.chars.add(part.chars);
  }

  // The literals of the first repetition stay where they were; none if it may not happen.
  static void repeat(Summary& part, const Token& q) {
    part.minLength = times(part.minLength, q.min);
    part.maxLength = times(part.maxLength, q.max);
    if (q.min == 0) {
      part.candidates.clear();
      part.leadWeight = 0;
    }
  }

  static Summary oneCharacter(std::size_t maxUnits, std::u16string item) {
    Summary part;
    part.minLength = 1;
    part.maxLength = maxUnits;
    part.chars.add(std::move(item));
    return part;
  }

  std::u16string itemOf(const Token& t, std::size_t last) const {
    return withFlags(t.mode.caseless, t.mode.dotall, t.mode.extended,
                     p_.substr(t.begin, t_[last].end - t.begin));
  }

  Summary atom(std::size_t i, int depth) {
    const Token& t = t_[i];
    switch (t.kind) {
      case TokenKind::Literal:
        if (isSurrogate(t.value)) return fail();
        return oneCharacter(t.value > 0xFFFF || t.mode.caseless ? 2 : 1,
                            characterItem(t.value, t.mode.caseless));
      case TokenKind::Type:
        if (t.value == u'C') return fail();
        if (t.value == u'X') {  // a grapheme: any number of characters
          Summary part;
          part.minLength = 1;
          part.maxLength = kNoBound;
          part.chars.setAny();
          return part;
        }
        return oneCharacter(2, itemOf(t, i));
      case TokenKind::Dot:
        if (t.mode.dotall) {
          Summary part = oneCharacter(2, u"");
          part.chars.setAny();
          return part;
        }
        return oneCharacter(2, itemOf(t, i));
      case TokenKind::ClassOpen:
        if (t.partner == kNoPartner) return fail();
        return oneCharacter(2, itemOf(t, t.partner));
      case TokenKind::Assertion:
        if (t.value == u'G' || t.value == u'K') return fail();
        return {};
      case TokenKind::Backreference: {
        Summary part;
        part.maxLength = kNoBound;
        part.chars.setAny();
        return part;
      }
      case TokenKind::GroupOpen:
        if (t.partner == kNoPartner) return fail();
        switch (t.group) {
          case GroupKind::Lookahead:
          case GroupKind::NegativeLookahead:
          case GroupKind::Lookbehind:
          case GroupKind::NegativeLookbehind:
            return {};  // consumes nothing, whatever it holds
          case GroupKind::Capture:
          case GroupKind::NamedCapture:
          case GroupKind::NonCapture:
          case GroupKind::Atomic:
          case GroupKind::BranchReset:
            return alternation(i, depth + 1);
          default:
            return fail();
        }
      default:
        // Verbs may end a match early or change where the next one starts, calls and
        // conditionals hide what they consume.
        return fail();
    }
  }

  // A literal that every branch consumes, placed from the group's start: one of the first
  // branch's literals or a part of one, found in a literal of each other branch.
  static std::optional<Candidate> sharedLiteral(const std::vector<Summary>& parts) {
    std::optional<Candidate> best;
    for (const Candidate& first : parts.front().candidates) {
      std::u16string_view text(first.text);
      std::size_t n = std::min(text.size(), kLongestShared);
      for (std::size_t i = 0; i < n; ++i) {
        if (splitsPair(text, i)) continue;
        for (std::size_t j = i + 1; j <= n; ++j) {
          if (splitsPair(text, j)) continue;
          Candidate c;
          c.text = std::u16string(text.substr(i, j - i));
          c.caseless = first.caseless;
          c.minBefore = plus(first.minBefore, i);
          c.maxBefore = plus(first.maxBefore, i);
          c.before = first.before;
          c.before.add(charactersOf(text.substr(0, i), first.caseless));
          if (inEveryBranch(parts, c) && better(c, best ? &*best : nullptr)) best = std::move(c);
        }
      }
    }
    return best;
  }

  // Widens `c` to the place of its text in a literal of each other branch; false if a branch
  // has none.
  static bool inEveryBranch(const std::vector<Summary>& parts, Candidate& c) {
    for (std::size_t b = 1; b < parts.size(); ++b) {
      bool found = false;
      for (const Candidate& other : parts[b].candidates) {
        std::size_t at = other.text.find(c.text);
        if (other.caseless != c.caseless || at == std::u16string::npos) continue;
        c.minBefore = std::min(c.minBefore, plus(other.minBefore, at));
        c.maxBefore = std::max(c.maxBefore, plus(other.maxBefore, at));
        c.before.add(other.before);
        c.before.add(charactersOf(std::u16string_view(other.text).substr(0, at), c.caseless));
        found = true;
        break;
      }
      if (!found) return false;
    }
    return true;
  }

  std::u16string_view p_;
  const std::vector<Token>& t_;
  bool failed_ = false;
};

}  // namespace

std::optional<RequiredLiteral> requiredLiteral(std::u16string_view pattern,
                                               const std::vector<Token>& tokens, bool forSearch) {
  if (tokens.empty()) return std::nullopt;
  Analysis analysis(pattern, tokens);
  Summary whole = analysis.alternation(kNoPartner, 0);
  if (analysis.failed()) return std::nullopt;
  const Candidate* best = nullptr;
  for (const Candidate& c : whole.candidates) {
    if (better(c, best)) best = &c;
  }
  // When every match begins with a literal at least as rare, as in (コマンド|オプション),
  // PCRE2's own search for those first characters does better.
  if (!best || (forSearch && weight(best->text) <= whole.leadWeight)) return std::nullopt;
  RequiredLiteral literal;
  literal.text = best->text;
  literal.caseless = best->caseless;
  literal.minBefore = best->minBefore;
  literal.maxBefore = best->maxBefore;
  if (best->maxBefore == kNoBound) literal.before = best->before.items;
  return literal;
}

}  // namespace morvelle::text::detail
