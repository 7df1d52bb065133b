#pragma once
// The true peak of a programme, as ITU-R BS.1770 Annex 2 measures it: the
// samples oversampled by a polyphase interpolator and the largest magnitude of
// the result taken. The interpolator is the windowed sinc that libebur128 uses
// (49 taps, Hann window, cut-off at the programme's Nyquist frequency), so its
// passband reaches the top of the band; the samples themselves are among its
// outputs, so a true peak never reads below the sample peak.
//
// Four times up to 64 kHz, twice at 88.2 and 96 kHz, not at all at 176.4 kHz
// and above: the oversampled rate is never below 176.4 kHz. Computed four
// outputs at a time: a minute of 48 kHz stereo costs about 10 ms, where
// libebur128's own interpolator takes 0.4 s and a resampler's passband ends
// short of the band's top.
//
// The interpolated values whose taps reach across the start of a stream (the
// silence before the first frame, or the last frames of another stream where
// an input was opened again) are not the programme's: they ring at the step
// the join makes, up to 1 dB above a steady sine. For the first frames of a
// stream only the samples themselves count.

#include <array>
#include <cstddef>
#include <vector>

namespace tarnwick {

class TruePeak {
public:
    // `channels`: 1 or 2.
    TruePeak(unsigned long sampleRate, unsigned channels);

    // 4, 2 or 1.
    unsigned Factor() const { return factor_; }
    // The oversampled values lag the programme by this many frames: those
    // that a call brings out belong to the frames from Delay() frames before
    // its first one.
    size_t Delay() const { return delay_; }

    // Interleaved samples, 1.0 being full scale; values beyond it are taken as
    // they are. Returns the largest magnitude among the oversampled values the
    // frames bring out. The values of a programme's last Delay() frames come
    // out with the silence after it.
    float Add(const float* samples, size_t frames);
    // A new stream starts with the next frame (an input opened again): the
    // values that would interpolate across the join do not count.
    void StartStream() { settle_ = history_; }

    // The coefficients of the interpolated phases, up to 24 taps each.
    static constexpr size_t kMaxTaps = 24;
    using Phases = std::array<std::array<float, kMaxTaps>, 3>;

private:
    static constexpr size_t kChunkFrames = 1024;

    float Interpolate(const float* line, size_t frames) const;

    unsigned channels_;
    unsigned factor_;
    size_t taps_;     // per phase
    size_t history_;  // frames kept from one call to the next: taps_ - 1
    size_t delay_;
    // Frames still to come whose interpolated values reach back across the
    // start of the stream: only their samples count.
    size_t settle_;
    // The coefficients of phases 1 .. factor_ - 1; phase 0 is the delayed
    // sample itself.
    Phases phases_{};
    // Per channel: the last history_ samples, then the samples of a chunk.
    std::array<std::vector<float>, 2> lines_;
};

}  // namespace tarnwick
