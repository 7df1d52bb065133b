#pragma once
// Typed access to the values of a settings key, with the reading rules every
// setting shares:
//   - an int or bool read fails unless the value is a dword; a bool is true for
//     any non-zero dword;
//   - a double read fails unless the value is binary of exactly 8 bytes (an IEEE
//     754 double, little-endian);
//   - a string that is missing reads as empty without failing; a string of an
//     expandable type is taken as it stands; any other type fails.
// A failed read is nullopt: the caller gives the setting its default.

#include <cstdint>
#include <optional>
#include <string>

#include "core/ports/settings_key.h"

namespace tarnwick {

std::optional<int32_t> ReadInt(ISettingsKey& key, const std::string& name);
std::optional<bool> ReadBool(ISettingsKey& key, const std::string& name);
std::optional<double> ReadDouble(ISettingsKey& key, const std::string& name);
std::optional<std::string> ReadString(ISettingsKey& key, const std::string& name);

// The stored forms the writers use: dword, dword 0 or 1, 8 bytes of binary,
// string.
StoredValue IntValue(int32_t value);
StoredValue BoolValue(bool value);
StoredValue DoubleValue(double value);
StoredValue StringValue(const std::string& text);

}  // namespace tarnwick
