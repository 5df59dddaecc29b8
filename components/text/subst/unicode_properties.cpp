#include "unicode_properties.h"

#include <unicode/uchar.h>
#include <unicode/ucpmap.h>
#include <unicode/uscript.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

namespace morvelle::text::detail {
namespace {

// perl 5.36 and PCRE2 10.42 know Unicode 14.0; ICU may know later characters and blocks.
constexpr std::uint8_t kUnicodeMajor = 14;
constexpr char32_t kLastCodePoint = 0x10FFFF;

bool inKnownUnicode(UChar32 c) {
  UVersionInfo age;
  u_charAge(c, age);
  return age[0] != 0 && age[0] <= kUnicodeMajor;
}

bool isLooseSeparator(char16_t c) {
  return c == u' ' || c == u'_' || c == u'-' || (c >= u'\t' && c <= u'\r');
}

std::u16string_view trimmed(std::u16string_view s) {
  while (!s.empty() && isLooseSeparator(s.front())) s.remove_prefix(1);
  while (!s.empty() && isLooseSeparator(s.back())) s.remove_suffix(1);
  return s;
}

// The rest of `name` after `prefix` (lower-case letters) matched loosely; nothing if `name`
// does not start so or nothing follows.
std::optional<std::u16string_view> afterPrefix(std::u16string_view name,
                                               std::u16string_view prefix) {
  std::size_t i = 0;
  for (char16_t want : prefix) {
    while (i < name.size() && isLooseSeparator(name[i])) ++i;
    if (i >= name.size() || name[i] >= 0x80 || (name[i] | 0x20) != want) return std::nullopt;
    ++i;
  }
  std::u16string_view rest = trimmed(name.substr(i));
  if (rest.empty()) return std::nullopt;
  return rest;
}

// `name` lower-cased without separators, as perl compares names; empty if not ASCII.
std::string loose(std::u16string_view name) {
  std::string out;
  for (char16_t c : name) {
    if (c >= 0x80) return {};
    if (isLooseSeparator(c)) continue;
    out += static_cast<char>(c >= u'A' && c <= u'Z' ? c | 0x20 : c);
  }
  return out;
}

// ICU matches value names loosely too.
int valueOf(UProperty property, std::u16string_view name) {
  std::string ascii = loose(name);
  return ascii.empty() ? UCHAR_INVALID_CODE : u_getPropertyValueEnum(property, ascii.c_str());
}

// Calls `each(first, last, value)` for the runs of one value of an enumerated property.
template <typename Each>
void forEachRun(UProperty property, Each each) {
  UErrorCode error = U_ZERO_ERROR;
  const UCPMap* map = u_getIntPropertyMap(property, &error);
  if (U_FAILURE(error)) return;
  uint32_t value = 0;
  for (UChar32 start = 0, end; start <= static_cast<UChar32>(kLastCodePoint); start = end + 1) {
    end = ucpmap_getRange(map, start, UCPMAP_RANGE_NORMAL, 0, nullptr, nullptr, &value);
    if (end < 0) break;
    each(static_cast<char32_t>(start), static_cast<char32_t>(end), value);
  }
}

// A script some character has: ICU also names scripts Unicode does not encode, such as Jamo,
// which perl reads as the block Hangul_Jamo.
bool isEncodedScript(int script) {
  bool found = false;
  forEachRun(UCHAR_SCRIPT, [&](char32_t, char32_t, uint32_t value) {
    found = found || value == static_cast<uint32_t>(script);
  });
  return found;
}

// A script, a general category or a binary property: what a one-word name means before a
// block of the same name.
bool namesNoBlock(std::u16string_view name) {
  std::string ascii = loose(name);
  if (ascii.empty()) return false;
  int script = u_getPropertyValueEnum(UCHAR_SCRIPT, ascii.c_str());
  return (script != UCHAR_INVALID_CODE && isEncodedScript(script)) ||
         u_getPropertyValueEnum(UCHAR_GENERAL_CATEGORY_MASK, ascii.c_str()) != UCHAR_INVALID_CODE ||
         u_getPropertyEnum(ascii.c_str()) != UCHAR_INVALID_CODE;
}

void add(std::vector<CodePointRange>& set, char32_t first, char32_t last) {
  if (!set.empty() && set.back().last + 1 == first) {
    set.back().last = last;
  } else {
    set.push_back({first, last});
  }
}

std::vector<CodePointRange> complement(const std::vector<CodePointRange>& set) {
  std::vector<CodePointRange> out;
  char32_t next = 0;
  for (const CodePointRange& r : set) {
    if (r.first > next) out.push_back({next, r.first - 1});
    next = r.last + 1;
  }
  if (next <= kLastCodePoint) out.push_back({next, kLastCodePoint});
  return out;
}

// PCRE2 refuses surrogates in a class, and a text's lone surrogates never match anything.
std::vector<CodePointRange> withoutSurrogates(const std::vector<CodePointRange>& set) {
  std::vector<CodePointRange> out;
  for (CodePointRange r : set) {
    if (r.first >= 0xD800 && r.last <= 0xDFFF) continue;
    if (r.first >= 0xD800 && r.first <= 0xDFFF) r.first = 0xE000;
    if (r.last >= 0xD800 && r.last <= 0xDFFF) r.last = 0xD7FF;
    out.push_back(r);
  }
  return out;
}

bool holdsKnownCharacter(char32_t first, char32_t last) {
  for (char32_t c = first; c <= last; ++c) {
    if (inKnownUnicode(static_cast<UChar32>(c))) return true;
  }
  return false;
}

// Blocks that later versions grew, with their last code point in Unicode 14; the code points
// they took were No_Block.
struct GrownBlock {
  UBlockCode block;
  char32_t last;
};
constexpr GrownBlock kGrownBlocks[] = {
    {UBLOCK_EGYPTIAN_HIEROGLYPH_FORMAT_CONTROLS, 0x1343F},  // to 1345F in Unicode 15
};

// A block's characters as in Unicode 14; empty for a block perl 5.36 lacks (every character
// in it came later). Such blocks were No_Block then.
std::vector<CodePointRange> blockRanges(int block) {
  std::vector<CodePointRange> set;
  std::map<uint32_t, bool> known;
  auto take = [&](char32_t first, char32_t last, uint32_t value) {
    bool noBlock = value == UBLOCK_NO_BLOCK;
    if (!noBlock) {
      auto [at, added] = known.try_emplace(value, false);
      if (added) at->second = holdsKnownCharacter(first, last);
      noBlock = !at->second;
    }
    if (noBlock ? block == UBLOCK_NO_BLOCK : value == static_cast<uint32_t>(block)) {
      add(set, first, last);
    }
  };
  forEachRun(UCHAR_BLOCK, [&](char32_t first, char32_t last, uint32_t value) {
    for (const GrownBlock& grown : kGrownBlocks) {
      if (value == static_cast<uint32_t>(grown.block) && last > grown.last) {
        take(first, grown.last, value);
        take(grown.last + 1, last, UBLOCK_NO_BLOCK);
        return;
      }
    }
    take(first, last, value);
  });
  return set;
}

// The characters whose Script_Extensions hold `script`, for Common and Inherited: only
// characters of that Script qualify, and only those that no extension gives other scripts.
std::vector<CodePointRange> extensionRanges(UScriptCode script) {
  std::vector<CodePointRange> set;
  forEachRun(UCHAR_SCRIPT, [&](char32_t first, char32_t last, uint32_t value) {
    if (value != static_cast<uint32_t>(script)) return;
    for (char32_t c = first; c <= last; ++c) {
      UChar32 u = static_cast<UChar32>(c);
      if (inKnownUnicode(u) && uscript_hasScript(u, script)) add(set, c, c);
    }
  });
  return set;
}

bool isCommonOrInherited(int script) {
  return script == USCRIPT_COMMON || script == USCRIPT_INHERITED;
}

}  // namespace

PropertyReading readProperty(std::u16string_view escape) {
  PropertyReading reading;
  if (escape.size() < 4 || escape[2] != u'{' || escape.back() != u'}') return reading;
  bool negated = escape[1] == u'P';
  std::u16string_view name = trimmed(escape.substr(3, escape.size() - 4));
  if (!name.empty() && name.front() == u'^') {
    negated = !negated;
    name = trimmed(name.substr(1));
  }
  auto ranges = [&](const std::vector<CodePointRange>& set) {
    reading.kind = PropertyReading::Kind::Ranges;
    reading.ranges = withoutSurrogates(negated ? complement(set) : set);
    return reading;
  };
  auto renamed = [&](std::u16string_view text) {
    reading.kind = PropertyReading::Kind::Renamed;
    reading.text = std::u16string(negated ? u"\\P{" : u"\\p{") + std::u16string(text) + u"}";
    return reading;
  };
  auto unknownBlock = [&](std::u16string_view text) {
    reading.kind = PropertyReading::Kind::UnknownBlock;
    reading.text = text;
    return reading;
  };

  auto block = [&](std::u16string_view blockName) {
    int code = valueOf(UCHAR_BLOCK, blockName);
    return code == UCHAR_INVALID_CODE ? std::vector<CodePointRange>() : blockRanges(code);
  };

  std::size_t equals = name.find_first_of(u"=:");
  if (equals != std::u16string_view::npos) {
    // Before a compound name perl takes Is only as written so.
    std::u16string_view bare = name.starts_with(u"Is") ? trimmed(name.substr(2)) : name;
    equals = bare.find_first_of(u"=:");
    std::string property = loose(bare.substr(0, equals));
    std::u16string_view value = trimmed(bare.substr(equals + 1));
    if (property == "block" || property == "blk") {
      std::vector<CodePointRange> set = block(value);
      return set.empty() ? unknownBlock(value) : ranges(set);
    }
    int script = valueOf(UCHAR_SCRIPT, value);
    if ((property == "scx" || property == "scriptextensions") && isCommonOrInherited(script)) {
      return ranges(extensionRanges(static_cast<UScriptCode>(script)));
    }
    return bare.size() < name.size() ? renamed(bare) : reading;
  }

  std::optional<std::u16string_view> withoutIs = afterPrefix(name, u"is");
  std::u16string_view bare = withoutIs.value_or(name);
  int script = valueOf(UCHAR_SCRIPT, bare);
  if (isCommonOrInherited(script)) return ranges(extensionRanges(static_cast<UScriptCode>(script)));
  // In is for blocks only, and never after Is; a name of one word is a block only where it
  // names nothing else.
  std::optional<std::u16string_view> inBlock = withoutIs ? std::nullopt : afterPrefix(name, u"in");
  bool other = namesNoBlock(bare);
  if (inBlock && !other) {
    if (std::vector<CodePointRange> set = block(*inBlock); !set.empty()) return ranges(set);
  }
  if (!other) {
    if (std::vector<CodePointRange> set = block(bare); !set.empty()) return ranges(set);
  }
  if (inBlock && !other) return unknownBlock(*inBlock);
  return withoutIs ? renamed(bare) : reading;
}

std::u16string classMembers(const std::vector<CodePointRange>& ranges) {
  std::u16string out;
  auto hex = [&](char32_t c) {
    char text[16];
    int n = std::snprintf(text, sizeof text, "\\x{%X}", static_cast<unsigned>(c));
    out.append(text, text + n);
  };
  for (const CodePointRange& r : ranges) {
    hex(r.first);
    if (r.last != r.first) {
      out += u'-';
      hex(r.last);
    }
  }
  return out;
}

}  // namespace morvelle::text::detail
