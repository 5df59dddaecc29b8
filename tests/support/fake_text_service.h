#pragma once
// A text service whose substitution is a function the test gives (one that throws fails every
// call, as a broken component would); counts its calls and records each conversion asked of it.

#include <functional>

#include "services/service_error.h"
#include "services/text_service.h"

namespace morvelle::testing {

class FakeTextService : public TextService {
 public:
  using Rule = std::function<QString(const QString& expression, const QString& text)>;

  explicit FakeTextService(Rule rule) : rule_(std::move(rule)) {}

  int calls = 0;
  std::vector<std::tuple<QString, QString, CharacterCode>> conversions;  // source, destination
  // The Nth conversion (from 1) throws this, as a disk that refuses the output would; 0: none.
  int failConversionAt = 0;
  QString conversionFailure;

  QString Substitute(const QString& expression, const QString& text) override {
    ++calls;
    return rule_(expression, text);
  }
  TextEdits SubstituteWithEdits(const QString& expression, QStringView text) override {
    const QString result = Substitute(expression, text.toString());
    TextEdits edits;
    if (result != text) edits.Add(0, text.size(), result);
    return edits;
  }
  void ConvertFile(const QString& source, const QString& destination, CharacterCode code,
                   const ConvertOptions&) override {
    conversions.emplace_back(source, destination, code);
    if (int(conversions.size()) == failConversionAt) throw ServiceError(conversionFailure);
  }
  std::function<void()> StageConvert(const QString& source, const QString& destination,
                                     CharacterCode code, const ConvertOptions&) override {
    return [this, source, destination, code] { ConvertFile(source, destination, code, {}); };
  }

 private:
  Rule rule_;
};

// "s/FROM/TO/" on plain text; "bad..." fails as an unusable expression would.
inline QString LiteralRule(const QString& expression, const QString& text) {
  if (expression.startsWith(QStringLiteral("bad"))) {
    throw ServiceError(QStringLiteral("正規表現を解釈できません: ") + expression);
  }
  const QStringList parts = expression.split(u'/');
  if (parts.size() < 3 || parts[0] != QStringLiteral("s")) return text;
  QString from = parts[1];
  from.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
  QString result = text;
  return result.replace(from, parts[2]);
}

}  // namespace morvelle::testing
