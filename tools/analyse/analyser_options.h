#pragma once
// Command line of tarnwick-analyse.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "bands/band_plan.h"
#include "core/local_time.h"
#include "core/meter_settings.h"

namespace tarnwick {

struct AnalyserOptions {
    std::string input;
    // The settings the meter runs with: the defaults, changed by the options.
    TMeterSettings settings = DefaultSettings();
    std::string resultsFile;             // attached as Save As would; empty: none
    std::optional<LocalDateTime> start;  // local time of the first frame; default now
    uint32_t tickStart = 0;
    std::optional<std::string> locale;  // default: the user's
    std::string levelsFile;             // per-block level log; empty: none
    std::string snapshotFile;           // the meter picture at the end (.jpg, .png)
    bool readouts = false;
    bool loudness = false;          // print the test's loudness figures
    bool dualMono = false;          // a mono recording's loudness as heard from two loudspeakers
    std::string loudnessLogFile;    // one row per 100 ms of loudness; empty: none
    bool soundLevel = false;        // print the test's sound level figures
    std::string soundLevelLogFile;  // one row per second of sound level; empty: none
    // --spl-calibrate: the calibrator's level in dB SPL; the input is its
    // tone, measured for the sensitivity alone.
    std::optional<double> calibratorDb;
    bool selfTest = false;  // --spl-selftest: the self-test alone, no input
    // --bands: print each band's Leq over the recording, octave or
    // one-third-octave bands.
    std::optional<BandWidth> bands;
    char bandsWeighting = 'Z';     // --bands-weighting A, C or Z
    std::string bandsLogFile;      // one row of band levels a second; empty: none
    std::string bandsTableFile;    // one row of levels a band; empty: none
    double lowFrequencyDb = 20.0;  // LCeq - LAeq of a low-frequency minute
    bool bandsSelfTest = false;    // --bands-selftest: the bank's self-test alone, no input

    // Whether the run measures sound level: for the readouts, the log or the
    // results records.
    bool MeasuresSoundLevel() const {
        return soundLevel || !soundLevelLogFile.empty() || settings.SplInResults;
    }
};

struct AnalyserHelp {};  // --help was asked for

// Either the options, the help request, or a one-line error message.
using ParsedOptions = std::variant<AnalyserOptions, AnalyserHelp, std::string>;

ParsedOptions ParseAnalyserOptions(const std::vector<std::string>& args);

// Snapshot file names: .png is written lossless, .jpg and .jpeg as JPEG.
bool IsSnapshotName(const std::string& path);
bool SnapshotIsPng(const std::string& path);
bool SnapshotIsJpeg(const std::string& path);

// The text --help prints.
std::string AnalyserUsage();

}  // namespace tarnwick
