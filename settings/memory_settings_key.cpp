#include "settings/memory_settings_key.h"

#include <algorithm>
#include <cctype>

namespace tarnwick {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

class MemorySettingsKey : public ISettingsKey {
public:
    MemorySettingsKey(MemorySettingsStore& store, MemorySettingsStore::Key& key)
        : store_(store), key_(key) {}

    std::optional<StoredValue> Read(const std::string& name) override {
        auto it = key_.find(Lower(name));
        if (it == key_.end()) {
            return std::nullopt;
        }
        return it->second.value;
    }

    bool Write(const std::string& name, const StoredValue& value) override {
        if (store_.writesAllowed == 0) {
            return false;
        }
        if (store_.writesAllowed > 0) {
            --store_.writesAllowed;
        }
        auto [it, inserted] =
            key_.try_emplace(Lower(name), MemorySettingsStore::Entry{name, value});
        if (!inserted) {
            it->second.value = value;
        }
        return true;
    }

private:
    MemorySettingsStore& store_;
    MemorySettingsStore::Key& key_;
};

std::unique_ptr<ISettingsKey> MemorySettingsStore::OpenOrCreate(const std::string& path) {
    if (refuseOpen) {
        return nullptr;
    }
    return std::make_unique<MemorySettingsKey>(*this, keys_[Lower(path)]);
}

std::optional<StoredValue> MemorySettingsStore::Value(const std::string& path,
                                                      const std::string& name) const {
    auto key = keys_.find(Lower(path));
    if (key == keys_.end()) {
        return std::nullopt;
    }
    auto it = key->second.find(Lower(name));
    if (it == key->second.end()) {
        return std::nullopt;
    }
    return it->second.value;
}

}  // namespace tarnwick
