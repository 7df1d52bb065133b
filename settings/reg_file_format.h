#pragma once
// The settings file in the text form of registry exports, both instance keys in
// one file:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Hollowden\Tarnwick]
//   "Version"=dword:00000028
//   "Sweep"=hex:00,00,00,00,00,00,24,40
//   "Device Name"="Built-in Audio Analog Stereo"
//   "Folder"=hex(2):2f,00,68,00,00,00
//
// Reading accepts what a person or another tool may write: UTF-8 or UTF-16LE,
// with or without a byte-order mark, CR LF or LF line ends, blank lines and ';'
// comments, lines continued by a final backslash, spaces around '=', any letter
// case in the type words and hex digits, dwords of 1 to 8 digits, the default
// value written as @, and every value type: "hex:" and "hex(3):" (binary),
// "hex(1):" and "hex(2):" (strings as UTF-16LE bytes), "hex(4):" (a dword as 4
// bytes) and any other "hex(n):" (kept as ValueKind::kOther with its type and
// bytes). Strings escape only '\' and '"'.
//
// Only a file whose first line is not the header, or that goes beyond the
// limits below, is not a settings file. In a settings file a line that cannot
// be read (a deletion, an unknown escape, a control character inside quotes, a
// value before the first key, a bad key name) is passed over, and with it the
// one key or value it held: every other value is read. Parsing never throws,
// runs in time linear in the input, and keeps memory within a small multiple of
// the input size.
//
// Writing produces what reading accepts: LF line ends, no byte-order mark, each
// key followed by a blank line, hex data wrapped at 80 columns. A string holding
// control characters is written as hex(1) (a line break inside quotes would end
// the line); expandable strings as hex(2); other types as hex(n).

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ports/settings_key.h"

namespace tarnwick {

// The settings file is a few kilobytes; these leave room for hand edits and
// bound what a damaged file can cost.
constexpr size_t kRegMaxFileBytes = 4 * 1024 * 1024;
constexpr size_t kRegMaxLineBytes = 256 * 1024;  // continuation lines joined
constexpr size_t kRegMaxNameBytes = 16383;       // value names and key paths
constexpr size_t kRegMaxValueBytes = 64 * 1024;  // bytes of binary or hex data
// Text of a string value: short enough that its UTF-16 form, terminator
// included, stays within kRegMaxValueBytes.
constexpr size_t kRegMaxTextBytes = kRegMaxValueBytes / 2 - 1;
constexpr size_t kRegMaxKeys = 256;
constexpr size_t kRegMaxValuesPerKey = 1024;

inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";

struct RegValue {
    std::string name;  // as first written
    StoredValue value;
};

// True when both have the same kind and the same content of that kind.
bool SameValue(const StoredValue& a, const StoredValue& b);

// One key: values by name, matched without regard to ASCII letter case; the
// first spelling written is kept, later writes replace the value only.
class RegKey {
public:
    explicit RegKey(std::string path) : path_(std::move(path)) {}

    // The path as written between the brackets, e.g.
    // "HKEY_CURRENT_USER\Software\Hollowden\Tarnwick".
    const std::string& path() const { return path_; }
    // In the order first written.
    const std::vector<RegValue>& values() const { return values_; }

    const StoredValue* Find(std::string_view name) const;
    // False, changing nothing, when the file could not hold it: a name with
    // control characters (tab aside) or over kRegMaxNameBytes, text over
    // kRegMaxTextBytes, bytes over kRegMaxValueBytes, or a new name beyond
    // kRegMaxValuesPerKey. Only the field of the value's kind is kept.
    bool Set(const std::string& name, const StoredValue& value);

private:
    std::string path_;
    std::vector<RegValue> values_;
    std::map<std::string, size_t, std::less<>> index_;  // folded name -> position
};

// Keys by path, matched without regard to ASCII letter case, in the order first
// added.
class RegFile {
public:
    const std::vector<RegKey>& keys() const { return keys_; }
    RegKey* FindKey(std::string_view path);
    const RegKey* FindKey(std::string_view path) const;
    // The key, added empty when missing; nullptr when the path could not be
    // written (empty, starting with '-', control characters other than tab, over
    // kRegMaxNameBytes) or kRegMaxKeys are already held.
    RegKey* AddKey(const std::string& path);

private:
    std::vector<RegKey> keys_;
    std::map<std::string, size_t, std::less<>> index_;  // folded path -> position
};

struct RegParseError {
    size_t line = 0;  // 1-based physical line where the trouble starts
    std::string message;
};

// The file, or nullopt with `error` filled when the text is not a settings file
// at all. Empty text (or only blank lines) is an empty file.
std::optional<RegFile> ParseRegFile(std::string_view text, RegParseError* error = nullptr);

std::string FormatRegFile(const RegFile& file);

}  // namespace tarnwick
