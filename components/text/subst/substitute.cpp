// The Substituter: a cache of compiled rules in front of the rule compiler and the match loop.

#include "substitute.h"

#include <optional>
#include <unordered_map>

#include "compiled_rule.h"
#include "expression.h"
#include "match_loop.h"

namespace morvelle::text {
namespace {

struct CacheEntry {
  std::shared_ptr<detail::CompiledRule> rule;
  std::optional<SubstituteError> error;
};

}  // namespace

struct Substituter::Impl {
  SubstituteLimits limits;
  detail::RuleCompiler compiler;
  detail::Matcher matcher;
  std::unordered_map<std::u16string, CacheEntry> cache;

  explicit Impl(SubstituteLimits l) : limits(l), compiler(limits), matcher(limits, compiler) {}

  std::shared_ptr<detail::CompiledRule> lookup(std::u16string_view expression) {
    std::u16string key(expression);
    auto found = cache.find(key);
    if (found == cache.end()) {
      CacheEntry entry;
      try {
        entry.rule = compiler.compile(detail::parseExpression(expression), expression);
      } catch (const SubstituteError& error) {
        entry.error = error;
      }
      if (cache.size() >= limits.cacheCapacity) cache.clear();
      found = cache.emplace(std::move(key), std::move(entry)).first;
    }
    if (found->second.error) throw *found->second.error;
    return found->second.rule;
  }
};

Substituter::Substituter(SubstituteLimits limits) : impl_(std::make_unique<Impl>(limits)) {}
Substituter::~Substituter() = default;

const SubstituteLimits& Substituter::limits() const noexcept { return impl_->limits; }

void Substituter::check(std::u16string_view expression) { impl_->lookup(expression); }

std::u16string Substituter::apply(std::u16string_view expression, std::u16string_view text) {
  std::shared_ptr<detail::CompiledRule> rule = impl_->lookup(expression);
  return impl_->matcher.run<false>(*rule, text).text;
}

SubstituteResult Substituter::applyWithSpans(std::u16string_view expression,
                                             std::u16string_view text) {
  std::shared_ptr<detail::CompiledRule> rule = impl_->lookup(expression);
  return impl_->matcher.run<true>(*rule, text);
}

SubstituteResult Substituter::applyParts(const RuleParts& parts, std::u16string_view text) {
  // Error positions count in "pattern replacement flags", the parts joined by one blank.
  std::u16string source = parts.pattern + u" " + parts.replacement + u" " + parts.flags;
  detail::ParsedExpression parsed;
  parsed.pattern = parts.pattern;
  for (std::size_t i = 0; i <= parts.pattern.size(); ++i) parsed.patternOrigin.push_back(i);
  parsed.replacement = parts.replacement;
  std::size_t base = parts.pattern.size() + 1;
  for (std::size_t i = 0; i <= parts.replacement.size(); ++i) {
    parsed.replacementOrigin.push_back(base + i);
  }
  parsed.interpolatePattern = false;
  parsed.flags = detail::parseFlags(parts.flags, source, base + parts.replacement.size() + 1);
  std::shared_ptr<detail::CompiledRule> rule = impl_->compiler.compile(parsed, source);
  return impl_->matcher.run<true>(*rule, text);
}

}  // namespace morvelle::text
