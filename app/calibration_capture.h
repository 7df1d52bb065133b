#pragma once
// CalibrationCapture: the calibrator's tone as the input delivers it, kept
// for the calibration analysis (spl/calibration.h). It takes the frames of
// capture blocks, 16-bit stereo, until it holds kCalibrationSeconds of them,
// and converts them to the analysis's samples (1.0 is full scale). Its memory
// is taken once, when it is made: 5 s of stereo at the capture rate, 1.7 MB.
//
// Who calls when: the owner feeds the frames each block really holds, in
// order, from the block pipeline; frames beyond the 5 s are ignored.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "spl/sound_level_meter.h"

namespace tarnwick {

class CalibrationCapture {
public:
    // `referenceDb`: the calibrator's level in dB SPL; `input`: the name of
    // the input measured, whose sensitivity the result is; `channel`: the
    // microphone's channel of it.
    CalibrationCapture(unsigned long sampleRate, double referenceDb, std::string input,
                       MeasuredChannel channel);

    // Frames packed as a capture block holds them (core/capture_format.h).
    void AddCaptureFrames(const uint8_t* bytes, size_t count);

    bool Complete() const { return held_ == wanted_; }
    // 0 at the start, 1 when complete.
    double Progress() const { return static_cast<double>(held_) / static_cast<double>(wanted_); }

    // Interleaved stereo, as the analysis takes it.
    std::span<const float> Frames() const { return {samples_.data(), held_ * 2}; }
    unsigned long SampleRate() const { return sampleRate_; }
    double ReferenceDb() const { return referenceDb_; }
    const std::string& Input() const { return input_; }
    MeasuredChannel Channel() const { return channel_; }

private:
    unsigned long sampleRate_;
    double referenceDb_;
    std::string input_;
    MeasuredChannel channel_;
    size_t wanted_;  // frames
    size_t held_ = 0;
    std::vector<float> samples_;
};

}  // namespace tarnwick
