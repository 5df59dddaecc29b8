
#include "adapters/component_codes.h"
#include "adapters/component_errors.h"
#include "adapters/text_service_factory.h"
#include "editbuffer/convert.h"
#include "editbuffer/file_buffer.h"
#include "services/file_names.h"
#include "services/service_error.h"
#include "text/subst/substitute.h"

namespace morvelle {

namespace {

std::u16string_view View(QStringView s) { return {s.utf16(), size_t(s.size())}; }

// Each replacement goes straight into the rule's edits.
class EditsSink : public text::ReplacementSink {
 public:
  TextEdits edits;
  void replace(std::size_t start, std::size_t length, std::u16string_view replacement) override {
    edits.Add(qsizetype(start), qsizetype(length),
              QStringView(replacement.data(), qsizetype(replacement.size())));
  }
};

// A result too large for memory fails that rule, as a bound would.
ServiceError OutOfMemory() {
  return ServiceError(
      QCoreApplication::translate("Services", "置換を中止しました: 結果がメモリに収まりません"));
}

editbuffer::ConvertOptions Given(const ConvertOptions& options) {
  editbuffer::ConvertOptions given;
  if (options.from) given.from = EncodingOf(*options.from);
  given.lineEnds = LineEndsOf(options.lineEnds);
  given.utf8Bom = options.bom;
  return given;
}

// Conversion failures in the user's words; a file too large for memory fails that file.
template <typename F>
auto Converting(const QString& sourcePath, F&& action) {
  return Guarded(QT_TRANSLATE_NOOP("Services", "メモリが足りないため変換できません: %1"),
                 sourcePath, std::forward<F>(action));
}

// A rule's failure in the user's words; a result too large for memory fails that rule.
template <typename F>
auto Substituting(F&& action) {
  try {
    return action();
  } catch (const text::SubstituteError& e) {
    throw ServiceError(QString::fromStdU16String(e.description()));
  } catch (const std::bad_alloc&) {
    throw OutOfMemory();
  } catch (const std::length_error&) {
    throw OutOfMemory();
  }
}

class ComponentTextService : public TextService {
 public:
  explicit ComponentTextService(std::shared_ptr<text::Substituter> substituter)
      : substituter_(std::move(substituter)) {}

  QString Substitute(const QString& expression, const QString& text) override {
    return Substituting([&] {
      return QString::fromStdU16String(substituter_->apply(View(expression), View(text)));
    });
  }

  TextEdits SubstituteWithEdits(const QString& expression, QStringView text) override {
    return Substituting([&] {
      EditsSink sink;
      substituter_->applyTo(View(expression), View(text), sink);
      return std::move(sink.edits);
    });
  }

  std::optional<QString> RequiredText(const QString& expression) override {
    return Substituting([&]() -> std::optional<QString> {
      std::optional<std::u16string> text = substituter_->requiredText(View(expression));
      if (!text) return std::nullopt;
      return QString::fromStdU16String(*text);
    });
  }

  std::optional<LiteralRule> Literal(const QString& expression) override {
    return Substituting([&]() -> std::optional<LiteralRule> {
      std::optional<text::LiteralRule> rule = substituter_->literalRule(View(expression));
      if (!rule) return std::nullopt;
      return LiteralRule{QString::fromStdU16String(rule->pattern),
                         QString::fromStdU16String(rule->replacement), rule->global};
    });
  }

  void ConvertFile(const QString& sourcePath, const QString& destinationPath, CharacterCode code,
                   const ConvertOptions& options) override {
    // Straight into the temporary file, a block at a time.
    Converting(sourcePath, [&] {
      editbuffer::ConvertFile(EncodeFileName(sourcePath).toStdString(),
                              EncodeFileName(destinationPath).toStdString(), TargetCodeOf(code),
                              Given(options));
    });
  }

  std::function<void()> StageConvert(const QString& sourcePath, const QString& destinationPath,
                                     CharacterCode code, const ConvertOptions& options) override {
    mode_t mode = 0;
    auto bytes = std::make_shared<const std::string>(Converting(sourcePath, [&] {
      return editbuffer::ConvertedBytes(EncodeFileName(sourcePath).toStdString(),
                                        TargetCodeOf(code), Given(options), &mode);
    }));
    // The output is a copy of the source: never readable by more people than it.
    return [bytes, sourcePath, destination = EncodeFileName(destinationPath).toStdString(), mode] {
      Converting(sourcePath, [&] {
        editbuffer::WriteFileAtomically(destination, *bytes, {.sourceMode = mode});
      });
    };
  }

 private:
  std::shared_ptr<text::Substituter> substituter_;
};

}  // namespace

TextServiceFactory MakeTextServiceFactory() {
  // Instances made by one factory share the compiled expressions, so a batch that makes one per
  // file still compiles each rule once. One factory serves one thread.
  auto substituter = std::make_shared<text::Substituter>();
  return [substituter]() -> std::unique_ptr<TextService> {
    return std::make_unique<ComponentTextService>(substituter);
  };
}

}  // namespace morvelle
