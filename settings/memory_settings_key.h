#pragma once
// An in-memory settings store: keys by path, values by name matched without
// regard to case. Used by the headless analyser, and by tests, which can make it
// refuse to open keys or to write values.

#include <map>
#include <memory>
#include <string>

#include "core/ports/settings_key.h"

namespace tarnwick {

class MemorySettingsStore : public ISettingsStore {
public:
    std::unique_ptr<ISettingsKey> OpenOrCreate(const std::string& path) override;

    // The value as stored, or nullopt.
    std::optional<StoredValue> Value(const std::string& path, const std::string& name) const;

    bool refuseOpen = false;  // OpenOrCreate returns nullptr
    int writesAllowed = -1;   // writes that succeed before every write fails; -1: all

private:
    friend class MemorySettingsKey;
    struct Entry {
        std::string name;  // as first written
        StoredValue value;
    };
    using Key = std::map<std::string, Entry>;  // by lower-case name
    std::map<std::string, Key> keys_;          // by lower-case path
};

}  // namespace tarnwick
