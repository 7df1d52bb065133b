#include "results/results_records.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/level_math.h"
#include "core/number_format.h"
#include "results/duration_format.h"

namespace tarnwick {
namespace {

std::string Percent(int32_t partMs, uint32_t periodMs, char32_t separator) {
    // Two saves due at the same block make a period of 0 ms: nothing of it was
    // over or under a target.
    if (periodMs == 0) {
        return FormatResultsNumber(0.0, separator);
    }
    return FormatResultsNumber(static_cast<double>(partMs) / periodMs * 100.0, separator);
}

// Loudness and sound level figures: one decimal; "-inf" for a period too
// quiet or too short.
std::string OneDecimal(double value, char32_t separator) {
    return std::isfinite(value) ? FormatFixed(value, 15, 1, separator) : "-inf";
}

// What a sound level record must be read with: levels relative to full
// scale, or a clipped signal.
std::string SoundLevelNote(const TResultsRecord& r) {
    std::string note = r.splUncalibrated ? "uncalibrated" : "";
    if (r.splOverloaded) {
        note += note.empty() ? "overload" : " overload";
    }
    return note;
}

// "  63Hz 55.0dB  125Hz 52.3dB ... 1kHz ... 8kHz 31.0dB".
std::string TextOctaves(const TResultsRecord& r) {
    static const char* const kNames[] = {"63Hz", "125Hz", "250Hz", "500Hz",
                                         "1kHz", "2kHz",  "4kHz",  "8kHz"};
    std::string text;
    for (size_t b = 0; b < kRecordOctaveCount; ++b) {
        text +=
            std::string("  ") + kNames[b] + " " + OneDecimal(r.octaveLeq[b], r.separator) + "dB";
    }
    return text;
}

std::string CsvOctaves(const TResultsRecord& r) {
    std::string fields;
    for (const double level : r.octaveLeq) {
        fields += "," + CsvField(OneDecimal(level, r.separator));
    }
    return fields;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        out.push_back(c);
        if (c == '"') {
            out.push_back('"');
        }
    }
    out.push_back('"');
    return out;
}

}  // namespace

std::string ChannelName(int32_t channel) {
    static const std::array<const char*, 5> kNames = {"Stereo (Max of L or R)", "Left", "Right",
                                                      "Sum", "Difference"};
    return channel >= 0 && channel < 5 ? kNames[static_cast<size_t>(channel)] : kNames[0];
}

std::string FormatResultsNumber(double value, char32_t separator) {
    return FormatCoarser(value, 3, 1, separator);
}

std::string CsvField(const std::string& text) {
    return text.find_first_of(",\"") == std::string::npos ? text : Quoted(text);
}

std::string TextHeader(const TResultsHeader& h) {
    return "Test Name    " + h.testName + kLineEnd +              //
           "Start Date   " + h.longDate + kLineEnd +              //
           "Channel      " + ChannelName(h.channel) + kLineEnd +  //
           "Full Scale   " + std::to_string(h.displayOffset) + "dB" + kLineEnd + "Target 1    " +
           std::to_string(h.upperVol + h.displayOffset) + "dB" + kLineEnd + "Target 2    " +
           std::to_string(h.lowerVol + h.displayOffset) + "dB" + kLineEnd;
}

std::string CsvHeader(const TResultsHeader& h) {
    return "Test Name," + Quoted(h.testName) + kLineEnd +   //
           "Start Date," + Quoted(h.longDate) + kLineEnd +  //
           "Channel," + ChannelName(h.channel) + kLineEnd +
           "Time ,Duration ,Average,Over dB,Over % ,Under dB,Under %,Max dB" +
           (h.loudness ? ",Loudness LUFS,LRA LU,True Peak dBTP" : "") +
           (h.soundLevel ? ",LAeq dB,LAFmax dB,LCpeak dB,LA10 dB,LA90 dB,Sound Level Note" : "") +
           (h.soundLevel && h.octaves ? ",63 Hz dB,125 Hz dB,250 Hz dB,500 Hz dB,1 kHz dB,2 kHz dB,"
                                        "4 kHz dB,8 kHz dB"
                                      : "") +
           kLineEnd;
}

std::optional<THeaderDifference> CompareResultsHeader(const std::string& fileStart,
                                                      const std::string& header) {
    static const std::string kStartDate = "Start Date";
    size_t fileAt = 0;
    for (size_t at = 0; at < header.size();) {
        const size_t end = std::min(header.find(kLineEnd, at), header.size());
        const std::string run = header.substr(at, end - at);
        // Only a whole line of the file counts: one cut short differs.
        const size_t fileEnd = fileStart.find(kLineEnd, fileAt);
        const std::string file = fileEnd == std::string::npos
                                     ? std::string()
                                     : fileStart.substr(fileAt, fileEnd - fileAt);
        const bool same =
            run.rfind(kStartDate, 0) == 0 ? file.rfind(kStartDate, 0) == 0 : file == run;
        if (fileEnd == std::string::npos || !same) {
            return THeaderDifference{file, run};
        }
        at = end + kLineEnd.size();
        fileAt = fileEnd + kLineEnd.size();
    }
    return std::nullopt;
}

std::string TextRecord(const TResultsRecord& r) {
    const double maxDb = AmplitudeToDb(r.systemMax, 0.0) + r.displayOffset + r.calibration;
    return "Time " + r.timeOfDay +                                                      //
           "  Duration " + FormatRecordDuration(r.periodMs) +                           //
           "  Average" + r.average + "dB" +                                             //
           "  Over " + FormatRecordDuration(static_cast<uint32_t>(r.overTargetMs)) +    //
           " =" + Percent(r.overTargetMs, r.periodMs, r.separator) + "%" +              //
           "  Under " + FormatRecordDuration(static_cast<uint32_t>(r.underTargetMs)) +  //
           " =" + Percent(r.underTargetMs, r.periodMs, r.separator) + "%" +             //
           "  Max Peak " + FormatResultsNumber(maxDb, r.separator) + "dB" +
           (r.withLoudness ? "  Loudness " + OneDecimal(r.loudness, r.separator) + "LUFS  LRA " +
                                 OneDecimal(r.loudnessRange, r.separator) + "LU  TP " +
                                 OneDecimal(r.truePeak, r.separator) + "dBTP"
                           : "") +
           (r.withSoundLevel ? "  LAeq " + OneDecimal(r.laeq, r.separator) + "dB  LAFmax " +
                                   OneDecimal(r.lafmax, r.separator) + "dB  LCpeak " +
                                   OneDecimal(r.lcpeak, r.separator) + "dB  LA10 " +
                                   OneDecimal(r.la10, r.separator) + "dB  LA90 " +
                                   OneDecimal(r.la90, r.separator) + "dB" +
                                   (r.splUncalibrated ? "  uncalibrated" : "") +
                                   (r.splOverloaded ? "  OVERLOAD" : "")
                             : "") +
           (r.withSoundLevel && r.withOctaves ? TextOctaves(r) : "") + kLineEnd;
}

std::string CsvRecord(const TResultsRecord& r) {
    const double maxDb = AmplitudeToDb(r.systemMax, 0.0);
    return CsvField(r.timeOfDay) + "," +                                         //
           FormatRecordDuration(r.periodMs) + "," +                              //
           CsvField(r.average) + "," +                                           //
           FormatRecordDuration(static_cast<uint32_t>(r.overTargetMs)) + "," +   //
           CsvField(Percent(r.overTargetMs, r.periodMs, r.separator)) + "," +    //
           FormatRecordDuration(static_cast<uint32_t>(r.underTargetMs)) + "," +  //
           CsvField(Percent(r.underTargetMs, r.periodMs, r.separator)) + "," +   //
           CsvField(FormatResultsNumber(maxDb, r.separator)) +
           (r.withLoudness ? "," + CsvField(OneDecimal(r.loudness, r.separator)) + "," +
                                 CsvField(OneDecimal(r.loudnessRange, r.separator)) + "," +
                                 CsvField(OneDecimal(r.truePeak, r.separator))
                           : "") +
           (r.withSoundLevel
                ? "," + CsvField(OneDecimal(r.laeq, r.separator)) + "," +
                      CsvField(OneDecimal(r.lafmax, r.separator)) + "," +
                      CsvField(OneDecimal(r.lcpeak, r.separator)) + "," +
                      CsvField(OneDecimal(r.la10, r.separator)) + "," +
                      CsvField(OneDecimal(r.la90, r.separator)) + "," + SoundLevelNote(r)
                : "") +
           (r.withSoundLevel && r.withOctaves ? CsvOctaves(r) : "") + kLineEnd;
}

}  // namespace tarnwick
