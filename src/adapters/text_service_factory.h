#pragma once
// The program's text service: substitution and code conversion on our own components.

#include "services/text_service.h"

namespace morvelle {

TextServiceFactory MakeTextServiceFactory();

}  // namespace morvelle
