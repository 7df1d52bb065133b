#pragma once
// The headers and records of the results files, as text. Every line ends in
// CR LF. Pure functions: the caller reads the clock, the statistics and the
// readout, and writes the text.

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

namespace tarnwick {

inline const std::string kLineEnd = "\r\n";

// The name of a channel mode as the headers write it ("Stereo (Max of L or R)").
std::string ChannelName(int32_t channel);

// Percentages and maxima: rounded to three significant digits, or to one decimal
// where that is coarser, written with one decimal (99.96 -> 100.0, -3.46 -> -3.5).
std::string FormatResultsNumber(double value, char32_t separator);

// A CSV field: written as it is, or between double-quotes with its quotes doubled
// when it holds a comma or a double-quote.
std::string CsvField(const std::string& text);

struct TResultsHeader {
    std::string testName;
    std::string longDate;  // the date the file is created, regional long format
    int32_t channel = 0;
    int32_t displayOffset = 0;
    int32_t upperVol = -10;
    int32_t lowerVol = -20;
    bool loudness = false;    // the records carry loudness columns
    bool soundLevel = false;  // the records carry sound level columns
    bool octaves = false;     // and, after them, octave-band columns
};

// The octave bands of the records, 63 Hz to 8 kHz: their nominal mid-band
// frequencies as the bands name them, and as the columns do.
inline constexpr const char* kRecordOctaves[] = {"63",   "125",  "250",  "500",
                                                 "1000", "2000", "4000", "8000"};
inline constexpr size_t kRecordOctaveCount = std::size(kRecordOctaves);

std::string TextHeader(const TResultsHeader& header);  // six lines
std::string CsvHeader(const TResultsHeader& header);   // four lines

// The first line where a results file and the header a run would write part,
// each without its line end: the file's (empty where the file ends first)
// and the run's.
struct THeaderDifference {
    std::string file;
    std::string run;
};
// Compares the start of a file (`fileStart`, at least its header) with
// `header` line by line, the "Start Date" line aside: a file begun on another
// day takes the records of the same test alike. So the text header compares
// the test name, channel, full scale and targets, the CSV header the test
// name, channel and the column line, which changes with the loudness and
// sound level columns. Nullopt when the file's records are of this header.
std::optional<THeaderDifference> CompareResultsHeader(const std::string& fileStart,
                                                      const std::string& header);

// What one record describes: the period since the previous save.
struct TResultsRecord {
    std::string timeOfDay;      // the save's local time, regional long format
    uint32_t periodMs = 0;      // length of the period
    int32_t overTargetMs = 0;   // time at or above target 1
    int32_t underTargetMs = 0;  // time at or below target 2, above the threshold
    std::string average;        // the run-time average readout's text, as shown
    int32_t systemMax = 0;      // amplitude
    int32_t displayOffset = 0;
    double calibration = 0.0;
    char32_t separator = U'.';
    // Loudness of the period, written only when asked for: LUFS, LU and dBTP;
    // minus infinity where it could not be measured.
    bool withLoudness = false;
    double loudness = 0.0;
    double loudnessRange = 0.0;
    double truePeak = 0.0;
    // Sound level of the period, written only when asked for: dB SPL (dB
    // re a full-scale sine while uncalibrated); minus infinity where nothing
    // was measured. An overloaded period says so beside its figures.
    bool withSoundLevel = false;
    double laeq = 0.0;
    double lafmax = 0.0;
    double lcpeak = 0.0;
    double la10 = 0.0;
    double la90 = 0.0;
    bool splOverloaded = false;
    bool splUncalibrated = false;
    // Each octave band's Leq of the period, 63 Hz to 8 kHz, with the sound
    // level, when asked for; minus infinity where nothing was measured.
    bool withOctaves = false;
    std::array<double, kRecordOctaveCount> octaveLeq{};
};

// "Time 14:45:00  Duration 00:15:00  Average 78.4dB  Over ... Max Peak 89.5dB",
// then "  Loudness -23.0LUFS  LRA 5.2LU  TP -1.3dBTP" when asked for, then
// "  LAeq 62.0dB  LAFmax 70.0dB  LCpeak 81.3dB  LA10 70.0dB  LA90 50.0dB" when
// asked for, followed by "  uncalibrated" and "  OVERLOAD" when they apply,
// then "  63Hz 55.0dB  125Hz 52.3dB ... 8kHz 31.0dB" when asked for.
std::string TextRecord(const TResultsRecord& record);
// "14:45:00,00:15:00, 78.4,00:01:23,9.2,00:00:10,1.2,-3.5" (maximum uncalibrated),
// then ",-23.0,5.2,-1.3" when asked for, then ",62.0,70.0,81.3,70.0,50.0," and
// the sound level note ("uncalibrated", "overload", both or nothing) when
// asked for, then ",55.0,52.3,...,31.0" of the octave bands when asked for.
std::string CsvRecord(const TResultsRecord& record);

}  // namespace tarnwick
