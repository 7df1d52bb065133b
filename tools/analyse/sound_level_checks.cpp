#include "tools/analyse/sound_level_checks.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/capture_format.h"
#include "core/mic_response.h"
#include "platform/posix_text_files.h"
#include "spl/calibration.h"
#include "spl/self_test.h"
#include "tools/analyse/analyser_run.h"
#include "tools/analyse/readout_figure.h"
#include "tools/analyse/recording_reader.h"

namespace tarnwick {
namespace {

// The reader's frames at 44100 Hz are read in stretches of this many and
// dropped: the calibration takes the recording's own samples.
constexpr int64_t kReadFrames = 8192;
// The sensitivity to 0.01 dB, as the window shows it and the calibration
// history keeps it.
constexpr int kSensitivityDecimals = 2;

// `SPL Channel`: 0 left, 1 right, 2 both.
MeasuredChannel ChannelOf(int32_t setting) {
    return setting == 1   ? MeasuredChannel::kRight
           : setting == 2 ? MeasuredChannel::kBoth
                          : MeasuredChannel::kLeft;
}

}  // namespace

int RunCalibration(const AnalyserOptions& options, std::FILE* out, std::FILE* err) {
    const char* input = options.input.c_str();
    RecordingReader reader(options.input);
    if (!reader.IsOpen()) {
        std::fprintf(err, "tarnwick-analyse: %s\n", reader.Error().c_str());
        return kAnalyseBadInput;
    }
    // The response in use, read and checked as the meter reads it.
    std::optional<MicResponse> response;
    if (const std::string& path = options.settings.SplResponseFile; !path.empty()) {
        std::string text;
        std::string error;
        const FileResult read = PosixTextFiles().ReadStart(path, kLargestMicResponseFile + 1, text);
        if (!read.ok()) {
            error = read.message;
        } else if (text.size() > kLargestMicResponseFile) {
            error = "larger than a microphone response file (1 MB)";
        } else {
            response = ParseMicResponse(text, error);
        }
        if (!response) {
            std::fprintf(err, "tarnwick-analyse: %s: %s\n", path.c_str(), error.c_str());
            return kAnalyseBadInput;
        }
    }
    SoundLevelSetup setup;
    setup.sampleRate = static_cast<unsigned long>(reader.SampleRate());
    setup.channels = static_cast<unsigned>(reader.Channels());
    setup.channel = ChannelOf(options.settings.SplChannel);
    if (const std::string error = SoundLevelMeter::SetupError(setup); !error.empty()) {
        std::fprintf(err, "tarnwick-analyse: %s: %s\n", input, error.c_str());
        return kAnalyseBadInput;
    }

    const auto longest =
        static_cast<size_t>(kLongestCalibrationS * reader.SampleRate()) * setup.channels;
    std::vector<float> samples;
    bool tooLong = false;
    reader.SetNativeListener([&](const float* stretch, size_t frames) {
        const size_t count = frames * setup.channels;
        tooLong = tooLong || samples.size() + count > longest;
        if (!tooLong) {
            samples.insert(samples.end(), stretch, stretch + count);
        }
    });
    std::vector<uint8_t> dropped(static_cast<size_t>(kReadFrames) * kBytesPerFrame);
    while (!tooLong && reader.Read(dropped.data(), kReadFrames) > 0) {
    }
    if (tooLong) {
        std::fprintf(err,
                     "tarnwick-analyse: %s: the recording is longer than a calibration takes "
                     "(%.0f s at most): record %.0f s to %.0f s of the calibrator's tone\n",
                     input, kLongestCalibrationS, kCalibrationSeconds, kLongestCalibrationS);
        return kAnalyseFailed;
    }
    if (reader.EndedEarly()) {
        std::fprintf(err,
                     "tarnwick-analyse: %s: warning: the recording ends before its header says; "
                     "its %lld frames were measured\n",
                     input, static_cast<long long>(reader.FramesRead()));
    }

    CalibrationRequest request;
    request.frames = samples;
    request.channels = setup.channels;
    request.channel = setup.channel;
    request.sampleRate = setup.sampleRate;
    request.referenceDb = *options.calibratorDb;
    request.previousSensitivityDb = options.settings.SplSensitivity;
    const CalibrationResult result = AnalyseCalibration(request);
    if (!result.accepted) {
        std::fprintf(err, "tarnwick-analyse: %s: %s\n", input, result.refusal.c_str());
        return kAnalyseFailed;
    }
    if (!result.warning.empty()) {
        std::fprintf(err, "tarnwick-analyse: %s: warning: %s\n", input, result.warning.c_str());
    }
    double sensitivity = result.sensitivityDb;
    if (response) {
        // As the window stores it: the corrected meter reads the calibrator.
        sensitivity = response->SensitivityFromCalibrator(sensitivity, kCalibratorHz);
    }
    std::fprintf(out, "Sensitivity\t%s\n",
                 ReadoutFigure(sensitivity, "dB", kSensitivityDecimals).c_str());
    if (response) {
        const std::string& path = options.settings.SplResponseFile;
        std::fprintf(out, "Response\t%s (crc %s)\n",
                     path.substr(path.find_last_of('/') + 1).c_str(), response->Checksum().c_str());
    }
    return kAnalyseOk;
}

int RunSelfTest(std::FILE* out) {
    const std::vector<SelfTestRow> rows = RunSoundLevelSelfTest();
    std::fputs(FormatSelfTestTable(rows).c_str(), out);
    return AllPassed(rows) ? kAnalyseOk : kAnalyseFailed;
}

}  // namespace tarnwick
