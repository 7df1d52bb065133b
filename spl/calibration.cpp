#include "spl/calibration.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/number_format.h"

namespace tarnwick {
namespace {

constexpr double kSettleSeconds = 1.0;
constexpr size_t kReadingsPerSecond = 10;  // of LAF, for the fluctuation
constexpr double kFullScaleMagnitude = 32767.0 / 32768.0;
// A rising zero crossing counts once the tone went below this share of its
// amplitude, so that noise near zero adds no crossings.
constexpr double kCrossingHysteresis = 0.25;

std::string Decimals(double value, int decimals) {
    return FormatFixed(value, 15, decimals, U'.');
}

// The measured signal: one channel, or the mean of two.
std::vector<double> MeasuredSignal(const CalibrationRequest& r, size_t from) {
    const size_t frames = r.frames.size() / r.channels;
    const unsigned first = r.channel == MeasuredChannel::kRight ? 1 : 0;
    std::vector<double> x(frames - from);
    for (size_t i = from; i < frames; ++i) {
        const float* frame = r.frames.data() + i * r.channels;
        x[i - from] =
            r.channel == MeasuredChannel::kBoth ? 0.5 * (frame[0] + frame[1]) : frame[first];
    }
    return x;
}

// The frequency of a steady tone from its rising zero crossings, placed
// between samples by linear interpolation; 0 without two crossings.
double ToneFrequency(const std::vector<double>& x, double sampleRate) {
    double meanSquare = 0.0;
    for (double v : x) {
        meanSquare += v * v;
    }
    const double threshold =
        kCrossingHysteresis * std::sqrt(2.0 * meanSquare / static_cast<double>(x.size()));
    bool armed = false;
    double first = 0.0;
    double last = 0.0;
    size_t crossings = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (x[i] < -threshold) {
            armed = true;
        } else if (armed && x[i - 1] < 0.0 && x[i] >= 0.0) {
            const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (crossings++ == 0) {
                first = t;
            }
            last = t;
            armed = false;
        }
    }
    if (crossings < 2 || last <= first) {
        return 0.0;
    }
    return static_cast<double>(crossings - 1) * sampleRate / (last - first);
}

}  // namespace

CalibrationResult AnalyseCalibration(const CalibrationRequest& r) {
    constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();
    CalibrationResult result;
    result.levelDb = kNotMeasured;
    result.frequencyHz = kNotMeasured;
    result.fluctuationDb = kNotMeasured;

    SoundLevelSetup setup;
    setup.sampleRate = r.sampleRate;
    setup.channels = r.channels;
    setup.channel = r.channel;
    std::string error = SoundLevelMeter::SetupError(setup);
    if (!error.empty()) {
        result.refusal = error;
        return result;
    }
    const size_t frames = r.frames.size() / r.channels;
    const double seconds = static_cast<double>(frames) / static_cast<double>(r.sampleRate);
    if (seconds < kCalibrationSeconds) {
        result.refusal = "Calibration needs " + Decimals(kCalibrationSeconds, 0) +
                         " s of the calibrator's tone; only " + Decimals(seconds, 1) +
                         " s were recorded.";
        return result;
    }
    for (size_t i = 0; i < r.frames.size(); ++i) {
        const unsigned channel = static_cast<unsigned>(i % r.channels);
        const bool measured = r.channel == MeasuredChannel::kBoth
                                  ? channel < 2
                                  : channel == (r.channel == MeasuredChannel::kRight ? 1u : 0u);
        if (measured && std::fabs(r.frames[i]) >= kFullScaleMagnitude) {
            result.refusal =
                "The input clips: turn its gain down until the calibrator's tone stays below "
                "full scale, then calibrate again.";
            return result;
        }
    }

    std::unique_ptr<SoundLevelMeter> meter = SoundLevelMeter::Create(setup, error);
    if (!meter) {
        result.refusal = error;
        return result;
    }
    const size_t settle = static_cast<size_t>(kSettleSeconds * static_cast<double>(r.sampleRate));
    meter->AddFrames(r.frames.data(), settle);
    meter->RestartTest();
    const size_t step = r.sampleRate / kReadingsPerSecond;
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -std::numeric_limits<double>::infinity();
    for (size_t at = settle; at < frames; at += step) {
        const size_t n = std::min(step, frames - at);
        meter->AddFrames(r.frames.data() + at * r.channels, n);
        lowest = std::min(lowest, meter->Laf());
        highest = std::max(highest, meter->Laf());
    }
    result.levelDb = meter->Test().lceq;
    if (!(result.levelDb >= kQuietestCalibrationDb)) {
        result.refusal = "The tone reads " +
                         (std::isfinite(result.levelDb) ? Decimals(result.levelDb, 1) + " dB"
                                                        : std::string("nothing")) +
                         " re full scale, too quiet to calibrate on (at least " +
                         Decimals(kQuietestCalibrationDb, 0) +
                         " dB): is the calibrator on the microphone, switched on, and this "
                         "input selected?";
        return result;
    }

    result.frequencyHz =
        ToneFrequency(MeasuredSignal(r, settle), static_cast<double>(r.sampleRate));
    if (std::fabs(result.frequencyHz - kCalibratorHz) >
        kCalibratorFrequencyTolerance * kCalibratorHz) {
        result.refusal = "The tone is at " + Decimals(result.frequencyHz, 1) +
                         " Hz; a calibrator gives 1000 Hz (within 2 %). Is this the "
                         "calibrator's tone?";
        return result;
    }

    result.fluctuationDb = highest - lowest;
    if (!(result.fluctuationDb <= kCalibrationFluctuationDb)) {
        result.refusal = "The level varied by " + Decimals(result.fluctuationDb, 2) +
                         " dB (F time weighting, at most " +
                         Decimals(kCalibrationFluctuationDb, 1) +
                         " dB): seat the calibrator firmly, keep the room quiet and calibrate "
                         "again.";
        return result;
    }

    result.accepted = true;
    result.sensitivityDb = r.referenceDb - result.levelDb;
    if (r.previousSensitivityDb &&
        std::fabs(result.sensitivityDb - *r.previousSensitivityDb) > kCalibrationChangeDb) {
        result.warning = "This calibration differs by " +
                         Decimals(result.sensitivityDb - *r.previousSensitivityDb, 1) +
                         " dB from the last one of this input (" +
                         Decimals(*r.previousSensitivityDb, 1) +
                         " dB): check the microphone, its cable and the calibrator.";
    }
    return result;
}

}  // namespace tarnwick
