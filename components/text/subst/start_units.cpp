// Tables of UTF-16 units for the match loop: which units may begin a match of a rule whose
// every match starts with one class item, so it can skip the others without calling PCRE2,
// and which units may stand before a rule's required literal, so it can find where a match
// using that literal may start.

#include "compiled_rule.h"
#include "text/utf16.h"

namespace morvelle::text::detail {

void RuleCompiler::ensureStartUnits(CompiledRule& rule, pcre2_match_context_16* context) {
  if (rule.leadingItem.empty()) return;
  std::u16string item = u"(?:" + rule.leadingItem + u")";
  rule.leadingItem.clear();
  rule.startUnits = unitTable(item, rule.options, context);
}

void RuleCompiler::ensureRunUnits(CompiledRule& rule, pcre2_match_context_16* context) {
  if (!rule.required || rule.required->maxBefore != kNoBound || !rule.runUnits.empty()) return;
  std::u16string item = u"(?:";
  for (const std::u16string& one : rule.required->before) {
    if (item.size() > 3) item += u'|';
    item += one;
  }
  item += u')';
  rule.runUnits = unitTable(item, rule.options, context);
  if (rule.runUnits.empty()) rule.required.reset();
}

// Runs the item over a string of every BMP character once, so the table costs a few hundred
// matches of runs, not 64K calls. Surrogates always pass: the pair decides.
std::vector<std::uint64_t> RuleCompiler::unitTable(std::u16string_view item, std::uint32_t options,
                                                   pcre2_match_context_16* context) {
  pcre::Code code = compileCode(std::u16string(item) + u"+", options, 0, nullptr, {});
  if (!code) return {};
  const bool jit = pcre2_jit_compile_16(code.get(), PCRE2_JIT_COMPLETE) == 0;
  pcre::MatchData data = pcre::owned<pcre::MatchData>(pcre2_match_data_create_16(1, nullptr));

  std::u16string every;
  every.reserve(0x10000 - 0x800);
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (!isSurrogate(c)) every += static_cast<char16_t>(c);
  }
  auto unitAt = [](std::size_t index) { return index < 0xD800 ? index : index + 0x800; };
  std::vector<std::uint64_t> bits(1024, 0);
  auto admit = [&bits](std::size_t c) { bits[c >> 6] |= std::uint64_t{1} << (c & 63); };
  for (char32_t c = 0xD800; c <= 0xDFFF; ++c) admit(c);
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(data.get());
  for (std::size_t offset = 0; offset < every.size();) {
    int rc = pcre::match(code.get(), jit, every, offset, 0, data.get(), context);
    if (rc == PCRE2_ERROR_NOMATCH) break;
    if (rc < 0 || ovector[1] <= ovector[0]) {  // in doubt, every unit passes
      bits.assign(1024, ~std::uint64_t{0});
      break;
    }
    for (std::size_t k = ovector[0]; k < ovector[1]; ++k) admit(unitAt(k));
    offset = ovector[1];
  }
  return bits;
}

}  // namespace morvelle::text::detail
