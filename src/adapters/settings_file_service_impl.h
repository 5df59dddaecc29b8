#pragma once

#include <memory>

#include "services/settings_file_service.h"

namespace morvelle {

std::unique_ptr<SettingsFileService> MakeSettingsFileService();

}  // namespace morvelle
