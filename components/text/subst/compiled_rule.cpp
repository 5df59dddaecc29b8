#include "compiled_rule.h"

#include <algorithm>

#include "messages.h"
#include "pattern_checks.h"
#include "pattern_lexer.h"
#include "pattern_rewrite.h"
#include "pattern_scans.h"

namespace morvelle::text::detail {
namespace {

// Every guarded pattern starts with this callout, so the deadline is read at each start
// position; PCRE2's own match limit restarts there and cannot bound a whole run.
constexpr std::u16string_view kDeadlinePrefix = u"(?C)";

std::uint32_t optionsFor(const RuleFlags& f) {
  std::uint32_t options =
      PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_DUPNAMES | PCRE2_NEVER_BACKSLASH_C;
  if (!f.ascii) options |= PCRE2_UCP;  // /a: \d \s \w and POSIX classes stay ASCII
  if (f.caseless) options |= PCRE2_CASELESS;
  if (f.multiline) options |= PCRE2_MULTILINE;
  if (f.dotall) options |= PCRE2_DOTALL;
  if (f.extended == 1) options |= PCRE2_EXTENDED;
  if (f.extended == 2) options |= PCRE2_EXTENDED_MORE;
  if (f.noAutoCapture) options |= PCRE2_NO_AUTO_CAPTURE;
  return options;
}

// Groups of that name in ascending order, so that the first set one is the leftmost.
std::vector<std::uint32_t> namedGroups(const pcre2_code_16* code, const std::u16string& name) {
  if (!code) return {};
  std::uint32_t count = 0;
  std::uint32_t entrySize = 0;
  PCRE2_SPTR16 table = nullptr;
  pcre2_pattern_info_16(code, PCRE2_INFO_NAMECOUNT, &count);
  pcre2_pattern_info_16(code, PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
  pcre2_pattern_info_16(code, PCRE2_INFO_NAMETABLE, &table);
  std::vector<std::uint32_t> groups;
  for (std::uint32_t k = 0; k < count; ++k) {
    PCRE2_SPTR16 entry = table + static_cast<std::size_t>(k) * entrySize;
    std::u16string_view entryName(reinterpret_cast<const char16_t*>(entry + 1));
    if (entryName == name) groups.push_back(entry[0]);
  }
  std::sort(groups.begin(), groups.end());
  return groups;
}

// perl would quietly interpolate an empty string for a group the pattern lacks; that is
// almost always a mistake in a rule, so it is an error here.
void bind(ReplacementProgram& program, const pcre2_code_16* code, std::uint32_t captureCount,
          std::u16string_view source) {
  for (Piece& piece : program.pieces) {
    if (piece.kind == PieceKind::Group && piece.group > captureCount) {
      failAt(SubstituteErrorKind::Replacement, kReplacementHead, source, piece.origin,
             missingGroup(piece.group, captureCount));
    }
    if (piece.kind == PieceKind::Named) {
      piece.groups = namedGroups(code, piece.text);
      if (piece.groups.empty()) {
        failAt(SubstituteErrorKind::Replacement, kReplacementHead, source, piece.origin,
               missingNamedGroup(piece.text));
      }
    }
  }
}

}  // namespace

RuleCompiler::RuleCompiler(const SubstituteLimits& limits)
    : limits_(limits),
      context_(pcre::owned<pcre::CompileContext>(pcre2_compile_context_create_16(nullptr))) {
  pcre2_set_newline_16(context_.get(), PCRE2_NEWLINE_LF);
  pcre2_set_bsr_16(context_.get(), PCRE2_BSR_UNICODE);
}

std::shared_ptr<CompiledRule> RuleCompiler::compile(ParsedExpression parsed,
                                                    std::u16string_view source) {
  // Lexed as written, then again after each step that changed the text, so every check and
  // analysis reads the pattern exactly as the next step receives it.
  PatternTokens lexed = lexPattern(parsed.pattern, parsed.flags);
  if (resolveCharacterNames(parsed, lexed.tokens, source)) {
    lexed = lexPattern(parsed.pattern, parsed.flags);
  }
  checkPattern(parsed, lexed.tokens, source);
  if (rewriteForPcre(parsed, lexed.tokens, source)) {
    lexed = lexPattern(parsed.pattern, parsed.flags);
  }

  auto rule = std::make_shared<CompiledRule>();
  rule->pattern = parsed.pattern;
  rule->options = optionsFor(parsed.flags);
  rule->global = parsed.flags.global;
  rule->replacement = compileReplacement(parsed.replacement, parsed.replacementOrigin,
                                         parsed.interpolateReplacement, source);
  if (isLiteralPattern(parsed.pattern, lexed.tokens)) {
    rule->literal = true;
    if (!(rule->options & PCRE2_CASELESS) && !rule->pattern.empty()) {
      rule->mustConsume = rule->pattern;
    }
    bind(rule->replacement, nullptr, 0, source);
    return rule;
  }
  rule->usesG = mentionsG(lexed.tokens);
  if (rule->usesG) {
    std::u16string_view prefix = limits_.enforceDeadline ? kDeadlinePrefix : std::u16string_view();
    rule->guarded = compileCode(std::u16string(prefix) + rule->pattern, rule->options,
                                prefix.size(), &parsed, source);
    rule->guardedJit = pcre2_jit_compile_16(rule->guarded.get(), PCRE2_JIT_COMPLETE) == 0;
  } else {
    rule->fast =
        compileCode(parsed.pattern, rule->options | PCRE2_USE_OFFSET_LIMIT, 0, &parsed, source);
    rule->fastJit = pcre2_jit_compile_16(rule->fast.get(), PCRE2_JIT_COMPLETE) == 0;
    std::uint32_t firstType = 0;
    std::uint32_t all = 0;
    pcre2_pattern_info_16(rule->fast.get(), PCRE2_INFO_FIRSTCODETYPE, &firstType);
    pcre2_pattern_info_16(rule->fast.get(), PCRE2_INFO_ALLOPTIONS, &all);
    if (firstType == 0 && !(all & PCRE2_ANCHORED)) {
      rule->leadingItem = leadingClassItem(parsed.pattern, lexed.tokens);
      rule->required = requiredLiteral(parsed.pattern, lexed.tokens);
    }
  }
  {
    const std::optional<RequiredLiteral> consumed =
        rule->required ? rule->required : requiredLiteral(parsed.pattern, lexed.tokens, false);
    // Under /i the literal holds ASCII and characters without case; without an ASCII letter it
    // matches only itself.
    const auto letter = [](char16_t u) { return (u | 0x20) >= u'a' && (u | 0x20) <= u'z'; };
    if (consumed && !consumed->text.empty() &&
        (!consumed->caseless ||
         std::none_of(consumed->text.begin(), consumed->text.end(), letter))) {
      rule->mustConsume = consumed->text;
    }
  }
  const pcre2_code_16* code = rule->fast ? rule->fast.get() : rule->guarded.get();
  rule->matchData = pcre::matchDataFor(code);
  std::uint32_t captureCount = 0;
  pcre2_pattern_info_16(code, PCRE2_INFO_CAPTURECOUNT, &captureCount);
  bind(rule->replacement, code, captureCount, source);
  rule->closeRank = closeRanks(lexed, captureCount);
  return rule;
}

bool RuleCompiler::ensureGuarded(CompiledRule& rule) {
  if (rule.guarded) return true;
  std::u16string_view prefix = limits_.enforceDeadline ? kDeadlinePrefix : std::u16string_view();
  rule.guarded =
      compileCode(std::u16string(prefix) + rule.pattern, rule.options, prefix.size(), nullptr, {});
  rule.guardedJit =
      rule.guarded && pcre2_jit_compile_16(rule.guarded.get(), PCRE2_JIT_COMPLETE) == 0;
  return rule.guarded != nullptr;
}

pcre::Code RuleCompiler::compileCode(std::u16string_view body, std::uint32_t options,
                                     std::size_t prefixLength, const ParsedExpression* parsed,
                                     std::u16string_view source) {
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  pcre::Code code(pcre2_compile_16(pcre::units(body), body.size(), options, &errorCode,
                                   &errorOffset, context_.get()));
  if (code || !parsed) return code;
  std::size_t at = errorOffset > prefixLength ? errorOffset - prefixLength : 0;
  std::size_t index =
      at < parsed->patternOrigin.size() ? parsed->patternOrigin[at] : parsed->patternOrigin.back();
  failAt(SubstituteErrorKind::Pattern, kPatternHead, source, index, compileFailure(errorCode));
}

}  // namespace morvelle::text::detail
