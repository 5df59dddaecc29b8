#include "services/service_error.h"
#include "services/text_service_factory.h"

namespace morvelle {

TextServiceFactory MakeTextServiceFactory() {
  return []() -> std::unique_ptr<TextService> {
    throw ServiceError(QStringLiteral("テキストサービスを作成できません。"));
  };
}

}  // namespace morvelle
