#pragma once
// Snapshot files: JPEG through libjpeg-turbo, PNG through QImage. Each file is
// encoded in memory, written to a temporary file beside the target and renamed
// over it only when complete, so a failed write never leaves half a picture and
// never harms an older file of the same name.

#include "core/ports/image_writer.h"

namespace tarnwick {

class JpegImageWriter : public IImageWriter {
public:
    // Baseline JPEG with libjpeg's default options (4:2:0 colour, standard
    // Huffman tables) and quality's quantisation tables limited to baseline.
    // Errors: the errno of the failing file operation; EINVAL for a picture
    // libjpeg cannot encode (empty, or wider or taller than 65500 pixels);
    // ENOMEM when the encoder runs out of memory.
    FileResult WriteJpeg(const std::string& path, const RasterImage& image, int quality) override;
    // Qt's built-in PNG encoder; works without a QGuiApplication.
    FileResult WritePng(const std::string& path, const RasterImage& image) override;
};

}  // namespace tarnwick
