#include "settings/reg_file_format.h"

#include <cstdint>
#include <cstdio>

namespace tarnwick {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
// Hex data lines end by this column, as in exports, continuation mark included.
constexpr size_t kWrapColumn = 80;
constexpr char32_t kReplacementCharacter = 0xFFFD;

// Value types of the "hex(n):" form.
constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeExpandString = 2;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;
constexpr size_t kDwordBytes = 4;

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Fold(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        c = FoldAscii(c);
    }
    return folded;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldAscii(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Control characters cannot stand inside quotes or brackets, except tab.
bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            return true;
        }
    }
    return false;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = FoldAscii(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// 1 to `maxDigits` hex digits and nothing else.
std::optional<uint32_t> ParseHexNumber(std::string_view digits, size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return value;
}

// --- UTF-16 ---------------------------------------------------------------------

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsHighSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-8 text of little-endian UTF-16 `bytes` (an odd last byte is ignored).
// Unpaired surrogates become U+FFFD. With `stopAtNul` the text ends at the first
// zero unit, as a stored string does.
std::string Utf16LeToUtf8(std::string_view bytes, bool stopAtNul) {
    const size_t units = bytes.size() / 2;
    auto unitAt = [&bytes](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
               static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8;
    };
    std::string text;
    for (size_t i = 0; i < units; ++i) {
        const uint32_t unit = unitAt(i);
        if (unit == 0 && stopAtNul) {
            break;
        }
        if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(unitAt(i + 1))) {
            AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(text, kReplacementCharacter);
        } else {
            AppendUtf8(text, unit);
        }
    }
    return text;
}

void AppendUnit(std::vector<uint8_t>& out, uint32_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
}

// Little-endian UTF-16 of UTF-8 `text` with a terminating zero unit. Bytes that
// are not well-formed UTF-8 become U+FFFD, one each.
std::vector<uint8_t> Utf8ToUtf16Le(std::string_view text) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        char32_t cp = lead;
        char32_t smallest = 0;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) {
                length = 2;
                cp = lead & 0x1F;
                smallest = 0x80;
            } else if ((lead & 0xF0) == 0xE0) {
                length = 3;
                cp = lead & 0x0F;
                smallest = 0x800;
            } else if ((lead & 0xF8) == 0xF0) {
                length = 4;
                cp = lead & 0x07;
                smallest = 0x10000;
            } else {
                length = 0;
            }
            bool wellFormed = length != 0 && i + length <= text.size();
            for (size_t k = 1; wellFormed && k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                wellFormed = (next & 0xC0) == 0x80;
                cp = (cp << 6) | (next & 0x3F);
            }
            if (!wellFormed || cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
                cp = kReplacementCharacter;
                length = 1;
            }
        }
        if (cp >= 0x10000) {
            AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
            AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            AppendUnit(out, cp);
        }
        i += length;
    }
    AppendUnit(out, 0);
    return out;
}

// --- Reading --------------------------------------------------------------------

// The text between the quotes that open at text[pos]; pos ends after the closing
// quote. Only \\ and \" are escapes.
std::optional<std::string> ParseQuoted(std::string_view text, size_t& pos, std::string& message) {
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\') {
            if (pos + 1 >= text.size() || (text[pos + 1] != '\\' && text[pos + 1] != '"')) {
                message = "unknown escape in a quoted string";
                return std::nullopt;
            }
            c = text[++pos];
        } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            message = "control character in a quoted string";
            return std::nullopt;
        }
        out += c;
    }
    message = "unterminated quoted string";
    return std::nullopt;
}

// "01,02,ff": 1 or 2 hex digits per byte, blanks around them, an empty list, and
// one comma after the last byte allowed.
bool ParseHexBytes(std::string_view list, std::vector<uint8_t>& bytes, std::string& message) {
    list = Trim(list);
    size_t at = 0;
    while (at < list.size()) {
        const size_t comma = list.find(',', at);
        const size_t end = comma == std::string_view::npos ? list.size() : comma;
        const std::optional<uint32_t> byte = ParseHexNumber(Trim(list.substr(at, end - at)), 2);
        if (!byte) {
            message = "bad byte in hex data";
            return false;
        }
        if (bytes.size() >= kRegMaxValueBytes) {
            message = "hex data too long";
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(*byte));
        at = end + 1;
        if (comma != std::string_view::npos && Trim(list.substr(at)).empty()) {
            break;
        }
    }
    return true;
}

// The data after '=' of a value line.
std::optional<StoredValue> ParseData(std::string_view data, std::string& message) {
    StoredValue value;
    if (!data.empty() && data.front() == '"') {
        size_t pos = 0;
        std::optional<std::string> text = ParseQuoted(data, pos, message);
        if (!text) {
            return std::nullopt;
        }
        if (!Trim(data.substr(pos)).empty()) {
            message = "text after a quoted string";
            return std::nullopt;
        }
        value.kind = ValueKind::kString;
        value.text = std::move(*text);
        return value;
    }
    if (StartsWithFolded(data, "dword:")) {
        const std::optional<uint32_t> number = ParseHexNumber(Trim(data.substr(6)), 8);
        if (!number) {
            message = "a dword takes 1 to 8 hex digits";
            return std::nullopt;
        }
        value.kind = ValueKind::kDword;
        value.dword = static_cast<int32_t>(*number);
        return value;
    }
    uint32_t type = kTypeBinary;
    std::string_view list;
    if (StartsWithFolded(data, "hex:")) {
        list = data.substr(4);
    } else if (StartsWithFolded(data, "hex(")) {
        const size_t close = data.find("):");
        const std::optional<uint32_t> number = close == std::string_view::npos
                                                   ? std::nullopt
                                                   : ParseHexNumber(data.substr(4, close - 4), 8);
        if (!number) {
            message = "bad hex(type) word";
            return std::nullopt;
        }
        type = *number;
        list = data.substr(close + 2);
    } else if (Trim(data) == "-") {
        message = "deleting values is not supported";
        return std::nullopt;
    } else {
        message = "unknown value type";
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    if (!ParseHexBytes(list, bytes, message)) {
        return std::nullopt;
    }
    const bool text = (type == kTypeString || type == kTypeExpandString) && bytes.size() % 2 == 0;
    if (text) {
        value.kind = type == kTypeString ? ValueKind::kString : ValueKind::kExpandString;
        value.text = Utf16LeToUtf8(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), true);
    } else if (type == kTypeDword && bytes.size() == kDwordBytes) {
        value.kind = ValueKind::kDword;
        value.dword = static_cast<int32_t>(
            static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    } else if (type == kTypeBinary) {
        value.kind = ValueKind::kBinary;
        value.bytes = std::move(bytes);
    } else {
        // Every other type (and a string or dword of the wrong size) is kept as
        // it was written, so that a rewrite of the file loses nothing; no
        // setting reads it, so that setting takes its default.
        value.kind = ValueKind::kOther;
        value.type = type;
        value.bytes = std::move(bytes);
    }
    return value;
}

// Splits the text into lines, joining a value line that ends in a backslash with
// the lines that continue it.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // The next line, trimmed, or nullopt at the end or on error (`message` set).
    // `number` is the physical line it starts on.
    std::optional<std::string> Next(size_t& number, std::string& message) {
        std::optional<std::string_view> first = Physical(message);
        if (!first) {
            return std::nullopt;
        }
        number = number_;
        std::string line(Trim(*first));
        const bool valueLine = !line.empty() && (line.front() == '"' || line.front() == '@');
        while (valueLine && !line.empty() && line.back() == '\\') {
            line.pop_back();
            std::optional<std::string_view> more = Physical(message);
            if (!more) {
                if (!message.empty()) {
                    return std::nullopt;
                }
                break;  // a continuation mark on the last line continues nothing
            }
            line += Trim(*more);
            if (line.size() > kRegMaxLineBytes) {
                message = "line too long";
                return std::nullopt;
            }
        }
        return line;
    }

private:
    std::optional<std::string_view> Physical(std::string& message) {
        if (pos_ >= text_.size()) {
            return std::nullopt;
        }
        const size_t newline = text_.find('\n', pos_);
        const size_t end = newline == std::string_view::npos ? text_.size() : newline;
        std::string_view line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        if (line.size() > kRegMaxLineBytes) {
            message = "line too long";
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line;
    }

    std::string_view text_;
    size_t pos_ = 0;
    size_t number_ = 0;
};

// --- Writing --------------------------------------------------------------------

void AppendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
}

// Bytes as "xx,xx,..", continuing on a new line before the column limit.
void AppendHexBytes(std::string& out, size_t lineStart, const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    size_t column = out.size() - lineStart;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const bool last = i + 1 == bytes.size();
        const size_t width = last ? 2 : 3;
        // Room for the piece and a continuation mark after it.
        if (column + width + 1 > kWrapColumn) {
            out += "\\\n  ";
            column = 2;
        }
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
        if (!last) {
            out += ',';
        }
        column += width;
    }
}

void AppendValue(std::string& out, const RegValue& entry) {
    const size_t lineStart = out.size();
    if (entry.name.empty()) {
        out += '@';
    } else {
        out += '"';
        AppendEscaped(out, entry.name);
        out += '"';
    }
    out += '=';
    const StoredValue& value = entry.value;
    switch (value.kind) {
        case ValueKind::kDword: {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%08x", static_cast<uint32_t>(value.dword));
            out += "dword:";
            out += digits;
            break;
        }
        case ValueKind::kBinary:
            out += "hex:";
            AppendHexBytes(out, lineStart, value.bytes);
            break;
        case ValueKind::kString:
            if (HasControlCharacter(value.text)) {
                out += "hex(1):";
                AppendHexBytes(out, lineStart, Utf8ToUtf16Le(value.text));
            } else {
                out += '"';
                AppendEscaped(out, value.text);
                out += '"';
            }
            break;
        case ValueKind::kExpandString:
            out += "hex(2):";
            AppendHexBytes(out, lineStart, Utf8ToUtf16Le(value.text));
            break;
        case ValueKind::kOther: {
            char type[24];
            std::snprintf(type, sizeof type, "hex(%x):", value.type);
            out += type;
            AppendHexBytes(out, lineStart, value.bytes);
            break;
        }
    }
    out += '\n';
}

bool ValidPath(std::string_view path) {
    return !path.empty() && path.front() != '-' && path.size() <= kRegMaxNameBytes &&
           !HasControlCharacter(path);
}

}  // namespace

bool SameValue(const StoredValue& a, const StoredValue& b) {
    if (a.kind != b.kind) {
        return false;
    }
    switch (a.kind) {
        case ValueKind::kDword:
            return a.dword == b.dword;
        case ValueKind::kBinary:
            return a.bytes == b.bytes;
        case ValueKind::kString:
        case ValueKind::kExpandString:
            return a.text == b.text;
        case ValueKind::kOther:
            return a.type == b.type && a.bytes == b.bytes;
    }
    return false;
}

const StoredValue* RegKey::Find(std::string_view name) const {
    const auto it = index_.find(Fold(name));
    return it == index_.end() ? nullptr : &values_[it->second].value;
}

bool RegKey::Set(const std::string& name, const StoredValue& value) {
    if (name.size() > kRegMaxNameBytes || HasControlCharacter(name)) {
        return false;
    }
    StoredValue kept;
    kept.kind = value.kind;
    switch (value.kind) {
        case ValueKind::kDword:
            kept.dword = value.dword;
            break;
        case ValueKind::kBinary:
        case ValueKind::kOther:
            if (value.bytes.size() > kRegMaxValueBytes) {
                return false;
            }
            kept.bytes = value.bytes;
            kept.type = value.kind == ValueKind::kOther ? value.type : 0;
            break;
        case ValueKind::kString:
        case ValueKind::kExpandString:
            if (value.text.size() > kRegMaxTextBytes) {
                return false;
            }
            kept.text = value.text;
            break;
    }
    std::string folded = Fold(name);
    const auto it = index_.find(folded);
    if (it != index_.end()) {
        values_[it->second].value = std::move(kept);
        return true;
    }
    if (values_.size() >= kRegMaxValuesPerKey) {
        return false;
    }
    index_.emplace(std::move(folded), values_.size());
    values_.push_back(RegValue{name, std::move(kept)});
    return true;
}

RegKey* RegFile::FindKey(std::string_view path) {
    const auto it = index_.find(Fold(path));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

const RegKey* RegFile::FindKey(std::string_view path) const {
    const auto it = index_.find(Fold(path));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

RegKey* RegFile::AddKey(const std::string& path) {
    if (RegKey* existing = FindKey(path)) {
        return existing;
    }
    if (!ValidPath(path) || keys_.size() >= kRegMaxKeys) {
        return nullptr;
    }
    index_.emplace(Fold(path), keys_.size());
    keys_.emplace_back(path);
    return &keys_.back();
}

std::optional<RegFile> ParseRegFile(std::string_view text, RegParseError* error) {
    std::string message;
    size_t number = 0;
    auto fail = [&](std::string why) -> std::optional<RegFile> {
        if (error != nullptr) {
            error->line = number;
            error->message = std::move(why);
        }
        return std::nullopt;
    };
    if (text.size() > kRegMaxFileBytes) {
        return fail("file too large");
    }
    std::string converted;
    if (text.starts_with(kUtf8Bom)) {
        text.remove_prefix(kUtf8Bom.size());
    } else if (text.starts_with(kUtf16LeBom) ||
               (text.size() >= 2 && text[0] != '\0' && text[1] == '\0')) {
        // As a registry editor exports it, with its byte-order mark, or as a
        // tool writes it without one.
        if (text.starts_with(kUtf16LeBom)) {
            text.remove_prefix(kUtf16LeBom.size());
        }
        if (text.size() % 2 != 0) {
            return fail("odd number of bytes in a UTF-16 file");
        }
        converted = Utf16LeToUtf8(text, false);
        text = converted;
    }

    RegFile file;
    // Null before the first key and in a key that cannot be held: the values
    // there are passed over.
    RegKey* key = nullptr;
    bool headerSeen = false;
    LineReader reader(text);
    while (true) {
        std::optional<std::string> line = reader.Next(number, message);
        if (!line) {
            if (!message.empty()) {
                return fail(message);
            }
            break;
        }
        if (line->empty()) {
            continue;
        }
        if (!headerSeen) {
            if (*line != kRegFileHeader) {
                return fail("missing header line");
            }
            headerSeen = true;
            continue;
        }
        // From here on each line stands on its own: one that cannot be read
        // costs that key or value only, as each setting is read on its own.
        std::string passedOver;  // why a line is passed over; not reported
        const char first = line->front();
        if (first == ';') {
            continue;
        }
        if (first == '[') {
            const bool closed = line->size() >= 2 && line->back() == ']';
            const std::string path = closed ? line->substr(1, line->size() - 2) : std::string();
            // A deletion ("[-...]") deletes nothing here.
            key = closed && ValidPath(path) ? file.AddKey(path) : nullptr;
            continue;
        }
        if ((first != '"' && first != '@') || key == nullptr) {
            continue;
        }
        std::string name;
        size_t pos = 1;
        if (first == '"') {
            pos = 0;
            std::optional<std::string> quoted = ParseQuoted(*line, pos, passedOver);
            if (!quoted) {
                continue;
            }
            name = std::move(*quoted);
        }
        const std::string_view rest = TrimLeft(std::string_view(*line).substr(pos));
        if (rest.empty() || rest.front() != '=') {
            continue;
        }
        std::optional<StoredValue> value = ParseData(TrimLeft(rest.substr(1)), passedOver);
        if (value) {
            key->Set(name, *value);
        }
    }
    return file;
}

std::string FormatRegFile(const RegFile& file) {
    std::string out(kRegFileHeader);
    out += "\n\n";
    for (const RegKey& key : file.keys()) {
        out += '[';
        out += key.path();
        out += "]\n";
        for (const RegValue& value : key.values()) {
            AppendValue(out, value);
        }
        out += '\n';
    }
    return out;
}

}  // namespace tarnwick
