// The settings file on a real file system: values read back by a later run,
// a damaged file kept aside, folders that cannot be written, and copies of the
// program writing at once or being killed while they write.

#include "platform/reg_file_settings_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "settings/reg_file_format.h"
#include "settings/settings_store.h"
#include "settings/settings_values.h"

namespace tarnwick {
namespace {

const std::string kKey = "Software\\Hollowden\\Tarnwick";
const std::string kSecondKey = "Software\\Hollowden\\Tarnwick 2";
const std::string kFileKey = "HKEY_CURRENT_USER\\" + kKey;
const std::string kFileSecondKey = "HKEY_CURRENT_USER\\" + kSecondKey;
// The user a root test run drops to, so that folder permissions apply.
constexpr uid_t kNobody = 65534;

class RecordingDialogs : public IUserDialogs {
public:
    void MessageBox(const std::string& text, const std::string& caption) override {
        messages.push_back(text + "|" + caption);
    }
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<uint32_t> ChooseColour(std::optional<uint32_t>) override { return std::nullopt; }
    std::optional<std::string> InputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }

    std::vector<std::string> messages;
};

class RegFileStoreTest : public ::testing::Test {
protected:
    RegFileStoreTest() {
        static std::atomic<int> counter{0};
        root_ = std::filesystem::temp_directory_path() /
                ("tarnwick-reg-store-test-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter++));
        std::filesystem::create_directories(root_);
        file_ = (root_ / "config" / "Hollowden" / "Tarnwick.reg").string();
    }
    ~RegFileStoreTest() override {
        std::error_code ignored;
        std::filesystem::permissions(root_ / "config" / "Hollowden",
                                     std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(root_, ignored);
    }

    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void WriteText(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    // The file as it stands; fails the test when it does not parse.
    RegFile FileNow() const {
        RegParseError error;
        std::optional<RegFile> file = ParseRegFile(Contents(file_), &error);
        EXPECT_TRUE(file.has_value()) << error.line << ": " << error.message;
        return file ? std::move(*file) : RegFile{};
    }

    std::string Folder() const { return (root_ / "config" / "Hollowden").string(); }

    std::filesystem::path root_;
    std::string file_;
};

TEST_F(RegFileStoreTest, ValuesOfEveryKindReadBackInALaterRun) {
    {
        RegFileSettingsStore store(file_);
        std::unique_ptr<ISettingsKey> key = store.OpenOrCreate(kKey);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(key->Write("Upper Vol", IntValue(-6)));
        ASSERT_TRUE(key->Write("Sweep", DoubleValue(12.5)));
        ASSERT_TRUE(key->Write("Test Name", StringValue("Hall \"B\" \\ east")));
        ASSERT_TRUE(key->Write("Filename", StringValue("/srv/odd\nname.txt")));
        ASSERT_TRUE(key->Write("upper vol", IntValue(-7)));
        // The key sees its own writes at once.
        EXPECT_EQ(ReadInt(*key, "UPPER VOL"), -7);
    }
    RegFileSettingsStore later(file_);
    std::unique_ptr<ISettingsKey> key = later.OpenOrCreate(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(ReadInt(*key, "Upper Vol"), -7);
    EXPECT_EQ(ReadDouble(*key, "sweep"), 12.5);
    EXPECT_EQ(ReadString(*key, "Test Name"), "Hall \"B\" \\ east");
    EXPECT_EQ(ReadString(*key, "Filename"), "/srv/odd\nname.txt");
    EXPECT_FALSE(key->Read("Lower Vol").has_value());

    // Private to the user: the file holds the settings password.
    struct stat info {};
    ASSERT_EQ(::stat(file_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(Folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(FileNow().keys()[0].values()[0].name, "Upper Vol");
}

TEST_F(RegFileStoreTest, OpeningCreatesTheKeyAndBothCopiesShareOneFile) {
    RegFileSettingsStore store(file_);
    RecordingDialogs dialogs;
    TSettingsStore settings(store, dialogs);

    // A fresh profile: the key is created, every setting takes its default.
    TMeterSettings first = settings.LoadSettings(1, "/home/op/Documents");
    EXPECT_EQ(first.BlockBytes, 3528);
    ASSERT_EQ(FileNow().keys().size(), 1u);
    EXPECT_TRUE(FileNow().keys()[0].values().empty());

    first.UpperVol = -4;
    first.Locked = true;
    first.password = "pw";
    TWindowPlacement windows;
    windows.main = TWindowBounds{5, 6, 700, 800};
    settings.SaveSettings(first, windows);
    settings.SaveWindowState(first, windows);

    TMeterSettings second = settings.LoadSettings(2, "/home/op/Documents");
    second.Scale = kUserFullScale;
    settings.SaveWindowState(second, windows);
    EXPECT_TRUE(dialogs.messages.empty());

    const TMeterSettings again = settings.LoadSettings(1, "/home/op/Documents");
    EXPECT_EQ(again.UpperVol, -4);
    EXPECT_TRUE(again.Locked);
    EXPECT_EQ(again.password, "pw");
    EXPECT_EQ(again.width, 700);
    EXPECT_EQ(again.Scale, kDefaultScale);
    EXPECT_EQ(settings.LoadSettings(2, "/home/op/Documents").Scale, kUserFullScale);
    const RegFile file = FileNow();
    ASSERT_EQ(file.keys().size(), 2u);
    EXPECT_EQ(file.keys()[0].path(), kFileKey);
    EXPECT_EQ(file.keys()[1].path(), kFileSecondKey);
}

TEST_F(RegFileStoreTest, AWriteKeepsWhatOtherWritersStoredMeanwhile) {
    RegFileSettingsStore one(file_);
    RegFileSettingsStore other(file_);
    std::unique_ptr<ISettingsKey> a = one.OpenOrCreate(kKey);
    std::unique_ptr<ISettingsKey> b = other.OpenOrCreate(kKey);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(b->Write("From B", IntValue(2)));
    ASSERT_TRUE(a->Write("From A", IntValue(1)));

    EXPECT_EQ(ReadInt(*a, "From B"), 2);
    const RegFile file = FileNow();
    const RegKey* key = file.FindKey(kFileKey);
    ASSERT_NE(key, nullptr);
    EXPECT_NE(key->Find("From A"), nullptr);
    EXPECT_NE(key->Find("From B"), nullptr);
}

TEST_F(RegFileStoreTest, ADamagedValueCostsOnlyItselfAndOtherFilesAreKeptAsideInTurn) {
    // A settings file with a value of a type no setting takes and a line cut
    // off: those two settings take their defaults, the rest is read, and the
    // file stays where it is.
    WriteText(file_, "Windows Registry Editor Version 5.00\n\n[" + kFileKey +
                         "]\n\"Upper Vol\"=dword:fffffffa\n\"Calibration\"=hex(b):00,00,00,00,"
                         "00,00,10,c0\n\"Test Name\"=\"cut sh");
    RegFileSettingsStore store(file_);
    RecordingDialogs dialogs;
    TSettingsStore settings(store, dialogs);
    const TMeterSettings loaded = settings.LoadSettings(1, "/home/op");
    EXPECT_EQ(loaded.UpperVol, -6);
    EXPECT_EQ(loaded.Calibration, -2.0);
    EXPECT_EQ(loaded.TestName, "Results ");
    EXPECT_FALSE(std::filesystem::exists(file_ + ".bad"));
    EXPECT_TRUE(dialogs.messages.empty());

    // Binary noise twice, met by a write each time: the second is kept beside
    // the first, not over it.
    std::unique_ptr<ISettingsKey> key = store.OpenOrCreate(kKey);
    ASSERT_NE(key, nullptr);
    const std::string noise(
        "\x7f"
        "ELF\x02\x01\x01\x00\xff\xfe",
        10);
    for (const std::string& kept : {file_ + ".bad", file_ + ".bad.2"}) {
        WriteText(file_, noise + kept);
        ASSERT_TRUE(key->Write("Channel", IntValue(3)));
        EXPECT_EQ(Contents(kept), noise + kept);
        EXPECT_EQ(FileNow().FindKey(kFileKey)->Find("Channel")->dword, 3);
    }
}

TEST_F(RegFileStoreTest, AFolderThatCannotBeCreatedFailsTheOpen) {
    // A file where the folder should be.
    WriteText((root_ / "config").string() + "/Hollowden", "not a folder");
    RegFileSettingsStore store(file_);
    EXPECT_EQ(store.OpenOrCreate(kKey), nullptr);

    RecordingDialogs dialogs;
    TSettingsStore settings(store, dialogs);
    TMeterSettings s = settings.LoadSettings(1, "/home/op");
    EXPECT_EQ(s.BlockBytes, StartSettings().BlockBytes);
    settings.SaveSettings(s, TWindowPlacement{});
    settings.SaveWindowState(s, TWindowPlacement{});
    EXPECT_EQ(dialogs.messages,
              std::vector<std::string>{"Unable to create Registry Key |\\Tarnwick Error"});

    EXPECT_EQ(RegFileSettingsStore("").OpenOrCreate(kKey), nullptr);
}

// Runs `body` in a child process that may not write to the store's folder and
// returns its exit code (-1 when it did not exit).
template <typename Body>
int WithoutWriteAccess(const std::string& folder, const std::string& file, Body body) {
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                    std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                    std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Root writes anywhere; the folder's permissions bind only another user.
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(100);
        }
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RegFileStoreTest, AReadOnlyFolderStillReadsButRefusesWrites) {
    {
        RegFileSettingsStore store(file_);
        std::unique_ptr<ISettingsKey> key = store.OpenOrCreate(kKey);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(key->Write("Upper Vol", IntValue(-3)));
    }
    const std::string before = Contents(file_);
    // Make the root folder passable for the unprivileged child.
    std::filesystem::permissions(root_, std::filesystem::perms::all);
    std::filesystem::permissions(root_ / "config", std::filesystem::perms::all);

    const int result = WithoutWriteAccess(Folder(), file_, [this] {
        RegFileSettingsStore store(file_);
        RecordingDialogs dialogs;
        TSettingsStore settings(store, dialogs);
        int failures = 0;
        TMeterSettings s = settings.LoadSettings(1, "/home/op");
        if (s.UpperVol != -3) {
            failures |= 1;
        }
        s.UpperVol = -9;
        settings.SaveSettings(s, TWindowPlacement{});
        s.InstanceNumber = 2;  // a key the file lacks cannot be created
        settings.SaveSettings(s, TWindowPlacement{});
        if (dialogs.messages !=
            std::vector<std::string>{"Unable to write value to Registry |\\Tarnwick Error",
                                     "Unable to create Registry Key |\\Tarnwick 2 Error"}) {
            failures |= 2;
        }
        return failures;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Contents(file_), before);
}

TEST_F(RegFileStoreTest, AFailedWriteLeavesTheOldFileWhole) {
    RegFileSettingsStore store(file_);
    {
        std::unique_ptr<ISettingsKey> key = store.OpenOrCreate(kKey);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(key->Write("Test Name", StringValue("before")));
    }
    const std::string before = Contents(file_);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // No room for the new file: the write to the temporary file fails.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::unique_ptr<ISettingsKey> key = store.OpenOrCreate(kKey);
        const bool wrote = key != nullptr && key->Write("Test Name", StringValue("after"));
        ::_exit(key == nullptr ? 2 : wrote ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Contents(file_), before);
    std::unique_ptr<ISettingsKey> key = store.OpenOrCreate(kKey);
    EXPECT_EQ(ReadString(*key, "Test Name"), "before");
    ASSERT_TRUE(key->Write("Test Name", StringValue("later")));
}

// Writes `count` values named `prefix` + i into both keys, opening the keys
// once, as one running copy would. Returns the number of failed writes.
int WriteMany(const std::string& file, const std::string& prefix, int count) {
    RegFileSettingsStore store(file);
    std::unique_ptr<ISettingsKey> first = store.OpenOrCreate(kKey);
    std::unique_ptr<ISettingsKey> second = store.OpenOrCreate(kSecondKey);
    if (first == nullptr || second == nullptr) {
        return count;
    }
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        ISettingsKey& key = i % 4 == 3 ? *second : *first;
        failures += key.Write(prefix + std::to_string(i), IntValue(i)) ? 0 : 1;
        failures += key.Write("Shared", StringValue(prefix)) ? 0 : 1;
    }
    return failures;
}

TEST_F(RegFileStoreTest, TwoCopiesWritingAtOnceLoseNothing) {
    constexpr int kValues = 80;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(std::min(WriteMany(file_, "Child ", kValues), 99));
    }
    const int parentFailures = WriteMany(file_, "Parent ", kValues);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(parentFailures, 0);

    const RegFile file = FileNow();
    ASSERT_EQ(file.keys().size(), 2u);
    for (const std::string prefix : {"Child ", "Parent "}) {
        for (int i = 0; i < kValues; ++i) {
            const RegKey* key = file.FindKey(i % 4 == 3 ? kFileSecondKey : kFileKey);
            const StoredValue* value = key->Find(prefix + std::to_string(i));
            ASSERT_NE(value, nullptr) << prefix << i;
            EXPECT_EQ(value->dword, i);
        }
    }
    const std::string shared = file.FindKey(kFileKey)->Find("Shared")->text;
    EXPECT_TRUE(shared == "Child " || shared == "Parent ") << shared;
    EXPECT_EQ(file.FindKey(kFileKey)->values().size(), 2u * (kValues * 3 / 4) + 1u);
}

// The number of values in the file, or -1 while it does not parse.
int ValuesInFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::optional<RegFile> file = ParseRegFile(text.str());
    if (!file) {
        return -1;
    }
    return file->keys().empty() ? 0 : static_cast<int>(file->keys()[0].values().size());
}

TEST_F(RegFileStoreTest, AWriterKilledAtAnyMomentLeavesAWholeFile) {
    // Each round's writer stops after this many values, so that a fast disk
    // cannot take the key past its limit before the kill.
    constexpr int kRoundValues = 200;
    int written = 0;  // values committed by the writers killed so far
    for (int round = 0; round < 4; ++round) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            RegFileSettingsStore store(file_);
            std::unique_ptr<ISettingsKey> key = store.OpenOrCreate(kKey);
            for (int i = written; i < written + kRoundValues; ++i) {
                if (key == nullptr || !key->Write("V " + std::to_string(i), IntValue(i))) {
                    ::_exit(1);
                }
            }
            ::pause();
        }
        // Kill it a little after its first value, at a different moment each round.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ValuesInFile(file_) <= written && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3 + 11 * round));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed";

        // Every value committed before the kill is there, and nothing else.
        const RegFile file = FileNow();
        ASSERT_EQ(file.keys().size(), 1u);
        const std::vector<RegValue>& values = file.keys()[0].values();
        ASSERT_GT(values.size(), static_cast<size_t>(written)) << "round " << round;
        for (size_t i = 0; i < values.size(); ++i) {
            ASSERT_EQ(values[i].name, "V " + std::to_string(i));
            ASSERT_EQ(values[i].value.dword, static_cast<int32_t>(i));
        }
        written = static_cast<int>(values.size());
    }
    RegFileSettingsStore store(file_);
    std::unique_ptr<ISettingsKey> key = store.OpenOrCreate(kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->Write("After", IntValue(1)));
    EXPECT_FALSE(std::filesystem::exists(file_ + ".bad"));
}

TEST(RegFileSettingsPath, FollowsTheXdgConfigFolder) {
    EXPECT_EQ(SettingsFilePathFor("/xdg/config", "/home/op"), "/xdg/config/Hollowden/Tarnwick.reg");
    EXPECT_EQ(SettingsFilePathFor("/xdg/config/", "/home/op"),
              "/xdg/config/Hollowden/Tarnwick.reg");
    // Unset, empty or relative: the default under the home folder.
    EXPECT_EQ(SettingsFilePathFor(nullptr, "/home/op"), "/home/op/.config/Hollowden/Tarnwick.reg");
    EXPECT_EQ(SettingsFilePathFor("", "/home/op"), "/home/op/.config/Hollowden/Tarnwick.reg");
    EXPECT_EQ(SettingsFilePathFor("config", "/home/op"), "/home/op/.config/Hollowden/Tarnwick.reg");
    EXPECT_EQ(SettingsFilePathFor("/", "/home/op"), "/Hollowden/Tarnwick.reg");
    EXPECT_EQ(SettingsFilePathFor(nullptr, nullptr), "");
    EXPECT_EQ(SettingsFilePathFor(nullptr, ""), "");
    EXPECT_FALSE(DefaultSettingsFilePath().empty());
}

}  // namespace
}  // namespace tarnwick
