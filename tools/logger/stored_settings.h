#pragma once
// The meter window's stored settings, as the logger reads them: the settings
// file is read once and never written. Its key is copied into a store in
// memory, which the logger's meter then uses, so that whatever the meter
// stores while logging (the attached results file, say) stays with this run.

#include <string>

#include "core/meter_settings.h"
#include "core/ports/user_dialogs.h"
#include "settings/memory_settings_key.h"

namespace tarnwick {

// The settings of `instance` from the file at `filePath` (missing: every
// setting at its default), loaded as the meter loads them, with `copy` left
// holding the key.
TMeterSettings ReadStoredSettings(const std::string& filePath, int32_t instance,
                                  const std::string& documentsFolder, MemorySettingsStore& copy,
                                  IUserDialogs& dialogs);

}  // namespace tarnwick
