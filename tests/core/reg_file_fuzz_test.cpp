// Robustness of the settings file parser on damaged and random input: it never
// crashes or hangs, what it accepts stays within the limits, and what it accepts
// it writes back in a form that reads the same. Deterministic seeds keep failures
// reproducible.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "settings/reg_file_format.h"
#include "settings/settings_values.h"

namespace tarnwick {
namespace {

constexpr int kMutatedCases = 25000;
constexpr int kRandomCases = 10000;

const std::string kFirst = "HKEY_CURRENT_USER\\Software\\Hollowden\\Tarnwick";

// Files as the program writes them and as a person might edit them.
std::vector<std::string> Seeds() {
    RegFile file;
    RegKey* key = file.AddKey(kFirst);
    key->Set("Version", IntValue(40));
    key->Set("Device Name", StringValue("Built-in Audio \"Analog\" \\ Stereo"));
    key->Set("Calibration", DoubleValue(-2.0));
    key->Set("Sweep", DoubleValue(10.0));
    key->Set("Filename", StringValue("/home/op/line\nbreak.txt"));
    StoredValue folder;
    folder.kind = ValueKind::kExpandString;
    folder.text = "/home/op/Documents/Tarnwick/\xC3\xA9";
    key->Set("Folder", folder);
    StoredValue blob;
    blob.kind = ValueKind::kBinary;
    blob.bytes.assign(70, 0xA5);
    key->Set("Blob", blob);
    file.AddKey(kFirst + " 2")->Set("Channel", IntValue(9));

    const std::string handMade =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; note\r\n"
        "[HKEY_CURRENT_USER\\Software\\Hollowden\\Tarnwick]\r\n"
        "\"Sweep\" = dword:c8\r\n\"Upper Vol\"=hex(4):fb,ff,ff,ff\r\n"
        "\"Raw\"=hex:01,02,\\\r\n  03,04\r\n@=\"x\"\r\n"
        "\"Name\"=hex(1):48,00,69,00,00,00\r\n";
    return {FormatRegFile(file), handMade};
}

// Pieces that steer mutations into the parser's branches.
const std::vector<std::string> kTokens = {
    "\\",
    "\"",
    "\n",
    "\r\n",
    "[",
    "]",
    "=",
    ",",
    "hex:",
    "hex(2):",
    "hex(1):",
    "hex(4):",
    "hex(b):",
    "dword:",
    "@",
    ";",
    "-",
    "\\\n  ",
    "\\\"",
    "\\\\",
    "ffffffff",
    "00,",
    "\xFF\xFE",
    "\xEF\xBB\xBF",
    "\t",
    " ",
    std::string(1, '\0'),
    std::string("\x00\xD8", 2),
    "[-",
    "=-",
    "\"\"=",
    "123456789",
};

std::string Mutate(std::string text, std::mt19937& random) {
    auto below = [&random](size_t n) { return n == 0 ? 0 : static_cast<size_t>(random() % n); };
    const int steps = 1 + static_cast<int>(below(4));
    for (int s = 0; s < steps; ++s) {
        switch (random() % 6) {
            case 0:  // flip bytes
                for (size_t k = 1 + below(8); k > 0 && !text.empty(); --k) {
                    text[below(text.size())] ^= static_cast<char>(1 + below(255));
                }
                break;
            case 1:  // insert a token
                text.insert(below(text.size() + 1), kTokens[below(kTokens.size())]);
                break;
            case 2:  // delete a run
                if (!text.empty()) {
                    const size_t at = below(text.size());
                    text.erase(at, 1 + below(16));
                }
                break;
            case 3:  // cut short
                text.resize(below(text.size() + 1));
                break;
            case 4:  // repeat a run, as a duplicated line or key would
                if (!text.empty()) {
                    const size_t at = below(text.size());
                    const std::string run = text.substr(at, 1 + below(80));
                    text.insert(below(text.size() + 1), run);
                }
                break;
            default:  // replace a run by random bytes
                if (!text.empty()) {
                    const size_t at = below(text.size());
                    for (size_t k = 0; k < 1 + below(6) && at + k < text.size(); ++k) {
                        text[at + k] = static_cast<char>(random());
                    }
                }
                break;
        }
    }
    return text;
}

// What an accepted file must satisfy.
void CheckAccepted(const RegFile& file, const std::string& input) {
    ASSERT_LE(file.keys().size(), kRegMaxKeys);
    for (const RegKey& key : file.keys()) {
        ASSERT_LE(key.values().size(), kRegMaxValuesPerKey);
        ASSERT_LE(key.path().size(), kRegMaxNameBytes);
        for (const RegValue& value : key.values()) {
            ASSERT_LE(value.name.size(), kRegMaxNameBytes);
            ASSERT_LE(value.value.text.size(), kRegMaxTextBytes);
            ASSERT_LE(value.value.bytes.size(), kRegMaxValueBytes);
        }
    }
    // Written back, it reads the same, and writing that again gives the same text.
    const std::string written = FormatRegFile(file);
    RegParseError error;
    const std::optional<RegFile> again = ParseRegFile(written, &error);
    ASSERT_TRUE(again.has_value()) << error.line << ": " << error.message << "\ninput:\n"
                                   << input << "\nwritten:\n"
                                   << written;
    ASSERT_EQ(FormatRegFile(*again), written) << input;
    ASSERT_EQ(again->keys().size(), file.keys().size());
    for (size_t k = 0; k < file.keys().size(); ++k) {
        const RegKey& a = file.keys()[k];
        const RegKey& b = again->keys()[k];
        ASSERT_EQ(a.path(), b.path());
        ASSERT_EQ(a.values().size(), b.values().size());
        for (size_t v = 0; v < a.values().size(); ++v) {
            ASSERT_EQ(a.values()[v].name, b.values()[v].name);
            ASSERT_TRUE(SameValue(a.values()[v].value, b.values()[v].value))
                << a.values()[v].name << "\ninput:\n"
                << input;
        }
    }
}

TEST(RegFileFuzz, MutatedFilesParseOrFailCleanly) {
    const std::vector<std::string> seeds = Seeds();
    std::mt19937 random(20261208);
    int accepted = 0;
    for (int i = 0; i < kMutatedCases; ++i) {
        const std::string input = Mutate(seeds[random() % seeds.size()], random);
        RegParseError error;
        const std::optional<RegFile> file = ParseRegFile(input, &error);
        if (file) {
            ++accepted;
            CheckAccepted(*file, input);
            if (HasFailure()) {
                FAIL() << "case " << i;
            }
        } else {
            ASSERT_FALSE(error.message.empty()) << "case " << i;
        }
    }
    RecordProperty("accepted", accepted);
    // Enough mutations must survive to exercise the writer too.
    EXPECT_GT(accepted, kMutatedCases / 20);
    EXPECT_LT(accepted, kMutatedCases);
}

TEST(RegFileFuzz, RandomBytesAndTokensParseOrFailCleanly) {
    std::mt19937 random(7);
    for (int i = 0; i < kRandomCases; ++i) {
        std::string input;
        if (i % 2 == 0) {
            input.resize(random() % 512);
            for (char& c : input) {
                c = static_cast<char>(random());
            }
        } else {
            // Token soup behind a valid header, so that lines get past it.
            input = "Windows Registry Editor Version 5.00\n";
            for (size_t n = random() % 64; n > 0; --n) {
                input += kTokens[random() % kTokens.size()];
                if (random() % 4 == 0) {
                    input += "a";
                }
            }
        }
        const std::optional<RegFile> file = ParseRegFile(input);
        if (file) {
            CheckAccepted(*file, input);
            if (HasFailure()) {
                FAIL() << "case " << i;
            }
        }
    }
}

// Inputs built to cost the most: each is refused or read in time linear in its
// size, holding no more than the limits allow.
TEST(RegFileFuzz, CostlyInputsStayBounded) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    // Continuation marks without end.
    std::string continued = header + "[k]\n\"a\"=hex:";
    while (continued.size() < 2 * kRegMaxLineBytes) {
        continued += "00,\\\n";
    }
    EXPECT_FALSE(ParseRegFile(continued).has_value());

    // More small values than one key may hold: those beyond the limit are
    // passed over.
    std::string values = header + "[k]\n";
    for (size_t i = 0; i <= kRegMaxValuesPerKey; ++i) {
        values += "\"v" + std::to_string(i) + "\"=dword:1\n";
    }
    const std::optional<RegFile> held = ParseRegFile(values);
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(held->keys()[0].values().size(), kRegMaxValuesPerKey);

    // The same value over and over: one value held.
    std::string repeated = header + "[k]\n";
    while (repeated.size() < kRegMaxFileBytes / 4) {
        repeated += "\"same\"=hex:01,02,03,04\n";
    }
    const std::optional<RegFile> file = ParseRegFile(repeated);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->keys()[0].values().size(), 1u);

    // A line too long to be held is refused before it is copied.
    EXPECT_FALSE(ParseRegFile(header + std::string(kRegMaxLineBytes + 1, '[')).has_value());
    EXPECT_FALSE(ParseRegFile(std::string(kRegMaxFileBytes + 1, ' ')).has_value());
}

}  // namespace
}  // namespace tarnwick
