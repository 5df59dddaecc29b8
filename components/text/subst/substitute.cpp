// The Substituter: a cache of compiled rules in front of the rule compiler and the match loop.

#include "substitute.h"

#include <optional>
#include <unordered_map>

#include "compiled_rule.h"
#include "expression.h"
#include "match_loop.h"

namespace morvelle::text {
namespace {

// Builds perl's result text from the replacements.
class TextSink : public ReplacementSink {
 public:
  explicit TextSink(std::u16string_view text) : text_(text) {}
  void replace(std::size_t start, std::size_t length, std::u16string_view replacement) override {
    if (!replaced_) result.reserve(text_.size() + text_.size() / 8);
    replaced_ = true;
    result.append(text_.substr(copied_, start - copied_));
    result.append(replacement);
    copied_ = start + length;
  }
  std::u16string finish() {
    if (!replaced_) return std::u16string(text_);
    result.append(text_.substr(copied_));
    return std::move(result);
  }

  std::u16string result;

 private:
  std::u16string_view text_;
  std::size_t copied_ = 0;
  bool replaced_ = false;
};

// The text and every span, for callers that want both.
class SpanSink : public ReplacementSink {
 public:
  explicit SpanSink(std::u16string_view text) : text_(text) {}
  void replace(std::size_t start, std::size_t length, std::u16string_view replacement) override {
    text_.replace(start, length, replacement);
    spans.push_back(ReplacedSpan{start, length, std::u16string(replacement)});
  }
  SubstituteResult finish(std::size_t count) { return {text_.finish(), std::move(spans), count}; }

  std::vector<ReplacedSpan> spans;

 private:
  TextSink text_;
};

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

std::optional<std::u16string> Substituter::requiredText(std::u16string_view expression) {
  return impl_->lookup(expression)->mustConsume;
}

std::optional<LiteralRule> Substituter::literalRule(std::u16string_view expression) {
  const std::shared_ptr<detail::CompiledRule> rule = impl_->lookup(expression);
  const std::vector<detail::Piece>& pieces = rule->replacement.pieces;
  if (!rule->literal || !rule->mustConsume || pieces.size() > 1 ||
      (pieces.size() == 1 && pieces[0].kind != detail::PieceKind::Literal)) {
    return std::nullopt;
  }
  return LiteralRule{rule->pattern, pieces.empty() ? std::u16string() : pieces[0].text,
                     rule->global};
}

std::u16string Substituter::apply(std::u16string_view expression, std::u16string_view text) {
  std::shared_ptr<detail::CompiledRule> rule = impl_->lookup(expression);
  TextSink sink(text);
  impl_->matcher.run(*rule, text, sink);
  return sink.finish();
}

SubstituteResult Substituter::applyWithSpans(std::u16string_view expression,
                                             std::u16string_view text) {
  std::shared_ptr<detail::CompiledRule> rule = impl_->lookup(expression);
  SpanSink sink(text);
  const std::size_t count = impl_->matcher.run(*rule, text, sink);
  return sink.finish(count);
}

std::size_t Substituter::applyTo(std::u16string_view expression, std::u16string_view text,
                                 ReplacementSink& sink) {
  std::shared_ptr<detail::CompiledRule> rule = impl_->lookup(expression);
  return impl_->matcher.run(*rule, text, sink);
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
  SpanSink sink(text);
  const std::size_t count = impl_->matcher.run(*rule, text, sink);
  return sink.finish(count);
}

}  // namespace morvelle::text
