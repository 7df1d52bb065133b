// The logger's session on the simulated clock with a scripted input: rows,
// files, alarms and a lost input, hours of them in milliseconds.

#include "tools/logger/logger_session.h"

#include "tools/logger/dropout_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <sstream>

#include "tests/core/fakes.h"
#include "tests/core/logger_fakes.h"

namespace tarnwick {
namespace {

using fakes::Frame;

using fakes::FakeCommands;
using fakes::FakeRowFiles;
using fakes::FakeService;

constexpr const char* kLogDir = "/var/log/tarnwick";

// A session with every port faked; blocks come at the pace of 44100 frames a
// second while `delivering`.
struct Session {
    explicit Session(LocalDateTime start, LoggerOptions options = DefaultOptions())
        : clock(5'000'000, start),
          timers(clock),
          commands(clock),
          session(LoggerSessionPorts{MeterPorts{clock, timers, wave, output, formats, dialogs,
                                                process, store, files, shell, images, nullptr},
                                     rows, commands, service,
                                     [this](std::string text) { metrics = std::move(text); }},
                  std::move(options)) {}

    static LoggerOptions DefaultOptions() {
        LoggerOptions o;
        o.logDir = kLogDir;
        return o;
    }

    bool Start(const std::string& device = {}, TMeterSettings s = fakes::PlainLevelSettings()) {
        s.DeviceName = device;
        return session.Start(1, s);
    }

    // Runs the clock on by `ms`, a block at each block's due time.
    void Run(int64_t ms) {
        const uint64_t end = clock.ElapsedMs() + static_cast<uint64_t>(ms);
        const int64_t framesPerBlock = session.app().settings().BlockBytes / kBytesPerFrame;
        for (;;) {
            const uint64_t due = static_cast<uint64_t>((frames + framesPerBlock) * 1000 / 44100);
            if (due > end) {
                break;
            }
            timers.AdvanceTo(due);
            frames += framesPerBlock;
            if (delivering && toneDbfs) {
                const double amplitude = 32767.0 * std::pow(10.0, *toneDbfs / 20.0);
                wave.Deliver([&](int32_t i) {
                    const auto v = static_cast<int16_t>(std::lround(
                        amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 *
                                             static_cast<double>(tonePhase + i) / 44100.0)));
                    return Frame{v, v};
                });
                tonePhase += framesPerBlock;
            } else if (delivering) {
                wave.DeliverSteady(frame);
            }
        }
        timers.AdvanceTo(end);
    }

    std::vector<std::string> Rows(const std::string& day) const {
        return rows.Lines(std::string(kLogDir) + "/Tarnwick " + day + ".csv");
    }

    fakes::ScriptedWaveInput wave;
    fakes::FakeWaveOutput output;
    fakes::FixedRegionalFormats formats;
    fakes::FakeDialogs dialogs;
    fakes::RecordingProcess process;
    MemorySettingsStore store;
    fakes::FakeTextFiles files;
    fakes::FakeShell shell;
    fakes::FakeImages images;
    FakeRowFiles rows;
    SimulatedClock clock;
    SimulatedTimers timers;
    FakeCommands commands;
    FakeService service;
    std::string metrics;
    LoggerSession session;
    bool delivering = true;
    Frame frame{8000, 8000};
    std::optional<double> toneDbfs;  // a 1 kHz tone at this level instead of `frame`
    int64_t tonePhase = 0;
    int64_t frames = 0;  // due so far at the device's pace
};

std::string Field(const std::string& row, size_t index) {
    std::istringstream in(row);
    std::string field;
    for (size_t i = 0; i <= index && std::getline(in, field, ','); ++i) {
    }
    return field;
}

std::vector<std::string> Split(const std::string& row, char separator) {
    std::vector<std::string> fields;
    std::istringstream in(row);
    for (std::string field; std::getline(in, field, separator);) {
        fields.push_back(field);
    }
    return fields;
}

std::string Events(const std::vector<std::string>& rows) {
    std::string events;
    for (const std::string& row : rows) {
        const std::string event = row.substr(row.rfind(',') + 1);
        if (!event.empty() && event != "event") {
            events += (events.empty() ? "" : "|") + event;
        }
    }
    return events;
}

// Each row's time is one second after the row before it.
void ExpectOneRowPerSecond(const std::vector<std::string>& rows, int32_t offsetS) {
    std::optional<int64_t> last;
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::optional<int64_t> second = ParseRowSecond(Field(rows[i], 0), offsetS);
        ASSERT_TRUE(second) << rows[i];
        if (last) {
            EXPECT_EQ(*second, *last + 1) << rows[i];
        }
        last = second;
    }
}

TEST(LoggerSession, RowsSplitAtMidnightWithNoSecondLostOrDoubled) {
    // In a zone an hour ahead of UTC: the day is the local one.
    Session s(fakes::At(2026, 12, 9, 23, 59, 50));
    s.clock.UseZone(fakes::At(2026, 12, 9, 22, 59, 50).ms, [](int64_t) { return 3600; });
    ASSERT_TRUE(s.Start());
    s.Run(19'950);
    const auto before = s.Rows("2026-12-09");
    const auto after = s.Rows("2026-12-10");
    ASSERT_EQ(before.size(), 11u);  // header, 23:59:50 .. 23:59:59
    ASSERT_EQ(after.size(), 10u);   // header, 00:00:00 .. 00:00:08 (00:00:09 still runs)
    EXPECT_EQ(Field(before[1], 0), "2026-12-09T23:59:50+01:00");
    EXPECT_EQ(Field(before.back(), 0), "2026-12-09T23:59:59+01:00");
    EXPECT_EQ(Field(after[1], 0), "2026-12-10T00:00:00+01:00");
    EXPECT_EQ(after[0] + "\n", kDailyLogHeader);
    EXPECT_NE(Field(after[1], 1), "");
}

TEST(LoggerSession, TheRepeatedAutumnHourIsToldApart) {
    // Central Europe: back from +02:00 to +01:00 at 01:00 UTC on 25 October.
    const int64_t change = (ToLocalDateTime({2026, 10, 25, 1, 0, 0}).ms);
    Session s(fakes::At(2026, 10, 25, 2, 59, 55));
    s.clock.UseZone(change - 5000, [change](int64_t utc) { return utc < change ? 7200 : 3600; });
    ASSERT_TRUE(s.Start());
    s.Run(10'000);
    const auto rows = s.Rows("2026-10-25");
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(Field(rows[5], 0), "2026-10-25T02:59:59+02:00");
    EXPECT_EQ(Field(rows[6], 0), "2026-10-25T02:00:00+01:00");
    ExpectOneRowPerSecond(rows, 0);
}

TEST(LoggerSession, AlarmIsSetAfterExactlyItsTimeAndClearedOnce) {
    LoggerOptions o = Session::DefaultOptions();
    o.alarms.silence = AlarmRule{-50.0, 3000};
    Session s(fakes::At(2026, 12, 9, 12, 0, 0), o);
    ASSERT_TRUE(s.Start());
    s.Run(2'000);
    s.frame = Frame{0, 0};
    s.Run(2'990);
    EXPECT_TRUE(s.commands.runs.empty()) << "set before its 3 s";
    s.Run(60);
    EXPECT_EQ(s.commands.runs, std::vector<std::string>{"silence set"});
    s.Run(1'000);
    s.frame = Frame{8000, 8000};
    s.Run(10'000);  // the clear's command comes 10 s after the set's
    EXPECT_EQ(s.commands.runs, (std::vector<std::string>{"silence set", "silence clear"}));
    EXPECT_EQ(Events(s.Rows("2026-12-09")), "start|silence|silence clear");
}

// A level that hovers at the silence threshold. Stretches above it shorter
// than the clear hold keep the alarm set: one set and one clear. Without a
// hold every change is recorded, but the commands come 10 s apart at most,
// and a held change runs only if the state then differs from the last one
// commanded.
TEST(LoggerSession, AHoveringLevelIsHeldAndItsCommandsPaced) {
    struct Case {
        const char* what;
        uint32_t clearHoldMs;
        int64_t silentMs, loudMs;  // one cycle of the hovering, after 2 s of sound
        int cycles;
        std::vector<std::string> commands;  // "silence set 3": at 3 s and some ms
        size_t sets;                        // in the rows
    };
    const Case cases[] = {
        {"quiet 1.2 s, loud 0.8 s: never long enough to clear",
         2000,
         1200,
         800,
         30,
         {"silence set 3", "silence clear 63"},
         1},
        {"quiet and loud 1.5 s each, cleared at once: paced",
         0,
         1500,
         1500,
         20,
         {"silence set 3", "silence clear 13", "silence set 24", "silence clear 34",
          "silence set 45", "silence clear 55"},
         20},
    };
    for (const Case& c : cases) {
        LoggerOptions o = Session::DefaultOptions();
        o.alarms.silence = AlarmRule{-50.0, 1000};
        o.alarms.clearHoldMs = c.clearHoldMs;
        Session s(fakes::At(2026, 12, 9, 12, 0, 0), o);
        ASSERT_TRUE(s.Start());
        s.Run(2'000);
        for (int i = 0; i < c.cycles; ++i) {
            s.frame = Frame{0, 0};
            s.Run(c.silentMs);
            s.frame = Frame{8000, 8000};
            s.Run(c.loudMs);
        }
        s.Run(12'000);
        std::vector<std::string> commands;
        for (size_t i = 0; i < s.commands.runs.size(); ++i) {
            commands.push_back(s.commands.runs[i] + " " + std::to_string(s.commands.runSeconds[i]));
        }
        EXPECT_EQ(commands, c.commands) << c.what;
        // Every change is in the rows, each set and its clear once.
        const std::string events = Events(s.Rows("2026-12-09"));
        auto count = [&events](const std::string& what) {
            size_t n = 0;
            for (size_t at = events.find(what); at != std::string::npos;
                 at = events.find(what, at + 1)) {
                ++n;
            }
            return n;
        };
        EXPECT_EQ(count("silence clear"), c.sets) << c.what << ": " << events;
        EXPECT_EQ(count("silence"), 2 * c.sets) << c.what << ": " << events;
    }
}

// Sound level with a limit of 80 dB over a rolling minute, warning 3 dB
// below, on LAeq or on LCeq (a 1 kHz tone reads the same in both): 10 s of
// the tone at 70 dB, then 85 dB. The row whose peaks show the step shows it
// in its LAeq (the figures of the same blocks), the first row of the tone has
// its LAeq, the limit warns on its prediction first and turns to limit when
// the minute's breach is certain (10 s at 70 dB and n at 85 reach 80 dB over
// 60 s from n = 18.66), its own alarms and nothing else tell so, and /metrics
// serves the last row's figures and the limit's state.
TEST(LoggerSession, SoundLevelRowsAlarmsAndMetricsFollowTheTone) {
    struct Case {
        bool cWeighted;
        const char* warn;
        const char* limit;
        const char* other;  // the alarm of the other limit, never set
        const char* state;  // the limit's metric
    };
    for (const Case& c :
         {Case{false, "spl-warn", "spl-limit", "spl-c-", "\ntarnwick_spl_limit_state 2\n"},
          Case{true, "spl-c-warn", "spl-c-limit", "spl-warn",
               "\ntarnwick_spl_c_limit_state 2\n"}}) {
        SCOPED_TRACE(c.limit);
        LoggerOptions o = Session::DefaultOptions();
        o.soundLevel = true;
        Session s(fakes::At(2026, 12, 9, 12, 0, 0), o);
        TMeterSettings settings = fakes::PlainLevelSettings();
        settings.SplSensitivity = 100.0;
        (c.cWeighted ? settings.SplCLimit : settings.SplLimit) = 80.0;
        (c.cWeighted ? settings.SplCMinutes : settings.SplMinutes) = 1;
        s.toneDbfs = -30.0;
        ASSERT_TRUE(s.Start("", settings));
        s.Run(10'000);
        s.toneDbfs = -15.0;
        s.Run(25'000);

        const auto rows = s.Rows("2026-12-09");
        ASSERT_EQ(rows.size(), 36u);
        EXPECT_EQ(rows[0] + "\n", kDailyLogHeaderWithSoundLevel);
        EXPECT_NEAR(std::stod(Field(rows[1], 7)), 70.0, 0.1) << "the first row of the tone";
        for (size_t i = 1; i < rows.size(); ++i) {
            const bool loudPeaks =
                std::stod(Field(rows[i], 1)) > std::stod(Field(rows[1], 1)) + 10.0;
            const double laeq = std::stod(Field(rows[i], 7));
            EXPECT_EQ(loudPeaks, laeq > 70.5) << "peaks and LAeq of other blocks: " << rows[i];
            // LCpeak: the tone's peak, and the C filter's real ring at the step.
            EXPECT_LE(std::stod(Field(rows[i], 9)), (loudPeaks ? 85.0 : 70.0) + 3.5) << rows[i];
        }
        const std::string events = Events(rows) + "|";
        const size_t warn = events.find(std::string(c.warn) + "|");
        const size_t limit = events.find(std::string(c.limit) + "|");
        ASSERT_NE(warn, std::string::npos) << events;
        ASSERT_NE(limit, std::string::npos) << events;
        EXPECT_LT(warn, limit) << events;
        EXPECT_EQ(events.find(c.other), std::string::npos) << events;
        // The limit is certain with the 19th second at 85 dB, which ends at 29 s.
        for (size_t i = 1; i < rows.size(); ++i) {
            if (Events({rows[i]}) == c.limit) {
                EXPECT_EQ(Field(rows[i], 0), "2026-12-09T12:00:29+00:00");
                break;
            }
        }
        EXPECT_EQ(s.commands.runs.front(), std::string(c.warn) + " set");
        EXPECT_NE(std::find(s.commands.runs.begin(), s.commands.runs.end(),
                            std::string(c.limit) + " set"),
                  s.commands.runs.end());
        EXPECT_NE(s.metrics.find(c.state), std::string::npos) << s.metrics;
        EXPECT_NE(s.metrics.find("tarnwick_laeq_db{window=\"1s\"} 85.0\n"), std::string::npos)
            << s.metrics;
        EXPECT_NE(s.metrics.find("\ntarnwick_lcpeak_db 88.0\n"), std::string::npos) << s.metrics;
    }
}

// Bands: each row ends in the one-third octaves' Leq of its second, the
// tone's in its band, and /metrics serves them with their exposure.
TEST(LoggerSession, BandLevelsFollowTheEventInTheRowsAndInTheMetrics) {
    LoggerOptions o = Session::DefaultOptions();
    o.bands = BandWidth::kThirdOctave;
    o.onAlarm = "alarm";
    Session s(fakes::At(2026, 12, 9, 12, 0, 0), o);
    s.toneDbfs = -20.0;
    ASSERT_TRUE(s.Start());
    s.Run(5'000);
    const auto rows = s.Rows("2026-12-09");
    ASSERT_GE(rows.size(), 5u);
    EXPECT_EQ(rows[0].substr(0, std::string(kDailyLogHeader).size() - 1),
              std::string(kDailyLogHeader).substr(0, std::string(kDailyLogHeader).size() - 1));
    const std::vector<std::string> header = Split(rows[0], ',');
    ASSERT_EQ(header.size(), 9u + 29u) << rows[0];
    // Without a sensitivity the bands' columns say so.
    EXPECT_EQ(header[9], "leq_25hz_uncalibrated");
    EXPECT_EQ(header.back(), "leq_16000hz_uncalibrated");
    const size_t column = static_cast<size_t>(
        std::find(header.begin(), header.end(), "leq_1000hz_uncalibrated") - header.begin());
    EXPECT_NEAR(std::stod(Field(rows[3], column)), -20.0, 0.1) << rows[3];
    EXPECT_NE(s.metrics.find("tarnwick_band_leq_db{band=\"1000\"} -20.0"), std::string::npos)
        << s.metrics;
    EXPECT_NE(s.metrics.find("tarnwick_band_exposure_pascal_squared_seconds_total{band=\"1000\"}"),
              std::string::npos);
    // The tone stands out of its neighbours: the minute's last row says so
    // (after the start), and the tonal alarm is set, once.
    s.Run(57'000);
    const auto minute = s.Rows("2026-12-09");
    ASSERT_GE(minute.size(), 61u);
    EXPECT_EQ(Field(minute[59], 8), "");
    EXPECT_EQ(Field(minute[60], 8), "tonal 1000 Hz") << minute[60];
    EXPECT_EQ(s.commands.runs, std::vector<std::string>{"tonal set"});
}

TEST(LoggerSession, AStalledInputIsLostThenReopenedWithRowsEverySecond) {
    Session s(fakes::At(2026, 12, 9, 12, 0, 0));
    ASSERT_TRUE(s.Start());
    s.Run(3'000);
    s.delivering = false;  // a frozen server: the stream stays open, silent
    s.Run(4'990);
    EXPECT_TRUE(s.commands.runs.empty()) << "lost before 5 s without a block";
    s.Run(600);
    EXPECT_EQ(s.commands.runs, std::vector<std::string>{"input-lost set"});
    EXPECT_FALSE(s.session.metrics().inputOpen);
    s.delivering = true;
    s.Run(11'000);  // back within 5 s; its command 10 s after the loss's
    EXPECT_EQ(s.commands.runs, (std::vector<std::string>{"input-lost set", "input-lost clear"}));
    // systemctl status shows what is measured, or why not.
    ASSERT_EQ(s.service.statuses.size(), 3u);
    EXPECT_EQ(s.service.statuses[0], "Measuring input \"Built-in Audio Analog Stereo\"");
    EXPECT_EQ(s.service.statuses[1].rfind("Input lost: ", 0), 0u) << s.service.statuses[1];
    EXPECT_NE(s.service.statuses[1].find("; trying again every 5 s"), std::string::npos);
    EXPECT_EQ(s.service.statuses[2], s.service.statuses[0]);
    const auto rows = s.Rows("2026-12-09");
    ExpectOneRowPerSecond(rows, 0);
    EXPECT_EQ(Events(rows), "start|input lost|input back");
    // The seconds without blocks have no figures, never the last ones.
    EXPECT_EQ(rows[5].substr(rows[5].find(',')), ",,,,,,,0,");
}

TEST(LoggerSession, AMissingNamedInputIsNeverReplacedAndRecordsComeOnSchedule) {
    LoggerOptions o = Session::DefaultOptions();
    o.resultsFile = "/data/hall.csv";
    Session s(fakes::At(2026, 12, 9, 12, 0, 0), o);
    s.wave.names = {"Built-in Audio Analog Stereo", "Test Signal"};
    TMeterSettings settings = fakes::PlainLevelSettings();
    settings.SaveOnMinutes = true;
    settings.SaveMins = 1;
    ASSERT_TRUE(s.Start("USB Microphone", settings));
    EXPECT_EQ(s.wave.openedDevice, -1) << "another input was opened";
    EXPECT_EQ(s.service.ready, 1);
    s.Run(62'000);
    EXPECT_EQ(s.commands.runs, std::vector<std::string>{"input-lost set"});
    // The minute's record, written while nothing could be measured.
    const auto records = s.files.Lines("/data/hall.csv");
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records.back().substr(0, 18), "12:01:00,00:01:00,");
    s.wave.names.insert(s.wave.names.begin() + 1, "USB Microphone");
    s.Run(3'000);
    EXPECT_EQ(s.wave.openedDevice, 1);
    s.Run(2'000);
    const auto rows = s.Rows("2026-12-09");
    EXPECT_EQ(Events(rows), "input lost start|input back");
    EXPECT_EQ(Field(rows[2], 1), "");
    EXPECT_NE(Field(rows.back(), 1), "");
}

TEST(LoggerSession, ResultsAreAppendedAndADeletedDayLogComesBack) {
    LoggerOptions o = Session::DefaultOptions();
    o.resultsFile = "/data/hall.csv";
    Session s(fakes::At(2026, 12, 9, 12, 0, 0), o);
    // Begun on another day: the start date is no part of the comparison.
    const std::string earlier =
        "Test Name,\"Results \"\r\nStart Date,\"01 December 2026\"\r\n"
        "Channel,Stereo (Max of L or R)\r\n"
        "Time ,Duration ,Average,Over dB,Over % ,Under dB,Under %,Max dB\r\n"
        "14:45:00,00:15:00, -7.2,00:00:01,50.0,00:00:01,50.0,-4.3\r\n";
    s.files.contents["/data/hall.csv"] = earlier;
    s.rows.contents[std::string(kLogDir) + "/Tarnwick 2026-12-09.csv"] =
        std::string(kDailyLogHeader) + "2026-12-09T12:00:00+00:00,,,,,,,0,stop\n";
    ASSERT_TRUE(s.Start());
    EXPECT_EQ(s.files.contents["/data/hall.csv"], earlier);
    EXPECT_TRUE(s.files.claims.at("/data/hall.csv")) << "not claimed as its sole writer";
    s.Run(3'000);
    auto rows = s.Rows("2026-12-09");
    ASSERT_EQ(rows.size(), 4u) << "12:00:00 again after a restart within it";
    s.rows.contents.clear();
    s.Run(1'000);
    rows = s.Rows("2026-12-09");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0] + "\n", kDailyLogHeader);
    ASSERT_FALSE(s.dialogs.messages.empty());
    EXPECT_NE(s.dialogs.messages.back().text.find("was missing"), std::string::npos);
    // So does a deleted results file, at its next save.
    s.files.contents.erase("/data/hall.csv");
    s.session.app().SaveResultsNow();
    const auto records = s.files.Lines("/data/hall.csv");
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0], "Test Name,\"Results \"");
}

TEST(LoggerSession, AResultsFileAnotherProgramWritesIsRefused) {
    LoggerOptions o = Session::DefaultOptions();
    o.resultsFile = "/data/hall.csv";
    Session s(fakes::At(2026, 12, 9, 12, 0, 0), o);
    s.files.claimedElsewhere["/data/hall.csv"] = true;
    EXPECT_FALSE(s.Start());
    ASSERT_FALSE(s.dialogs.messages.empty());
    EXPECT_NE(s.dialogs.messages.back().text.find("/data/hall.csv"), std::string::npos);
}

// A capture stream of 10 ms blocks whose reader may stall: the device buffers
// up to `bufferMs` of audio and drops what comes beyond; a source may drop a
// stretch itself. The dropouts reported must add up to the audio lost, never
// to the time the reader stood still.
TEST(DropoutDetector, CountsTheAudioLostNotTheStall) {
    struct Case {
        const char* what;
        int64_t stallFromMs, stallMs;  // the reader stands still
        int64_t bufferMs;              // what the device holds meanwhile
        int64_t sourceGapFromMs, sourceGapMs;
        int64_t lostMs;  // expected
    };
    const Case cases[] = {
        {"a steady stream", 0, 0, 24'000, 0, 0, 0},
        {"a 3 s stall, all of it buffered", 20'000, 3'000, 24'000, 0, 0, 0},
        {"a 30 s stall, 24.1 s of it buffered", 20'000, 30'000, 24'100, 0, 0, 5'900},
        {"the source drops 1 s", 0, 0, 24'000, 20'000, 1'000, 1'000},
    };
    constexpr int64_t kBlockFrames = 441;
    for (const Case& c : cases) {
        DropoutDetector detector;
        int64_t buffered = 0;  // frames
        int64_t reported = 0;
        for (int64_t t = 0; t < 90'000; t += 10) {
            const bool gap = t >= c.sourceGapFromMs && t < c.sourceGapFromMs + c.sourceGapMs;
            if (!gap) {
                buffered = std::min(buffered + kBlockFrames, c.bufferMs * 441 / 10);
            }
            if (t >= c.stallFromMs && t < c.stallFromMs + c.stallMs) {
                continue;
            }
            while (buffered >= kBlockFrames) {
                buffered -= kBlockFrames;
                reported += detector.AddBlock(t, kBlockFrames, 44100, buffered);
            }
        }
        EXPECT_NEAR(reported, c.lostMs, 60) << c.what;
    }
}

}  // namespace
}  // namespace tarnwick
