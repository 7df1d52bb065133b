#pragma once
// Port: the per-user settings store, seen as registry-style keys holding typed
// values. Value names match without regard to letter case.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

enum class ValueKind {
    kDword,         // signed 32-bit integer; also bools (0 or 1)
    kBinary,        // bytes; doubles are 8 bytes, little-endian IEEE 754
    kString,        // text
    kExpandString,  // text, accepted on reading, never expanded
    kOther,         // any other type (`type`), kept as its bytes; no setting reads it
};

struct StoredValue {
    ValueKind kind = ValueKind::kDword;
    int32_t dword = 0;
    std::vector<uint8_t> bytes;  // kBinary and kOther
    std::string text;
    uint32_t type = 0;  // kOther: the registry's type number (0 none, 7 multi-string, 11 qword...)
};

class ISettingsKey {
public:
    virtual ~ISettingsKey() = default;
    virtual std::optional<StoredValue> Read(const std::string& name) = 0;
    // False when the value could not be written.
    virtual bool Write(const std::string& name, const StoredValue& value) = 0;
};

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // Opens the key at `path` (for example "Software\Hollowden\Tarnwick"),
    // creating it and its parents when missing. nullptr when that fails. The key
    // is closed when the returned object is destroyed.
    virtual std::unique_ptr<ISettingsKey> OpenOrCreate(const std::string& path) = 0;
};

}  // namespace tarnwick
