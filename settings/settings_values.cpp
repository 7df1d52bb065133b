#include "settings/settings_values.h"

#include <bit>

namespace tarnwick {
namespace {

constexpr size_t kDoubleBytes = 8;

}  // namespace

std::optional<int32_t> ReadInt(ISettingsKey& key, const std::string& name) {
    const std::optional<StoredValue> value = key.Read(name);
    if (!value || value->kind != ValueKind::kDword) {
        return std::nullopt;
    }
    return value->dword;
}

std::optional<bool> ReadBool(ISettingsKey& key, const std::string& name) {
    const std::optional<int32_t> value = ReadInt(key, name);
    if (!value) {
        return std::nullopt;
    }
    return *value != 0;
}

std::optional<double> ReadDouble(ISettingsKey& key, const std::string& name) {
    const std::optional<StoredValue> value = key.Read(name);
    if (!value || value->kind != ValueKind::kBinary || value->bytes.size() != kDoubleBytes) {
        return std::nullopt;
    }
    uint64_t bits = 0;
    for (size_t i = 0; i < kDoubleBytes; ++i) {
        bits |= static_cast<uint64_t>(value->bytes[i]) << (8 * i);
    }
    return std::bit_cast<double>(bits);
}

std::optional<std::string> ReadString(ISettingsKey& key, const std::string& name) {
    const std::optional<StoredValue> value = key.Read(name);
    if (!value) {
        return std::string();
    }
    if (value->kind != ValueKind::kString && value->kind != ValueKind::kExpandString) {
        return std::nullopt;
    }
    return value->text;
}

StoredValue IntValue(int32_t value) {
    StoredValue stored;
    stored.kind = ValueKind::kDword;
    stored.dword = value;
    return stored;
}

StoredValue BoolValue(bool value) {
    return IntValue(value ? 1 : 0);
}

StoredValue DoubleValue(double value) {
    StoredValue stored;
    stored.kind = ValueKind::kBinary;
    const auto bits = std::bit_cast<uint64_t>(value);
    stored.bytes.resize(kDoubleBytes);
    for (size_t i = 0; i < kDoubleBytes; ++i) {
        stored.bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    return stored;
}

StoredValue StringValue(const std::string& text) {
    StoredValue stored;
    stored.kind = ValueKind::kString;
    stored.text = text;
    return stored;
}

}  // namespace tarnwick
