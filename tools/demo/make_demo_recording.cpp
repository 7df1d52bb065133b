// Writes SECONDS of the built-in test signal to a 16-bit stereo WAV file.

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/test_signal.h"
#include "core/capture_format.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: tarnwick-demo-recording OUT.wav [SECONDS]\n");
        return 2;
    }
    const long seconds = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 60;
    if (seconds <= 0 || seconds > 24 * 3600) {
        std::fprintf(stderr, "tarnwick-demo-recording: SECONDS must be 1 to 86400\n");
        return 2;
    }
    SF_INFO info{};
    info.samplerate = tarnwick::kSampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "tarnwick-demo-recording: %s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    tarnwick::TestSignal signal;
    std::vector<uint8_t> bytes(static_cast<size_t>(tarnwick::kSampleRate) * 4);
    std::vector<short> samples(static_cast<size_t>(tarnwick::kSampleRate) * 2);
    for (long s = 0; s < seconds; ++s) {
        signal.Fill(bytes.data(), tarnwick::kSampleRate);
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<short>(tarnwick::ReadSample(&bytes[2 * i]));
        }
        if (sf_writef_short(file, samples.data(), tarnwick::kSampleRate) != tarnwick::kSampleRate) {
            std::fprintf(stderr, "tarnwick-demo-recording: %s: %s\n", argv[1], sf_strerror(file));
            sf_close(file);
            return 1;
        }
    }
    return sf_close(file) == 0 ? 0 : 1;
}
