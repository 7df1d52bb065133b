// The settings file's text form: what is written, what is read back, what a
// person may write by hand, and what is refused.

#include "settings/reg_file_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/memory_settings_key.h"
#include "settings/settings_store.h"
#include "settings/settings_values.h"
#include "tests/core/fakes.h"

namespace tarnwick {
namespace {

using fakes::Binary;
using fakes::ExpandString;

const std::string kFirst = "HKEY_CURRENT_USER\\Software\\Hollowden\\Tarnwick";
const std::string kSecond = "HKEY_CURRENT_USER\\Software\\Hollowden\\Tarnwick 2";

RegFile Parsed(const std::string& text) {
    RegParseError error;
    std::optional<RegFile> file = ParseRegFile(text, &error);
    EXPECT_TRUE(file.has_value()) << "line " << error.line << ": " << error.message;
    return file ? std::move(*file) : RegFile{};
}

// The error of text that must not parse.
RegParseError Refused(const std::string& text) {
    RegParseError error;
    EXPECT_FALSE(ParseRegFile(text, &error).has_value()) << text;
    EXPECT_FALSE(error.message.empty());
    return error;
}

const StoredValue& ValueOf(const RegFile& file, const std::string& key, const std::string& name) {
    static const StoredValue kMissing{ValueKind::kDword, -12345, {}, "missing"};
    const RegKey* k = file.FindKey(key);
    const StoredValue* v = k != nullptr ? k->Find(name) : nullptr;
    EXPECT_NE(v, nullptr) << key << " " << name;
    return v != nullptr ? *v : kMissing;
}

void ExpectSameFile(const RegFile& a, const RegFile& b) {
    ASSERT_EQ(a.keys().size(), b.keys().size());
    for (size_t k = 0; k < a.keys().size(); ++k) {
        const RegKey& x = a.keys()[k];
        const RegKey& y = b.keys()[k];
        EXPECT_EQ(x.path(), y.path());
        ASSERT_EQ(x.values().size(), y.values().size()) << x.path();
        for (size_t v = 0; v < x.values().size(); ++v) {
            EXPECT_EQ(x.values()[v].name, y.values()[v].name);
            EXPECT_TRUE(SameValue(x.values()[v].value, y.values()[v].value))
                << x.path() << " " << x.values()[v].name;
        }
    }
}

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

TEST(RegFileFormat, WritesTheExportForm) {
    RegFile file;
    RegKey* first = file.AddKey(kFirst);
    ASSERT_NE(first, nullptr);
    first->Set("Version", IntValue(40));
    first->Set("Calibration", DoubleValue(-2.0));
    first->Set("Device Name", StringValue("Mic \"A\" \\ B"));
    first->Set("Folder", ExpandString("/x"));
    file.AddKey(kSecond)->Set("Channel", IntValue(-1));
    file.AddKey(kSecond)->Set("", StringValue("default"));

    EXPECT_EQ(FormatRegFile(file), kHeader +
                                       "[HKEY_CURRENT_USER\\Software\\Hollowden\\Tarnwick]\n"
                                       "\"Version\"=dword:00000028\n"
                                       "\"Calibration\"=hex:00,00,00,00,00,00,00,c0\n"
                                       "\"Device Name\"=\"Mic \\\"A\\\" \\\\ B\"\n"
                                       "\"Folder\"=hex(2):2f,00,78,00,00,00\n"
                                       "\n"
                                       "[HKEY_CURRENT_USER\\Software\\Hollowden\\Tarnwick 2]\n"
                                       "\"Channel\"=dword:ffffffff\n"
                                       "@=\"default\"\n"
                                       "\n");
    ExpectSameFile(Parsed(FormatRegFile(file)), file);
}

TEST(RegFileFormat, ReadsAHandMadeFileWithEveryAllowance) {
    const std::string text =
        "\xEF\xBB\xBF"
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; written by hand\r\n"
        "  [HKEY_CURRENT_USER\\Software\\Hollowden\\Tarnwick]  \r\n"
        "\"Sweep\" = HEX:00,00,00,00,00,00,\\\r\n"
        "    69,40\r\n"
        "\"Upper Vol\"=DWORD:FFFFFFFB\r\n"
        "\"Lower Vol\"=dword:1e\r\n"
        "\"Empty\"=hex:\r\n"
        "\"Trailing\"=hex:1,2,\r\n"
        "\"Name\"=hex(1):48,00,69,00,00,00\r\n"
        "\"Raw\"=hex(3):ff\r\n"
        "\"Four\"=hex(4):2a,00,00,00\r\n"
        "\"Tab\"=\"a\tb\"\r\n"
        "@=\"d\"";
    const RegFile file = Parsed(text);
    ASSERT_EQ(file.keys().size(), 1u);
    EXPECT_EQ(file.keys()[0].path(), kFirst);
    const StoredValue& sweep = ValueOf(file, kFirst, "sweep");
    EXPECT_EQ(sweep.bytes, DoubleValue(200.0).bytes);
    EXPECT_EQ(ValueOf(file, kFirst, "Upper Vol").dword, -5);
    EXPECT_EQ(ValueOf(file, kFirst, "Lower Vol").dword, 30);
    EXPECT_TRUE(ValueOf(file, kFirst, "Empty").bytes.empty());
    EXPECT_EQ(ValueOf(file, kFirst, "Trailing").bytes, (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(ValueOf(file, kFirst, "Name").kind, ValueKind::kString);
    EXPECT_EQ(ValueOf(file, kFirst, "Name").text, "Hi");
    EXPECT_EQ(ValueOf(file, kFirst, "Raw").kind, ValueKind::kBinary);
    EXPECT_EQ(ValueOf(file, kFirst, "Four").kind, ValueKind::kDword);
    EXPECT_EQ(ValueOf(file, kFirst, "Four").dword, 42);
    EXPECT_EQ(ValueOf(file, kFirst, "Tab").text, "a\tb");
    EXPECT_EQ(ValueOf(file, kFirst, "").text, "d");
}

TEST(RegFileFormat, ReadsAUtf16ExportAndEmptyText) {
    const std::string utf8 = "Windows Registry Editor Version 5.00\r\n\r\n[" + kFirst +
                             "]\r\n\"Test Name\"=\"Caf\xC3\xA9\"\r\n";
    std::string utf16 = "\xFF\xFE";
    // The text is ASCII apart from the e acute (U+00E9).
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\xC3') {
            utf16 += std::string("\xE9\x00", 2);
            ++i;
        } else {
            utf16 += utf8[i];
            utf16 += '\0';
        }
    }
    EXPECT_EQ(ValueOf(Parsed(utf16), kFirst, "Test Name").text, "Caf\xC3\xA9");

    EXPECT_TRUE(Parsed("").keys().empty());
    EXPECT_TRUE(Parsed("\r\n\n  \n").keys().empty());
    EXPECT_TRUE(Parsed(kHeader).keys().empty());
}

TEST(RegFileFormat, NamesAndKeysMatchWithoutRegardToCaseKeepingTheFirstSpelling) {
    const RegFile file = Parsed(kHeader + "[" + kFirst +
                                "]\n\"LowColor\"=dword:1\n\"Lowcolor\"=dword:2\n"
                                "[hkey_current_user\\software\\hollowden\\TARNWICK]\n"
                                "\"LOWCOLOR\"=dword:3\n\"Other\"=dword:4\n");
    ASSERT_EQ(file.keys().size(), 1u);
    EXPECT_EQ(file.keys()[0].path(), kFirst);
    ASSERT_EQ(file.keys()[0].values().size(), 2u);
    EXPECT_EQ(file.keys()[0].values()[0].name, "LowColor");
    EXPECT_EQ(file.keys()[0].values()[0].value.dword, 3);
    EXPECT_EQ(file.FindKey(kSecond), nullptr);
}

TEST(RegFileFormat, StringsThatCannotStandInQuotesGoAsUtf16) {
    RegFile file;
    RegKey* key = file.AddKey(kFirst);
    key->Set("Filename", StringValue("/srv/odd\nname\r.txt"));
    key->Set("Folder", ExpandString("/M\xC3\xBCnchen/\xF0\x9F\x8E\xB5/"));  // u-umlaut, a note
    key->Set("Broken", ExpandString("a\xFF"
                                    "b"));  // not UTF-8
    const std::string text = FormatRegFile(file);
    EXPECT_NE(text.find("\"Filename\"=hex(1):2f,00,73,00"), std::string::npos) << text;

    const RegFile back = Parsed(text);
    EXPECT_EQ(ValueOf(back, kFirst, "Filename").kind, ValueKind::kString);
    EXPECT_EQ(ValueOf(back, kFirst, "Filename").text, "/srv/odd\nname\r.txt");
    EXPECT_EQ(ValueOf(back, kFirst, "Folder").text, "/M\xC3\xBCnchen/\xF0\x9F\x8E\xB5/");
    EXPECT_EQ(ValueOf(back, kFirst, "Broken").text,
              "a\xEF\xBF\xBD"
              "b");  // U+FFFD

    // A lone surrogate reads as U+FFFD; the text ends at the first zero unit.
    const RegFile lone =
        Parsed(kHeader + "[" + kFirst + "]\n\"S\"=hex(2):41,00,00,d8,42,00,00,00,43,00\n");
    EXPECT_EQ(ValueOf(lone, kFirst, "S").text,
              "A\xEF\xBF\xBD"
              "B");
}

TEST(RegFileFormat, LongDataWrapsWithinEightyColumnsAndReadsBack) {
    RegFile file;
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7);
    }
    file.AddKey(kFirst)->Set("Blob", Binary(bytes));
    file.AddKey(kFirst)->Set(std::string(100, 'n'), Binary({1, 2, 3}));
    const std::string text = FormatRegFile(file);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        if (line.find(std::string(100, 'n')) == std::string::npos) {
            EXPECT_LE(line.size(), 80u) << line;
        }
        start = end + 1;
    }
    const RegFile back = Parsed(text);
    EXPECT_EQ(ValueOf(back, kFirst, "Blob").bytes, bytes);
    EXPECT_EQ(ValueOf(back, kFirst, std::string(100, 'n')).bytes, (std::vector<uint8_t>{1, 2, 3}));
}

// Hand edits reach the settings by the reading rules: a value of the wrong kind
// takes its default, out-of-range values are mended or kept.
TEST(RegFileFormat, HandEditedValuesLoadByTheReadingRules) {
    const RegFile file = Parsed(kHeader + "[" + kFirst +
                                "]\n"
                                "\"Sweep\"=dword:0000000a\n"
                                "\"Channel\"=dword:00000009\n"
                                "\"Calibration\"=hex:00,00,00,00,00,00,10,c0\n"
                                "\"Over\"=hex:00,00,00,00\n"
                                "\"Test Name\"=\"Hall \\\"B\\\"\"\n"
                                "\"Folder\"=hex(2):2f,00,6c,00,2f,00,00,00\n"
                                "\"ontop\"=dword:0\n\n"
                                "[" +
                                kSecond + "]\n\"Sweep\"=hex:00,00,00,00,00,00,69,40\n");
    MemorySettingsStore memory;
    for (const RegKey& key : file.keys()) {
        std::unique_ptr<ISettingsKey> into =
            memory.OpenOrCreate(key.path().substr(std::string("HKEY_CURRENT_USER\\").size()));
        for (const RegValue& value : key.values()) {
            into->Write(value.name, value.value);
        }
    }
    fakes::FakeDialogs dialogs;
    TSettingsStore store(memory, dialogs);

    const TMeterSettings first = store.LoadSettings(1, "/home/op");
    EXPECT_EQ(first.Sweep, 10.0);  // a dword is no double
    EXPECT_EQ(first.Channel, 0);
    EXPECT_EQ(first.Calibration, -4.0);
    EXPECT_EQ(first.Over, -1.0);
    EXPECT_EQ(first.TestName, "Hall \"B\"");
    EXPECT_EQ(first.Folder, "/l/");
    EXPECT_FALSE(first.OnTop);

    const TMeterSettings second = store.LoadSettings(2, "/home/op");
    EXPECT_EQ(second.Sweep, 200.0);
    EXPECT_EQ(second.BlockBytes, 64000);
}

// Every value type a registry export can hold, in one file: each is read and
// written back as it was, and a setting stored with a type it does not take
// gets its default while every other setting is kept.
TEST(RegFileFormat, EveryValueTypeIsReadAndOnlyItsOwnSettingFallsBack) {
    const std::string text = kHeader + "[" + kFirst +
                             "]\n"
                             "\"Calibration\"=hex(b):00,00,00,00,00,00,10,c0\n"  // a qword
                             "\"Test Name\"=hex(7):48,00,00,00,00,00\n"          // multi-string
                             "\"Channel\"=hex(5):00,00,00,03\n"                  // big-endian dword
                             "\"None\"=hex(0):\n"
                             "\"Link\"=hex(6):61,00\n"
                             "\"Resources\"=hex(8):01\n"
                             "\"Descriptor\"=hex(9):02\n"
                             "\"Requirements\"=hex(a):03\n"
                             "\"Upper Vol\"=dword:fffffffa\n"
                             "\"Lower Vol\"=hex(4):e2,ff,ff,ff\n"
                             "\"Sweep\"=hex:00,00,00,00,00,00,14,40\n"
                             "\"Over\"=hex(3):00,00,00,00,00,00,f0,bf\n"
                             "\"Device Name\"=\"Line In\"\n"
                             "\"Folder\"=hex(2):2f,00,6c,00,2f,00,00,00\n"
                             "\"password\"=hex(1):6b,00,00,00\n";
    const RegFile file = Parsed(text);
    EXPECT_EQ(ValueOf(file, kFirst, "Calibration").kind, ValueKind::kOther);
    EXPECT_EQ(ValueOf(file, kFirst, "Calibration").type, 0xBu);
    EXPECT_EQ(ValueOf(file, kFirst, "Requirements").type, 0xAu);
    // Written and read again, nothing is lost.
    ExpectSameFile(Parsed(FormatRegFile(file)), file);
    // The same file as a registry editor exports it, in UTF-16 with its mark.
    std::string utf16 = "\xFF\xFE";
    for (const char c : text) {
        utf16 += c;
        utf16 += '\0';
    }
    ExpectSameFile(Parsed(utf16), file);

    MemorySettingsStore memory;
    std::unique_ptr<ISettingsKey> into = memory.OpenOrCreate("Software\\Hollowden\\Tarnwick");
    for (const RegValue& value : file.FindKey(kFirst)->values()) {
        into->Write(value.name, value.value);
    }
    fakes::FakeDialogs dialogs;
    const TMeterSettings loaded = TSettingsStore(memory, dialogs).LoadSettings(1, "/home/op");
    EXPECT_EQ(loaded.Calibration, -2.0);
    EXPECT_EQ(loaded.TestName, "Results ");
    EXPECT_EQ(loaded.Channel, 0);
    EXPECT_EQ(loaded.UpperVol, -6);
    EXPECT_EQ(loaded.LowerVol, -30);
    EXPECT_EQ(loaded.Sweep, 5.0);
    EXPECT_EQ(loaded.Over, -1.0);
    EXPECT_EQ(loaded.DeviceName, "Line In");
    EXPECT_EQ(loaded.Folder, "/l/");
    EXPECT_EQ(loaded.password, "k");
}

// A line that cannot be read costs its own key or value and nothing else.
TEST(RegFileFormat, PassesOverLinesItCannotReadAndKeepsTheRest) {
    const std::string key = "[" + kFirst + "]\n";
    const std::vector<std::string> damaged = {
        "\"a\"=dword:123456789\n",
        "\"a\"=dword:\n",
        "\"a\"=dword:12g4\n",
        "\"a\"=hex:1,,2\n",
        "\"a\"=hex:123\n",
        "\"a\"=hex:,\n",
        "\"a\"=hex(:00\n",
        "\"a\"=-\n",
        "\"a\"=\"b\n",
        "\"a\"=\"b\\n\"\n",
        "\"a\"=\"b\"c\n",
        "\"a\"=\"b\x01\"\n",
        "\"a\"dword:1\n",
        "\"a\"=text\n",
        "a=dword:1\n",
        "\"a\"=hex:01,\\\n  02,\\\n  zz\n",
    };
    for (const std::string& line : damaged) {
        const RegFile file =
            Parsed(kHeader + key + "\"before\"=dword:1\n" + line + "\"after\"=dword:2\n");
        const RegKey* k = file.FindKey(kFirst);
        ASSERT_NE(k, nullptr) << line;
        EXPECT_EQ(k->Find("a"), nullptr) << line;
        EXPECT_EQ(ValueOf(file, kFirst, "before").dword, 1) << line;
        EXPECT_EQ(ValueOf(file, kFirst, "after").dword, 2) << line;
    }
    // Values before any key, under a deleted or unreadable key, go with it.
    const RegFile keys =
        Parsed(kHeader + "\"a\"=dword:1\n[-" + kFirst + "]\n\"b\"=dword:1\n[" + kFirst +
               "\n\"c\"=dword:1\n[]\n\"d\"=dword:1\n" + key + "\"e\"=dword:1\n");
    ASSERT_EQ(keys.keys().size(), 1u);
    ASSERT_EQ(keys.keys()[0].values().size(), 1u);
    EXPECT_EQ(keys.keys()[0].values()[0].name, "e");
}

TEST(RegFileFormat, RefusesWhatIsNoSettingsFile) {
    struct Case {
        std::string text;
        size_t line;
    };
    const std::vector<Case> cases = {
        {"REGEDIT4\n", 1},
        {"\n\nWindows Registry Editor Version 5.01\n", 3},
        {"[" + kFirst + "]\n", 1},
        {"\x7f"
         "ELF\x02\x01",
         1},
        {"\xFF\xFEW", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Refused(c.text).line, c.line) << c.text;
    }
}

TEST(RegFileFormat, LimitsBoundWhatIsHeld) {
    RegKey key(kFirst);
    EXPECT_TRUE(key.Set(std::string(kRegMaxNameBytes, 'n'), IntValue(1)));
    EXPECT_FALSE(key.Set(std::string(kRegMaxNameBytes + 1, 'n'), IntValue(1)));
    EXPECT_FALSE(key.Set("line\nbreak", IntValue(1)));
    EXPECT_TRUE(key.Set("big", Binary(std::vector<uint8_t>(kRegMaxValueBytes))));
    EXPECT_FALSE(key.Set("bigger", Binary(std::vector<uint8_t>(kRegMaxValueBytes + 1))));
    EXPECT_TRUE(key.Set("text", StringValue(std::string(kRegMaxTextBytes, '\n'))));
    EXPECT_FALSE(key.Set("more", StringValue(std::string(kRegMaxTextBytes + 1, 'x'))));
    EXPECT_EQ(key.values().size(), 3u);

    // The largest values written still read back.
    RegFile file;
    *file.AddKey(kFirst) = key;
    ExpectSameFile(Parsed(FormatRegFile(file)), file);

    RegKey many(kFirst);
    for (size_t i = 0; i < kRegMaxValuesPerKey; ++i) {
        ASSERT_TRUE(many.Set("v" + std::to_string(i), IntValue(1)));
    }
    EXPECT_FALSE(many.Set("one more", IntValue(1)));
    EXPECT_TRUE(many.Set("V0", IntValue(2)));  // replacing is always possible

    RegFile keys;
    for (size_t i = 0; i < kRegMaxKeys; ++i) {
        ASSERT_NE(keys.AddKey("k" + std::to_string(i)), nullptr);
    }
    EXPECT_EQ(keys.AddKey("one more"), nullptr);
    EXPECT_NE(keys.AddKey("K0"), nullptr);
    EXPECT_EQ(keys.AddKey("-k"), nullptr);
    EXPECT_EQ(RegFile().AddKey(""), nullptr);

    // Keys and values beyond the limits are passed over.
    std::string tooManyKeys = kHeader;
    for (size_t i = 0; i <= kRegMaxKeys; ++i) {
        tooManyKeys += "[k" + std::to_string(i) + "]\n";
    }
    EXPECT_EQ(Parsed(tooManyKeys).keys().size(), kRegMaxKeys);
    std::string hex;
    for (size_t i = 0; i <= kRegMaxValueBytes; ++i) {
        hex += "01,";
    }
    EXPECT_EQ(Parsed(kHeader + "[k]\n\"a\"=hex:" + hex + "\n").FindKey("k")->Find("a"), nullptr);
    Refused(kHeader + "[k]\n\"a\"=\"" + std::string(kRegMaxLineBytes, 'x') + "\"\n");
    Refused(std::string(kRegMaxFileBytes + 1, '\n'));
}

}  // namespace
}  // namespace tarnwick
