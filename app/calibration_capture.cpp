#include "app/calibration_capture.h"

#include <algorithm>
#include <cmath>

#include "core/capture_format.h"
#include "core/level_math.h"
#include "spl/calibration.h"

namespace tarnwick {

CalibrationCapture::CalibrationCapture(unsigned long sampleRate, double referenceDb,
                                       std::string input, MeasuredChannel channel)
    : sampleRate_(sampleRate),
      referenceDb_(referenceDb),
      input_(std::move(input)),
      channel_(channel),
      wanted_(
          static_cast<size_t>(std::ceil(kCalibrationSeconds * static_cast<double>(sampleRate)))),
      samples_(wanted_ * 2) {}

void CalibrationCapture::AddCaptureFrames(const uint8_t* bytes, size_t count) {
    const size_t taken = std::min(count, wanted_ - held_);
    float* out = samples_.data() + held_ * 2;
    for (size_t i = 0; i < taken * 2; ++i) {
        out[i] = static_cast<float>(ReadSample(bytes + i * 2)) / kFullScale;
    }
    held_ += taken;
}

}  // namespace tarnwick
