#pragma once
// Port: writing the meter picture to an image file.

#include <cstdint>
#include <string>

#include "core/ports/text_files.h"
#include "core/ports/text_rasteriser.h"

namespace tarnwick {

class IImageWriter {
public:
    virtual ~IImageWriter() = default;
    // A baseline colour JPEG at `quality` (1..100), replacing any file of that name.
    // The pixels are RGB32 (0xFFRRGGBB). On failure the message is the system's.
    virtual FileResult WriteJpeg(const std::string& path, const RasterImage& image,
                                 int quality) = 0;
    // A lossless PNG.
    virtual FileResult WritePng(const std::string& path, const RasterImage& image) = 0;
};

}  // namespace tarnwick
