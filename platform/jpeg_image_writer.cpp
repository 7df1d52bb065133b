#include "platform/jpeg_image_writer.h"

#include "platform/posix_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace tarnwick {
namespace {

// Creates a new, hidden file beside `path` with the user's usual permissions.
// Returns the descriptor, or -1 with errno set.
int CreateTemporary(const std::string& path, std::string& temporary) {
    static unsigned counter = 0;
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temporary = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                    std::to_string(counter++) + ".tmp";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// Replaces the file at `path` with `size` bytes, all or nothing.
FileResult ReplaceFile(const std::string& path, const unsigned char* data, size_t size) {
    std::string temporary;
    const int fd = CreateTemporary(path, temporary);
    if (fd < 0) {
        return FileFailure(errno);
    }
    int error = WriteAll(fd, data, size);
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return FileFailure(error);
    }
    return {};
}

// libjpeg reports a fatal error through error_exit, which must not return; its
// own ends the process. Ours jumps back into EncodeJpeg.
struct EncoderError {
    jpeg_error_mgr manager;  // first member: libjpeg sees only this part
    std::jmp_buf resume;
};

[[noreturn]] void ResumeAfterError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<EncoderError*>(cinfo->err)->resume, 1);
}

// Warnings would go to stderr; the picture is written regardless.
void DiscardMessage(j_common_ptr) {}

// One row of RGB32 (0xFFRRGGBB) as the R, G, B bytes libjpeg takes.
void ToRgbRow(const uint32_t* pixels, int32_t width, JSAMPLE* row) {
    for (int32_t x = 0; x < width; ++x) {
        const uint32_t p = pixels[x];
        row[3 * x] = static_cast<JSAMPLE>((p >> 16) & 0xFF);
        row[3 * x + 1] = static_cast<JSAMPLE>((p >> 8) & 0xFF);
        row[3 * x + 2] = static_cast<JSAMPLE>(p & 0xFF);
    }
}

void CompressRows(jpeg_compress_struct& cinfo, const RasterImage& image, JSAMPLE* row) {
    while (cinfo.next_scanline < cinfo.image_height) {
        ToRgbRow(image.pixels + static_cast<size_t>(cinfo.next_scanline) * image.stride,
                 image.width, row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
}

// Encodes into a buffer that libjpeg allocates with malloc and the caller frees
// (also after a failure). Returns 0 or an errno value. Between setjmp and a
// jump this function creates no object with a destructor, so the jump skips no
// clean-up; `row` is owned by the caller for the same reason.
int EncodeJpeg(const RasterImage& image, int quality, JSAMPLE* row, unsigned char** out,
               unsigned long* size) {
    jpeg_compress_struct cinfo;
    EncoderError error;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = ResumeAfterError;
    error.manager.output_message = DiscardMessage;
    if (setjmp(error.resume) != 0) {
        const int code = error.manager.msg_code == JERR_OUT_OF_MEMORY ? ENOMEM : EINVAL;
        jpeg_destroy_compress(&cinfo);
        return code;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    CompressRows(cinfo, image, row);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

bool Usable(const RasterImage& image) {
    return image.pixels != nullptr && image.width > 0 && image.height > 0 &&
           image.stride >= image.width;
}

}  // namespace

FileResult JpegImageWriter::WriteJpeg(const std::string& path, const RasterImage& image,
                                      int quality) {
    if (!Usable(image)) {
        return FileFailure(EINVAL);
    }
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width) * 3);
    unsigned char* encoded = nullptr;
    unsigned long size = 0;
    const int error = EncodeJpeg(image, quality, row.data(), &encoded, &size);
    const FileResult result = error == 0 ? ReplaceFile(path, encoded, size) : FileFailure(error);
    std::free(encoded);
    return result;
}

FileResult JpegImageWriter::WritePng(const std::string& path, const RasterImage& image) {
    if (!Usable(image)) {
        return FileFailure(EINVAL);
    }
    const QImage wrapped(reinterpret_cast<const uchar*>(image.pixels), image.width, image.height,
                         static_cast<qsizetype>(image.stride) * sizeof(uint32_t),
                         QImage::Format_RGB32);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!wrapped.save(&buffer, "PNG")) {
        return FileFailure(ENOMEM);  // writing to memory fails only for want of it
    }
    return ReplaceFile(path, reinterpret_cast<const unsigned char*>(encoded.constData()),
                       static_cast<size_t>(encoded.size()));
}

}  // namespace tarnwick
