#include "tools/logger/stored_settings.h"

#include <fstream>
#include <sstream>

#include "settings/reg_file_format.h"
#include "settings/settings_store.h"

namespace tarnwick {

TMeterSettings ReadStoredSettings(const std::string& filePath, int32_t instance,
                                  const std::string& documentsFolder, MemorySettingsStore& copy,
                                  IUserDialogs& dialogs) {
    const std::string keyPath = SettingsKeyPathFor(instance);
    std::ifstream in(filePath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (const std::optional<RegFile> file = ParseRegFile(text.str())) {
        if (const RegKey* key = file->FindKey("HKEY_CURRENT_USER\\" + keyPath)) {
            const std::unique_ptr<ISettingsKey> into = copy.OpenOrCreate(keyPath);
            for (const RegValue& value : key->values()) {
                into->Write(value.name, value.value);
            }
        }
    }
    return TSettingsStore(copy, dialogs).LoadSettings(instance, documentsFolder);
}

}  // namespace tarnwick
