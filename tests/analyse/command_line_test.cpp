// The real tarnwick-analyse program: help, option errors, unusable recordings
// and results files that cannot be written, with their exit statuses.

#include <gtest/gtest.h>

#include <algorithm>

#include "analyse/analyse_test_support.h"

namespace tarnwick::analyse_test {
namespace {

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// One clear line on standard error, nothing on standard output, status 2.
void ExpectRejected(const AnalyserRun& run, const std::string& what) {
    EXPECT_EQ(run.status, kAnalyseBadInput) << what << ": " << run.err;
    EXPECT_EQ(LineCount(run.err), 1u) << what << ": " << run.err;
    EXPECT_EQ(run.err.rfind("tarnwick-analyse: ", 0), 0u) << what << ": " << run.err;
    EXPECT_EQ(run.err.back(), '\n') << what;
    EXPECT_EQ(run.out, "") << what;
}

TEST(AnalyserCommandLine, HelpListsEveryOption) {
    ScratchFolder folder;
    const AnalyserRun run = RunProgram({"--help"}, folder);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    for (const char* option : {"--channel",
                               "--integrate",
                               "--no-integrate",
                               "--sweep",
                               "--average-time",
                               "--calibration",
                               "--target1",
                               "--target2",
                               "--threshold",
                               "--ignore-threshold",
                               "--scale",
                               "--full-scale",
                               "--auto-start",
                               "--auto-level",
                               "--results",
                               "--test-name",
                               "--save-mins",
                               "--no-save-minutes",
                               "--save-hours",
                               "--no-save-on-stop",
                               "--start",
                               "--tick-start",
                               "--locale",
                               "--levels",
                               "--readouts",
                               "--help",
                               "--spl",
                               "--spl-log",
                               "--spl-calibrate",
                               "--spl-selftest",
                               "--spl-sensitivity",
                               "--spl-limit",
                               "INPUT"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
}

TEST(AnalyserCommandLine, BadValuesAreRejectedBeforeAnythingIsWritten) {
    ScratchFolder folder;
    const std::string input = folder.Path("silence.wav");
    const std::string results = folder.Path("r.txt");
    const std::string levels = folder.Path("l.csv");
    WriteRecording(input, Signal().Silence(kBlockFrames));
    const std::string mono = folder.Path("mono.wav");
    WriteRecording(mono, Mono().Silence(kBlockFrames));

    const std::vector<std::vector<std::string>> cases = {
        {"--bogus", input},
        {"--sweep", "0", input},
        {"--sweep", "61", input},
        {"--sweep", "ten", input},
        {"--scale", "9", input},
        {"--target1", "1", input},
        {"--save-mins", "0", input},
        {"--save-hours", "25", input},
        {"--channel", "foo", input},
        {"--start", "2026-02-30T00:00:00", input},
        {"--start", "2026-02-29T12:00:00", input},  // not a leap year
        {"--start", "2026-12-08 14:30:00", input},
        {"--start", "2026-12-08T24:00:00", input},
        {"--tick-start", "4294967296", input},
        {"--tick-start", "-1", input},
        {"--locale", "xx_YY", input},
        {"--readouts=yes", input},
        {input, "--sweep"},
        {},
        {input, input},
        {"--spl-log", "", input},
        {"--spl", "--spl-channel", "right", mono},
        {"--spl-calibrate", "150", input},
        {"--spl-calibrate", "94", input},        // beside other outputs
        {"--spl-selftest"},                      // likewise
        {"--spl", "--spl-limit", "100", input},  // a limit in dB SPL, levels uncalibrated
    };
    for (std::vector<std::string> args : cases) {
        std::string what;
        for (const std::string& a : args) {
            what += a + " ";
        }
        args.insert(args.begin(), {"--results", results, "--levels", levels});
        ExpectRejected(RunProgram(args, folder), what);
        EXPECT_FALSE(Exists(results)) << what;
        EXPECT_FALSE(Exists(levels)) << what;
    }
}

TEST(AnalyserCommandLine, UnusableRecordingsAreRejectedBeforeAnythingIsWritten) {
    ScratchFolder folder;
    const std::string results = folder.Path("r.csv");
    const std::string levels = folder.Path("l.csv");
    WriteRecording(folder.Path("8k.wav"), Signal().Silence(800), 8000);
    Signal three;
    three.channels = 3;
    WriteRecording(folder.Path("three.wav"), three.Silence(4410));
    WriteFile(folder.Path("garbage.wav"),
              std::string("RIFF\x10\0\0\0WAVEjunk", 16) + std::string(3000, '\x5a'));
    WriteFile(folder.Path("empty.wav"), "");
    std::filesystem::create_directory(folder.Path("folder.wav"));

    for (const char* name :
         {"8k.wav", "three.wav", "garbage.wav", "empty.wav", "folder.wav", "missing.wav"}) {
        ExpectRejected(
            RunProgram({"--results", results, "--levels", levels, folder.Path(name)}, folder),
            name);
        EXPECT_FALSE(Exists(results)) << name;
        EXPECT_FALSE(Exists(levels)) << name;
    }
}

TEST(AnalyserCommandLine, OutputsThatCannotBeWrittenFailWithStatusOne) {
    ScratchFolder folder;
    const std::string input = folder.Path("tone.wav");
    WriteRecording(input, Signal().Square(10 * kBlockFrames, 10000, 10000));
    std::filesystem::create_directory(folder.Path("taken.txt"));

    const std::vector<std::vector<std::string>> cases = {
        {"--results", folder.Path("taken.txt")},
        {"--results", folder.Path("no-such-folder/r.txt")},
        {"--levels", folder.Path("no-such-folder/l.csv")},
        {"--levels", "/dev/full"},
    };
    for (std::vector<std::string> args : cases) {
        const std::string what = args[0] + " " + args[1];
        args.push_back(input);
        const AnalyserRun run = RunProgram(args, folder);
        EXPECT_EQ(run.status, kAnalyseFailed) << what << ": " << run.err;
        EXPECT_EQ(LineCount(run.err), 1u) << what << ": " << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path("taken.txt")));
    EXPECT_FALSE(Exists(folder.Path("no-such-folder")));
}

TEST(AnalyserCommandLine, RecordThatCannotBeAppendedFailsWithStatusOneAndNoPartialLine) {
    ScratchFolder folder;
    const std::string input = folder.Path("tone.wav");
    const std::string results = folder.Path("r.txt");
    WriteRecording(input, Signal().Square(10 * kBlockFrames, 10000, 10000));
    const std::vector<std::string> args = {"--locale",  "en_GB", "--start", "2026-12-08T14:30:00",
                                           "--results", results, input};

    // The header alone, as a run without a save on stop leaves it.
    std::vector<std::string> headerOnly = args;
    headerOnly.insert(headerOnly.begin(), "--no-save-on-stop");
    ASSERT_EQ(RunProgram(headerOnly, folder).status, 0);
    const std::string header = ReadFile(results);
    ASSERT_FALSE(header.empty());

    // The file may not grow past its header (EFBIG, 27), or only by a few bytes of
    // the record (a short write, reported as a full device, 28).
    for (const auto& [extra, error] : {std::pair{0, "Error 27"}, std::pair{12, "Error 28"}}) {
        const AnalyserRun run = RunProgram(args, folder, header.size() + extra);
        EXPECT_EQ(run.status, kAnalyseFailed) << run.err;
        EXPECT_NE(run.err.find("Saving results failed"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(error), std::string::npos) << run.err;
        EXPECT_EQ(ReadFile(results), header) << "limit header + " << extra;
    }
}

TEST(AnalyserCommandLine, ProgramAndInProcessRunAgree) {
    ScratchFolder folder;
    const std::string input = folder.Path("tone.wav");
    WriteRecording(input, Signal().Square(kRate, 0, 20000).Square(kRate, 16384, 3000));
    const std::vector<std::string> options = {
        "--readouts", "--locale", "en_GB", "--start", "2026-12-08T14:30:00", "--channel", "sum"};

    std::vector<std::string> programArgs = options;
    programArgs.insert(programArgs.end(), {"--results", folder.Path("program.csv"), "--levels",
                                           folder.Path("program-levels.csv"), input});
    std::vector<std::string> inProcessArgs = options;
    inProcessArgs.insert(inProcessArgs.end(),
                         {"--results", folder.Path("in-process.csv"), "--levels",
                          folder.Path("in-process-levels.csv"), input});
    const AnalyserRun program = RunProgram(programArgs, folder);
    const AnalyserRun inProcess = Analyse(inProcessArgs);
    ASSERT_EQ(program.status, 0) << program.err;
    ASSERT_EQ(inProcess.status, 0) << inProcess.err;
    EXPECT_EQ(program.out, Replace(inProcess.out, "in-process.csv", "program.csv"));
    EXPECT_EQ(ReadFile(folder.Path("program.csv")), ReadFile(folder.Path("in-process.csv")));
    EXPECT_EQ(ReadFile(folder.Path("program-levels.csv")),
              ReadFile(folder.Path("in-process-levels.csv")));
}

}  // namespace
}  // namespace tarnwick::analyse_test
