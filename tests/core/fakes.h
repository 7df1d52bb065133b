#pragma once
// Fakes of the ports for tests of the system library, and a harness that runs a
// real MeterApp on the simulated clock with them. Header-only, so that every core
// test file can include it.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/meter_app.h"
#include "core/simulated_time.h"
#include "settings/memory_settings_key.h"

namespace tarnwick::fakes {

// One stereo frame of the capture format.
struct Frame {
    int16_t left = 0;
    int16_t right = 0;
};

// Writes one frame as the device delivers it: left then right, little-endian.
inline void PutFrame(uint8_t* at, Frame frame) {
    const auto l = static_cast<uint16_t>(frame.left);
    const auto r = static_cast<uint16_t>(frame.right);
    at[0] = static_cast<uint8_t>(l & 0xFF);
    at[1] = static_cast<uint8_t>(l >> 8);
    at[2] = static_cast<uint8_t>(r & 0xFF);
    at[3] = static_cast<uint8_t>(r >> 8);
}

// Stored values of the kinds the settings code only reads.
inline StoredValue Binary(std::vector<uint8_t> bytes) {
    StoredValue value;
    value.kind = ValueKind::kBinary;
    value.bytes = std::move(bytes);
    return value;
}

inline StoredValue ExpandString(const std::string& text) {
    StoredValue value;
    value.kind = ValueKind::kExpandString;
    value.text = text;
    return value;
}

// Message boxes as shown; the save, colour and input dialogs with scripted
// answers.
class FakeDialogs : public IUserDialogs {
public:
    struct Message {
        std::string text;
        std::string caption;
    };

    void MessageBox(const std::string& text, const std::string& caption) override {
        messages.push_back({text, caption});
    }

    // Notices standing now, and every one shown.
    void Notice(const std::string& text, const std::string& caption) override {
        const auto same = [&](const Message& m) { return m.text == text && m.caption == caption; };
        if (std::find_if(notices.begin(), notices.end(), same) == notices.end()) {
            notices.push_back({text, caption});
            noticesShown.push_back({text, caption});
        }
    }
    void WithdrawNotice(const std::string& text, const std::string& caption) override {
        std::erase_if(notices,
                      [&](const Message& m) { return m.text == text && m.caption == caption; });
    }

    // Pops the next scripted answer; cancels when none is left.
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) override {
        saveRequests.push_back(request);
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        std::optional<SaveFileAnswer> answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }

    // Answers with the scripted folder; nullopt cancels.
    std::optional<std::string> ChooseFolder(const std::string& caption,
                                            const std::string& start) override {
        folderCaptions.push_back(caption);
        folderStarts.push_back(start);
        return folderAnswer;
    }

    // Answers with the scripted file; nullopt cancels.
    std::optional<std::string> OpenFile(const std::string& caption,
                                        const std::string& start) override {
        folderCaptions.push_back(caption);
        folderStarts.push_back(start);
        return fileAnswer;
    }

    // Pops the next scripted colour; cancels when none is left.
    std::optional<uint32_t> ChooseColour(std::optional<uint32_t> preset) override {
        colourPresets.push_back(preset);
        if (colourAnswers.empty()) {
            return std::nullopt;
        }
        std::optional<uint32_t> answer = colourAnswers.front();
        colourAnswers.pop_front();
        return answer;
    }

    // Pops the next scripted text; cancels when none is left.
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override {
        inputRequests.push_back({caption, prompt, initial});
        if (inputAnswers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    }

    struct InputRequest {
        std::string caption;
        std::string prompt;
        std::string initial;
    };

    std::vector<Message> messages;
    std::vector<Message> notices;
    std::vector<Message> noticesShown;
    std::deque<std::optional<SaveFileAnswer>> saveAnswers;
    std::vector<SaveFileRequest> saveRequests;
    std::optional<std::string> folderAnswer;
    std::optional<std::string> fileAnswer;
    std::vector<std::string> folderCaptions;
    std::vector<std::string> folderStarts;
    std::deque<std::optional<uint32_t>> colourAnswers;
    std::vector<std::optional<uint32_t>> colourPresets;
    std::deque<std::optional<std::string>> inputAnswers;
    std::vector<InputRequest> inputRequests;
};

// Text files in memory. Appending to a missing file fails with error 2, as on
// the machine; either operation can be made to fail with a chosen error.
class FakeTextFiles : public ITextFiles {
public:
    FileResult CreateWith(const std::string& path, const std::string& content) override {
        if (!createFailure.ok()) {
            return createFailure;
        }
        if (missingFolders.count(FolderOf(path)) != 0) {
            return Missing();
        }
        contents[path] = content;
        return {};
    }

    FileResult Append(const std::string& path, const std::string& line) override {
        ++appendCalls;
        if (!appendFailure.ok()) {
            return appendFailure;
        }
        auto it = contents.find(path);
        if (it == contents.end()) {
            return Missing();
        }
        it->second += line;
        return {};
    }

    FileResult StartWith(const std::string& path, const std::string& header) override {
        if (!createFailure.ok()) {
            return createFailure;
        }
        auto it = contents.find(path);
        if (it == contents.end()) {
            return Missing();
        }
        if (it->second.empty()) {
            it->second = header;
        }
        return {};
    }

    // The file's lines without their CR LF; a trailing part without CR LF comes
    // last, so a missing line end shows up.
    std::vector<std::string> Lines(const std::string& path) const {
        std::vector<std::string> lines;
        auto it = contents.find(path);
        if (it == contents.end()) {
            return lines;
        }
        const std::string& text = it->second;
        size_t from = 0;
        for (size_t end = text.find("\r\n"); end != std::string::npos;
             end = text.find("\r\n", from)) {
            lines.push_back(text.substr(from, end - from));
            from = end + 2;
        }
        if (from < text.size()) {
            lines.push_back(text.substr(from));
        }
        return lines;
    }

    // A path ending in a separator is a folder, there unless it is missing.
    bool Exists(const std::string& path) override {
        if (!path.empty() && path.back() == '/') {
            return missingFolders.count(path.substr(0, path.size() - 1)) == 0;
        }
        return contents.count(path) != 0;
    }
    FileResult Read(const std::string& path, std::string& content) override {
        const auto it = contents.find(path);
        content = it != contents.end() ? it->second : std::string();
        return it != contents.end() ? FileResult{} : Missing();
    }
    FileResult ReadStart(const std::string& path, size_t bytes, std::string& content) override {
        const FileResult result = Read(path, content);
        content.resize(std::min(content.size(), bytes));
        return result;
    }
    FileResult MakeFolder(const std::string& folder) override {
        ++foldersMade;
        missingFolders.erase(folder.size() > 1 && folder.back() == '/'
                                 ? folder.substr(0, folder.size() - 1)
                                 : folder);
        return {};
    }

    // Claims held by others are listed in `claimedElsewhere`.
    FileResult Claim(const std::string& path, bool sole, bool create) override {
        if (claimedElsewhere.count(path) != 0) {
            return {kFileClaimedError, path + ": another Tarnwick program is writing this file"};
        }
        if (contents.count(path) == 0) {
            if (!create || missingFolders.count(FolderOf(path)) != 0) {
                return Missing();
            }
            contents[path];
        }
        claims[path] = sole;
        return {};
    }
    void Release(const std::string& path) override { claims.erase(path); }

    // Deletes `folder` (no separator at the end) with the files in it.
    void DeleteFolder(const std::string& folder) {
        for (auto it = contents.begin(); it != contents.end();) {
            it = FolderOf(it->first) == folder ? contents.erase(it) : std::next(it);
        }
        missingFolders.insert(folder);
    }

    std::map<std::string, std::string> contents;
    std::map<std::string, bool> claims;  // held by this program: sole or shared
    std::map<std::string, bool> claimedElsewhere;
    std::set<std::string> missingFolders;  // files cannot be made in these
    FileResult createFailure;              // error != 0: CreateWith and StartWith fail with it
    FileResult appendFailure;              // error != 0: Append fails with it
    int appendCalls = 0;
    int foldersMade = 0;

private:
    static FileResult Missing() { return {kFileMissingError, "No such file or directory"}; }
    static std::string FolderOf(const std::string& path) {
        const size_t slash = path.find_last_of('/');
        return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
};

// dd/MM/yyyy, "dd MMMM yyyy" (08 December 2026), HH:mm:ss and a chosen separator.
class FixedRegionalFormats : public IRegionalFormats {
public:
    std::string ShortDate(LocalDateTime t) override {
        const CivilDateTime c = ToCivil(t);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", c.day, c.month, c.year);
        return buffer;
    }

    std::string LongDate(LocalDateTime t) override {
        static const std::array<const char*, 12> kMonths = {
            "January", "February", "March",     "April",   "May",      "June",
            "July",    "August",   "September", "October", "November", "December"};
        const CivilDateTime c = ToCivil(t);
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%02d %s %04d", c.day,
                      kMonths[static_cast<size_t>(c.month - 1)], c.year);
        return buffer;
    }

    std::string LongTime(LocalDateTime t) override {
        const CivilDateTime c = ToCivil(t);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", c.hour, c.minute, c.second);
        return buffer;
    }

    char32_t DecimalSeparator() override { return separator; }

    char32_t separator = U'.';
};

class RecordingProcess : public IProcessControl {
public:
    void EndProgram() override { ++endCalls; }
    void CloseMainWindow() override { ++closeCalls; }
    int endCalls = 0;
    int closeCalls = 0;
};

// A wave-input device that keeps the blocks the engine queues and hands them back
// one at a time, filled with samples the test chooses. The bytes of a block's
// storage past what the device recorded get a loud guard pattern, so a pipeline
// that reads them shows it as a level.
class ScriptedWaveInput : public IWaveInput {
public:
    static constexpr uint8_t kGuardByte = 0x7F;

    int DeviceCount() override { return static_cast<int>(names.size()); }
    std::string DeviceName(int id) override {
        return id >= 0 && id < DeviceCount() ? names[static_cast<size_t>(id)] : std::string();
    }
    int Query(int, const WaveFormat&) override { return queryResult; }
    int Open(int id, const WaveFormat&, BlockFilledHandler onFilled,
             DeviceFailedHandler onFailed) override {
        if (openResult == kWaveOk) {
            openedDevice = id;
            onFilled_ = std::move(onFilled);
            onFailed_ = std::move(onFailed);
        }
        return openResult;
    }

    // The device stops working, as when the sound server goes away.
    void Fail(const std::string& reason) {
        if (onFailed_) {
            onFailed_(reason);
        }
    }
    int Prepare(CaptureBlock&) override { return prepareResult; }
    int AddBuffer(CaptureBlockPtr block) override {
        if (addResult == kWaveOk) {
            queued.push_back(std::move(block));
        }
        return addResult;
    }
    int Start() override {
        started = startResult == kWaveOk;
        return startResult;
    }
    int Unprepare(CaptureBlock&) override { return unprepareResult; }
    void Reset() override { ++resetCalls; }
    void Close() override { ++closeCalls; }

    // Hands the oldest queued block back with frame i = frameAt(i), the device
    // having recorded `bytesRecorded` bytes of it (all of its buffer when
    // negative). False when nothing is queued.
    bool Deliver(const std::function<Frame(int32_t)>& frameAt, int32_t bytesRecorded = -1) {
        if (queued.empty() || !onFilled_) {
            return false;
        }
        CaptureBlockPtr block = std::move(queued.front());
        queued.pop_front();
        const int32_t length = bytesRecorded < 0 ? std::max(block->bufferLength, 0)
                                                 : std::min(bytesRecorded, kBlockStorageBytes);
        for (int32_t i = 0; i + kBytesPerFrame <= length; i += kBytesPerFrame) {
            PutFrame(block->storage.data() + i, frameAt(i / kBytesPerFrame));
        }
        for (size_t i = static_cast<size_t>(length); i < block->storage.size(); ++i) {
            block->storage[i] = kGuardByte;
        }
        block->bytesRecorded = length;
        ++delivered;
        onFilled_(std::move(block));
        return true;
    }

    bool DeliverSteady(Frame frame) {
        return Deliver([frame](int32_t) { return frame; });
    }

    // The given frames first, silence after them.
    bool DeliverFrames(const std::vector<Frame>& frames) {
        return Deliver([&frames](int32_t i) {
            return static_cast<size_t>(i) < frames.size() ? frames[static_cast<size_t>(i)]
                                                          : Frame{};
        });
    }

    std::vector<std::string> names{"Built-in Audio Analog Stereo"};
    int queryResult = kWaveOk;
    int openResult = kWaveOk;
    int prepareResult = kWaveOk;
    int addResult = kWaveOk;
    int startResult = kWaveOk;
    int unprepareResult = kWaveOk;

    int openedDevice = -1;
    bool started = false;
    int resetCalls = 0;
    int closeCalls = 0;
    int delivered = 0;
    std::deque<CaptureBlockPtr> queued;

private:
    BlockFilledHandler onFilled_;
    DeviceFailedHandler onFailed_;
};

// The playback device: records what is asked of it; any call can be made to fail.
class FakeWaveOutput : public IWaveOutput {
public:
    int Query(int, const WaveFormat&) override { return queryResult; }
    int Open(int id, const WaveFormat&) override {
        openedDevice = id;
        return openResult;
    }
    int Prepare(const uint8_t* data, int64_t bytes) override {
        prepared = data;
        preparedBytes = bytes;
        return prepareResult;
    }
    int Write() override {
        ++writes;
        playing = writeResult == kWaveOk;
        return writeResult;
    }
    void Reset() override {
        ++resets;
        playing = false;
    }
    void Close() override { ++closes; }
    bool Audible() const override { return audible; }

    bool audible = true;
    int queryResult = kWaveOk;
    int openResult = kWaveOk;
    int prepareResult = kWaveOk;
    int writeResult = kWaveOk;
    int openedDevice = -1;
    const uint8_t* prepared = nullptr;
    int64_t preparedBytes = 0;
    int writes = 0;
    int resets = 0;
    int closes = 0;
    bool playing = false;
};

inline LocalDateTime At(int year, int month, int day, int hour, int minute, int second = 0,
                        int millisecond = 0) {
    CivilDateTime c;
    c.year = year;
    c.month = month;
    c.day = day;
    c.hour = hour;
    c.minute = minute;
    c.second = second;
    c.millisecond = millisecond;
    return ToLocalDateTime(c);
}

// 08 December 2026 14:30:00.000, the moment most tests start at.
inline LocalDateTime TestStartTime() {
    return At(2026, 12, 8, 14, 30);
}

// Settings of a first start with integration off, so that a block's level is
// exactly the largest sample magnitude in it.
inline TMeterSettings PlainLevelSettings() {
    TMeterSettings s = DefaultSettings();
    s.Integrate = false;
    return s;
}

// Folders that exist by name, and a record of what was opened.
class FakeShell : public IDesktopShell {
public:
    std::optional<std::string> DocumentsPath() override { return documents; }
    bool DirectoryExists(const std::string& path) override {
        return std::find(existing.begin(), existing.end(), path) != existing.end();
    }
    int Open(const std::string& target) override {
        opened.push_back(target);
        return kShellOk;
    }
    int Explore(const std::string& folder) override {
        explored.push_back(folder);
        return kShellOk;
    }

    std::optional<std::string> documents = std::string("/home/operator/Documents");
    std::vector<std::string> existing = {"/home/operator/Documents/Tarnwick/"};
    std::vector<std::string> opened;
    std::vector<std::string> explored;
};

// Keeps the pictures it is asked to write; can be made to fail.
class FakeImages : public IImageWriter {
public:
    struct Written {
        std::string path;
        std::vector<uint32_t> pixels;
        int quality = 0;
    };
    FileResult WriteJpeg(const std::string& path, const RasterImage& image, int quality) override {
        return Keep(path, image, quality);
    }
    FileResult WritePng(const std::string& path, const RasterImage& image) override {
        return Keep(path, image, 0);
    }

    std::vector<Written> written;
    FileResult failure;

private:
    FileResult Keep(const std::string& path, const RasterImage& image, int quality) {
        if (!failure.ok()) {
            return failure;
        }
        Written w{path, {}, quality};
        for (int32_t y = 0; y < image.height; ++y) {
            w.pixels.insert(w.pixels.end(), image.pixels + y * image.stride,
                            image.pixels + y * image.stride + image.width);
        }
        written.push_back(std::move(w));
        return {};
    }
};

// Text as boxes: each character a filled box of 0.6 x 1.2 the point size, so
// pixel tests can see where text lands without a font.
class BoxGlyphText : public ITextRasteriser {
public:
    TextSize Measure(const TFont& font, const std::string& text) override {
        return {CharWidth(font) * static_cast<int32_t>(text.size()), font.pointSize * 12 / 10};
    }
    void Draw(const RasterImage& image, int32_t x, int32_t y, const TFont& font,
              const std::string& text, std::optional<uint32_t> background) override {
        const TextSize size = Measure(font, text);
        auto put = [&](int32_t px, int32_t py, uint32_t colour) {
            if (px >= 0 && py >= 0 && px < image.width && py < image.height) {
                image.pixels[py * image.stride + px] = ToRgb32(colour);
            }
        };
        if (background) {
            for (int32_t py = y; py < y + size.height; ++py) {
                for (int32_t px = x; px < x + size.width; ++px) {
                    put(px, py, *background);
                }
            }
        }
        const int32_t w = CharWidth(font);
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == ' ') {
                continue;
            }
            // A box inset by one pixel, so neighbouring characters stay apart.
            for (int32_t py = y + 1; py < y + size.height - 1; ++py) {
                for (int32_t px = x + static_cast<int32_t>(i) * w + 1;
                     px < x + static_cast<int32_t>(i + 1) * w - 1; ++px) {
                    put(px, py, font.colour);
                }
            }
        }
    }

private:
    static int32_t CharWidth(const TFont& font) { return std::max(2, font.pointSize * 6 / 10); }
};

// A MeterApp with fake ports on a simulated clock. Blocks are delivered at chosen
// moments; due timers fire before the block of the same moment.
class AppHarness {
public:
    // `picture` draws the picture's text; box glyphs unless given.
    explicit AppHarness(LocalDateTime start = TestStartTime(), uint32_t tickStart = 5'000'000,
                        ITextRasteriser* picture = nullptr, IImageWriter* imageWriter = nullptr)
        : clock(tickStart, start),
          timers(clock),
          app(MeterPorts{clock, timers, wave, output, formats, dialogs, process, store, files,
                         shell, imageWriter != nullptr ? *imageWriter : images,
                         picture != nullptr ? picture : &text}) {}

    // FormCreate and FormShow with `stored` as the loaded settings.
    void Create(const TMeterSettings& stored) {
        app.FormCreate(1, stored);
        app.FormShow();
    }

    // Moves the clock to `elapsedMs` after the start (firing due timers) and
    // delivers one block in which every frame is `frame`.
    void BlockAt(uint64_t elapsedMs, Frame frame) {
        timers.AdvanceTo(elapsedMs);
        wave.DeliverSteady(frame);
    }

    void FramesAt(uint64_t elapsedMs, const std::vector<Frame>& frames) {
        timers.AdvanceTo(elapsedMs);
        wave.DeliverFrames(frames);
    }

    // `count` blocks of `frame`, `stepMs` apart, the first `stepMs` from now.
    void Blocks(int count, Frame frame, uint64_t stepMs = 20) {
        for (int i = 0; i < count; ++i) {
            BlockAt(Elapsed() + stepMs, frame);
        }
    }

    // Moves the clock, firing due timers, without a block.
    void AdvanceTo(uint64_t elapsedMs) { timers.AdvanceTo(elapsedMs); }

    // Answers the save dialog with `path` and `filterIndex` and runs Save As.
    void SaveAs(const std::string& path, int filterIndex = 1) {
        dialogs.saveAnswers.push_back(SaveFileAnswer{path, filterIndex});
        app.SaveAs1Click();
    }

    uint64_t Elapsed() const { return clock.ElapsedMs(); }

    SimulatedClock clock;
    SimulatedTimers timers;
    ScriptedWaveInput wave;
    FakeWaveOutput output;
    FixedRegionalFormats formats;
    FakeDialogs dialogs;
    RecordingProcess process;
    MemorySettingsStore store;
    FakeTextFiles files;
    FakeShell shell;
    FakeImages images;
    BoxGlyphText text;
    MeterApp app;
};

}  // namespace tarnwick::fakes
