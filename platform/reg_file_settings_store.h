#pragma once
// The settings store on Linux: one file per user in the text form of registry
// exports (settings/reg_file_format.h), by default
// "$XDG_CONFIG_HOME/Hollowden/Tarnwick.reg", holding the keys of every running
// copy under "HKEY_CURRENT_USER\...".
//
// Running copies share the file. Every write takes an exclusive flock on
// "<file>.lock", re-reads the file, applies its one change, writes
// "<file>.tmp", syncs it, renames it over the file and syncs the folder: a crash
// or power cut leaves either the old file or the new one, and two copies writing
// at once lose neither's values. A file that is no settings file at all is
// moved aside to "<file>.bad" (or "<file>.bad.2" and on, never overwriting an
// earlier one) and read as empty, so the settings take their defaults.
//
// The file holds the settings password in plain text, so it and the folders the
// store creates are private to the user (modes 0600 and 0700).

#include <memory>
#include <string>

#include "core/ports/settings_key.h"

namespace tarnwick {

class RegFileSettingsStore : public ISettingsStore {
public:
    explicit RegFileSettingsStore(std::string filePath);

    // Creates the missing folders, reads the file and returns the key `path`
    // (for example "Software\Hollowden\Tarnwick"). A key the file lacks is added
    // and written at once, as the registry creates a key. nullptr when the folder
    // cannot be created, the file cannot be read, or a missing key cannot be
    // written. The key reads what the file held when it was opened, plus its
    // own writes and whatever other writers had stored by the time of each.
    // A key whose lock file cannot be created (a read-only folder) can still be
    // read; its writes fail.
    std::unique_ptr<ISettingsKey> OpenOrCreate(const std::string& path) override;

    const std::string& filePath() const { return filePath_; }

private:
    std::string filePath_;
};

// "<config>/Hollowden/Tarnwick.reg", where <config> is `xdgConfigHome` when it
// is an absolute path and otherwise `home` + "/.config". Empty when `home` is
// needed and is null or empty.
std::string SettingsFilePathFor(const char* xdgConfigHome, const char* home);

// SettingsFilePathFor the environment's XDG_CONFIG_HOME and HOME, taking the
// home folder from the user database when HOME is unset.
std::string DefaultSettingsFilePath();

}  // namespace tarnwick
