#include "pattern_rewrite.h"

#include <cstdio>
#include <optional>

#include "case_mapping.h"
#include "messages.h"
#include "text/utf16.h"
#include "unicode_properties.h"
#include "word_boundary.h"

namespace morvelle::text::detail {
namespace {

// perl's \w on character strings. PCRE2 10.42 and perl 5.36 share Unicode 14, and over every
// code point this set equals perl's \w, with and without /i.
constexpr std::u16string_view kWordItems = u"\\p{Alphabetic}\\p{M}\\p{Nd}\\p{Pc}\\x{200C}\\x{200D}";

std::u16string wordClass(bool negated) {
  return std::u16string(negated ? u"[^" : u"[") + std::u16string(kWordItems) + u"]";
}

std::u16string lookaround(std::u16string_view head) {
  return std::u16string(head) + wordClass(false) + u")";
}

// The new pattern, each unit with the index in the expression it stands for.
struct Output {
  std::u16string_view p;
  const std::vector<std::size_t>& from;
  std::u16string pattern;
  std::vector<std::size_t> origin;

  void copy(std::size_t begin, std::size_t end) {
    pattern.append(p.substr(begin, end - begin));
    origin.insert(origin.end(), from.begin() + static_cast<std::ptrdiff_t>(begin),
                  from.begin() + static_cast<std::ptrdiff_t>(end));
  }
  void put(std::u16string_view text, std::size_t at) {
    pattern += text;
    origin.insert(origin.end(), text.size(), from[at]);
  }
  void replace(ParsedExpression& parsed) {
    origin.push_back(parsed.patternOrigin.back());
    parsed.pattern = std::move(pattern);
    parsed.patternOrigin = std::move(origin);
  }
};

// The name of a \N{NAME} at `i`, when the braces hold one rather than a code point or counts.
std::optional<std::u16string_view> nameAt(std::u16string_view p, std::size_t i) {
  if (p.substr(i, 3) != u"\\N{") return std::nullopt;
  std::size_t close = p.find(u'}', i + 3);
  if (close == std::u16string_view::npos || close == i + 3) return std::nullopt;
  std::u16string_view name = p.substr(i + 3, close - i - 3);
  if (name.starts_with(u"U+") || name.find_first_not_of(u"0123456789,") == name.npos) {
    return std::nullopt;
  }
  return name;
}

}  // namespace

bool resolveCharacterNames(ParsedExpression& parsed, const std::vector<Token>& tokens,
                           std::u16string_view source) {
  std::u16string_view p = parsed.pattern;
  if (p.find(u"\\N{") == std::u16string_view::npos) return false;
  auto resolve = [&](std::size_t at, std::u16string_view name) {
    std::optional<char32_t> c = characterByName(name);
    if (!c) {
      failAt(SubstituteErrorKind::Unsupported, kUnsupportedHead, source, parsed.patternOrigin[at],
             unknownCharacterName(name));
    }
    return *c;
  };
  Output out{p, parsed.patternOrigin, {}, {}};
  bool changed = false;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const Token& t = tokens[k];
    std::optional<std::u16string_view> name = nameAt(p, t.begin);
    if (t.kind == TokenKind::Space && !t.escaped(p)) {
      // perl resolves names in comments too, and so refuses an unknown one there.
      for (std::size_t i = p.find(u"\\N{", t.begin); i < t.end; i = p.find(u"\\N{", i + 1)) {
        if (std::optional<std::u16string_view> inComment = nameAt(p, i)) resolve(i, *inComment);
      }
    } else if (name && t.kind == TokenKind::Other) {
      char text[16];
      std::snprintf(text, sizeof text, "\\x{%X}", static_cast<unsigned>(resolve(t.begin, *name)));
      out.put(std::u16string(text, text + std::char_traits<char>::length(text)), t.begin);
      changed = true;
      continue;
    } else if (name && t.quoted) {
      // Between \Q and \E the character itself is the literal.
      std::size_t close = t.begin + 3 + name->size();
      std::size_t last = k;
      while (last + 1 < tokens.size() && tokens[last + 1].quoted && tokens[last].end <= close) {
        ++last;
      }
      if (tokens[last].end == close + 1) {
        std::u16string c;
        appendCodePoint(c, resolve(t.begin, *name));
        out.put(c, t.begin);
        changed = true;
        k = last;
        continue;
      }
    }
    out.copy(t.begin, t.end);
  }
  if (changed) out.replace(parsed);
  return changed;
}

namespace {

bool isProperty(const Token& t) {
  return t.kind == TokenKind::Type && (t.value == u'p' || t.value == u'P');
}

// perl's \p never matches by case; a class of ranges under PCRE2's /i would.
std::u16string rangesAtom(const PropertyReading& reading, bool caseless) {
  if (reading.ranges.empty()) return u"(?!)";  // only surrogates, which never match
  std::u16string set = u"[" + classMembers(reading.ranges) + u"]";
  return caseless ? u"(?-i:" + set + u")" : set;
}

class Rewriter {
 public:
  Rewriter(const ParsedExpression& parsed, const std::vector<Token>& tokens,
           std::u16string_view source)
      : p_(parsed.pattern),
        t_(tokens),
        source_(source),
        words_(!parsed.flags.ascii),
        context_(tokens),
        out_{parsed.pattern, parsed.patternOrigin, {}, {}} {}

  bool run(ParsedExpression& parsed) {
    for (std::size_t k = 0; k < t_.size(); ++k) {
      const Token& t = t_[k];
      if (t.kind == TokenKind::ClassOpen && t.partner != kNoPartner) {
        characterClass(k);
        k = t.partner;
      } else if (t.kind == TokenKind::FlagSet ||
                 (t.kind == TokenKind::GroupOpen && t.group == GroupKind::NonCapture)) {
        modifiers(t);
      } else if (words_ && t.kind == TokenKind::Type && !t.inClass &&
                 (t.value == u'w' || t.value == u'W')) {
        put(wordClass(t.value == u'W'), t.begin);
      } else if (t.kind == TokenKind::Assertion && t.end - t.begin == 2 &&
                 (t.value == u'b' || t.value == u'B') && (words_ || quantified(k))) {
        boundary(k);
      } else if (isProperty(t) && !t.inClass) {
        PropertyReading reading = property(t);
        if (reading.kind == PropertyReading::Kind::Ranges) {
          put(rangesAtom(reading, t.mode.caseless), t.begin);
        } else if (reading.kind == PropertyReading::Kind::Renamed) {
          put(reading.text, t.begin);
        } else {
          out_.copy(t.begin, t.end);
        }
      } else {
        out_.copy(t.begin, t.end);
      }
    }
    if (changed_) out_.replace(parsed);
    return changed_;
  }

 private:
  void put(std::u16string_view text, std::size_t at) {
    out_.put(text, at);
    changed_ = true;
  }

  // (?^u:…) loses its u, (?d) becomes (?:); groups that also name a or l stay for PCRE2 to
  // refuse, as do letters PCRE2 does not know.
  void modifiers(const Token& t) {
    std::u16string_view text = p_.substr(t.begin, t.end - t.begin);
    std::u16string_view letters = text.size() > 3 ? text.substr(2, text.size() - 3) : u"";
    if (!text.starts_with(u"(?") || letters.empty() ||
        letters.find_first_not_of(u"^-imnsxpadlu") != std::u16string_view::npos ||
        letters.find_first_of(u"ud") == std::u16string_view::npos ||
        letters.find_first_of(u"al") != std::u16string_view::npos) {
      out_.copy(t.begin, t.end);
      return;
    }
    out_.copy(t.begin, t.begin + 2);
    std::size_t kept = 0;
    for (std::size_t k = t.begin + 2; k + 1 < t.end; ++k) {
      if (p_[k] == u'u' || p_[k] == u'd') continue;
      out_.copy(k, k + 1);
      ++kept;
    }
    if (kept == 0 && t.kind == TokenKind::FlagSet) out_.put(u":", t.begin);  // (?u) is (?:)
    out_.copy(t.end - 1, t.end);
    changed_ = true;
  }

  bool quantified(std::size_t k) const { return quantifierAfter(t_, k) != kNoPartner; }

  // How perl reads a \p{…} or \P{…}; a block perl does not know is refused, as perl does.
  PropertyReading property(const Token& t) const {
    PropertyReading reading = readProperty(p_.substr(t.begin, t.end - t.begin));
    if (reading.kind == PropertyReading::Kind::UnknownBlock) {
      failAt(SubstituteErrorKind::Pattern, kPatternHead, source_, out_.from[t.begin],
             unknownBlock(reading.text));
    }
    return reading;
  }

  void boundary(std::size_t k) {
    const Token& t = t_[k];
    bool inverted = t.value == u'B';
    std::size_t quantifier = quantifierAfter(t_, k);
    Side next = Side::Unknown;
    std::size_t f = skipSpace(t_, k + 1);
    if (quantifier == kNoPartner && f < t_.size() && !context_.optional(f)) {
      next = context_.firstOf(f);
    }
    std::size_t before = previousNonSpace(t_, k);
    Side previous = before == kNoPartner ? Side::Unknown : context_.lastOf(before);
    std::u16string text;
    if (!words_) {
      text = p_.substr(t.begin, t.end - t.begin);
    } else if (next != Side::Unknown) {  // a boundary iff the character before is the other kind
      text = lookaround((next == Side::Word) != inverted ? u"(?<!" : u"(?<=");
    } else if (previous != Side::Unknown) {
      text = lookaround((previous == Side::Word) != inverted ? u"(?!" : u"(?=");
    } else if (!inverted) {
      text = u"(?:" + lookaround(u"(?<=") + lookaround(u"(?!") + u"|" + lookaround(u"(?<!") +
             lookaround(u"(?=") + u")";
    } else {
      text = u"(?:" + lookaround(u"(?<=") + lookaround(u"(?=") + u"|" + lookaround(u"(?<!") +
             lookaround(u"(?!") + u")";
    }
    // perl lets an assertion be quantified; PCRE2 only a group.
    if (quantifier != kNoPartner) text = u"(?:" + text + u")";
    put(text, t.begin);
  }

  static bool isWordItem(const Token& t, std::u16string_view p, bool& negated) {
    if (t.kind == TokenKind::Type && (t.value == u'w' || t.value == u'W')) {
      negated = t.value == u'W';
      return true;
    }
    if (t.kind == TokenKind::Posix) {
      std::u16string_view name = p.substr(t.begin, t.end - t.begin);
      negated = t.negated;
      return name == (negated ? u"[:^word:]" : u"[:word:]");
    }
    return false;
  }

  // A bare "-" that is not a range: perl reads it as itself wherever it stands.
  bool bareDash(const Token& t) const {
    return t.kind == TokenKind::Literal && t.value == u'-' && !t.quoted && !t.escaped(p_);
  }

  void characterClass(std::size_t open) {
    const Token& o = t_[open];
    std::size_t close = o.partner;
    bool positiveWord = false;
    bool negativeWord = false;
    bool middleDash = false;
    bool properties = false;
    std::vector<PropertyReading> readings(close - open);
    std::size_t first = skipSpace(t_, open + 1);
    std::size_t last = previousNonSpace(t_, close);
    for (std::size_t k = open + 1; k < close; ++k) {
      bool negated = false;
      if (words_ && isWordItem(t_[k], p_, negated)) {
        (negated ? negativeWord : positiveWord) = true;
      } else if (isProperty(t_[k])) {
        readings[k - open] = property(t_[k]);
        properties = properties || readings[k - open].kind != PropertyReading::Kind::AsWritten;
      } else if (bareDash(t_[k]) && k != first && k != last) {
        middleDash = true;
      }
    }
    if (!positiveWord && !negativeWord && !middleDash && !properties) {
      out_.copy(o.begin, t_[close].end);
      return;
    }
    // The other members keep their origins; a bare "-", "^" or "]" among them is escaped, as
    // it may now stand where it would mean something else. Under /i a property read as
    // ranges goes beside the class, where /i is turned off for it.
    Output members{p_, out_.from, {}, {}};
    std::u16string beside;  // "|" and an alternative, for each
    bool any = false;
    for (std::size_t k = open + 1; k < close; ++k) {
      const Token& t = t_[k];
      bool negated = false;
      if (words_ && isWordItem(t, p_, negated)) continue;
      const PropertyReading& reading = readings[k - open];
      if (reading.kind == PropertyReading::Kind::Ranges && o.mode.caseless) {
        beside += u"|" + rangesAtom(reading, true);
        continue;
      }
      if (reading.kind == PropertyReading::Kind::Ranges) {
        any = any || !reading.ranges.empty();
        members.put(classMembers(reading.ranges), t.begin);
        continue;
      }
      any = any || t.kind != TokenKind::Space;
      if (reading.kind == PropertyReading::Kind::Renamed) {
        members.put(reading.text, t.begin);
        continue;
      }
      bool special = bareDash(t) || (t.kind == TokenKind::Literal && !t.quoted && !t.escaped(p_) &&
                                     (t.value == u'^' || t.value == u']'));
      if (special) members.put(u"\\", t.begin);
      members.copy(t.begin, t.end);
    }
    auto putMembers = [&] {
      out_.pattern += members.pattern;
      out_.origin.insert(out_.origin.end(), members.origin.begin(), members.origin.end());
    };
    bool negatedClass = o.negated;
    changed_ = true;
    if (!beside.empty() && !(positiveWord && negativeWord)) {
      if (negativeWord) beside += u"|" + wordClass(true);
      bool inner = any || positiveWord;
      auto putInner = [&](bool negated) {
        out_.put(negated ? u"[^" : u"[", o.begin);
        putMembers();
        if (positiveWord) out_.put(kWordItems, o.begin);
        out_.put(u"]", t_[close].begin);
      };
      if (!negatedClass) {  // [a\p{…}] is a, or the property
        out_.put(u"(?:", o.begin);
        if (inner) putInner(false);
        out_.put(std::u16string_view(beside).substr(inner ? 0 : 1), o.begin);
        out_.put(u")", t_[close].begin);
      } else {  // [^a\p{…}] is not the property, and not a
        out_.put(u"(?:(?!" + beside.substr(1) + u")", o.begin);
        if (inner) {
          putInner(true);
        } else {
          out_.put(u"[\\s\\S]", o.begin);
        }
        out_.put(u")", t_[close].begin);
      }
    } else if (!negativeWord && !any && !positiveWord) {  // only surrogates were named
      out_.put(negatedClass ? u"[\\s\\S]" : u"(?!)", o.begin);
    } else if (!negativeWord) {
      out_.put(negatedClass ? u"[^" : u"[", o.begin);
      putMembers();
      if (positiveWord) out_.put(kWordItems, o.begin);
      out_.put(u"]", t_[close].begin);
    } else if (positiveWord) {
      out_.put(negatedClass ? u"(?:(?!))" : u"[\\s\\S]", o.begin);  // no character, or every one
    } else if (!any) {
      out_.put(wordClass(!negatedClass), o.begin);
    } else if (!negatedClass) {  // [a\W] is a, or not a word character
      out_.put(u"(?:[", o.begin);
      putMembers();
      out_.put(u"]|" + wordClass(true) + u")", o.begin);
    } else {  // [^a\W] is a word character other than a
      out_.put(u"(?:(?![", o.begin);
      putMembers();
      out_.put(u"])" + wordClass(false) + u")", o.begin);
    }
  }

  std::u16string_view p_;  // views into parsed.pattern, which changes only after the walk
  const std::vector<Token>& t_;
  std::u16string_view source_;
  bool words_;
  BoundaryContext context_;
  Output out_;
  bool changed_ = false;
};

}  // namespace

bool rewriteForPcre(ParsedExpression& parsed, const std::vector<Token>& tokens,
                    std::u16string_view source) {
  if (parsed.pattern.find_first_of(u"\\[(") == std::u16string::npos) return false;
  return Rewriter(parsed, tokens, source).run(parsed);
}

}  // namespace morvelle::text::detail
