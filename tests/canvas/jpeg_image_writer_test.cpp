#include "platform/jpeg_image_writer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tarnwick {
namespace {

// The meter picture's size: neither side a multiple of the encoder's blocks.
constexpr int32_t kWidth = 582, kHeight = 406;
constexpr int32_t kTile = 16;

struct Picture {
    int32_t width = 0, height = 0, stride = 0;
    std::vector<uint32_t> pixels;
    RasterImage Image() { return {pixels.data(), width, height, stride}; }
    uint32_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y * stride + x)]; }
};

// Flat tiles of saturated and mixed colours, aligned with the encoder's 16 x 16
// blocks. The top byte varies, as RGB32 leaves it undefined; `padding` makes
// the stride wider than the picture.
Picture Tiles(int32_t width, int32_t height, int32_t padding) {
    static const uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000,
                                        0x302A33, 0xFFFF00, 0x808080, 0x00C0FF, 0xC04000};
    Picture p{width, height, width + padding, {}};
    p.pixels.resize(static_cast<size_t>(p.stride * height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < p.stride; ++x) {
            const size_t tile = static_cast<size_t>(x / kTile + 3 * (y / kTile));
            p.pixels[static_cast<size_t>(y * p.stride + x)] =
                kColours[tile % std::size(kColours)] | (x % 2 ? 0xFF000000 : 0);
        }
    }
    return p;
}

class JpegImageWriterTest : public testing::Test {
protected:
    std::string Path(const char* name) const {
        return folder_.filePath(QString::fromLatin1(name)).toStdString();
    }
    QByteArray Read(const char* name) const {
        QFile file(QString::fromStdString(Path(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList Entries() const {
        return QDir(folder_.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder_;
    JpegImageWriter writer_;
};

TEST_F(JpegImageWriterTest, JpegKeepsColoursAndSize) {
    Picture picture = Tiles(kWidth, kHeight, 5);
    ASSERT_TRUE(writer_.WriteJpeg(Path("snap.jpg"), picture.Image(), 85).ok());
    const QImage read = QImage::fromData(Read("snap.jpg")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(read.size(), QSize(kWidth, kHeight));
    // The decoder interpolates colour across tile edges; inside the tiles the
    // picture comes back within rounding.
    int worst = 0;
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            if (x % kTile < 2 || x % kTile >= kTile - 2 || y % kTile < 2 ||
                y % kTile >= kTile - 2) {
                continue;
            }
            for (const int shift : {0, 8, 16}) {
                const int expected = static_cast<int>((picture.At(x, y) >> shift) & 0xFF);
                const int decoded = static_cast<int>((read.pixel(x, y) >> shift) & 0xFF);
                worst = std::max(worst, std::abs(decoded - expected));
            }
        }
    }
    EXPECT_LE(worst, 4);
}

TEST_F(JpegImageWriterTest, JpegIsBaselineAndFollowsQuality) {
    Picture picture = Tiles(kWidth, kHeight, 0);
    // A little noise, so that the quantisation tables matter to the size.
    for (size_t i = 0; i < picture.pixels.size(); i += 7) {
        picture.pixels[i] ^= 0x1F1F1F * (i % 3);
    }
    ASSERT_TRUE(writer_.WriteJpeg(Path("q85.jpg"), picture.Image(), 85).ok());
    ASSERT_TRUE(writer_.WriteJpeg(Path("q20.jpg"), picture.Image(), 20).ok());
    const QByteArray q85 = Read("q85.jpg");
    EXPECT_TRUE(q85.startsWith("\xFF\xD8"));  // start of image
    EXPECT_TRUE(q85.endsWith("\xFF\xD9"));    // end of image
    EXPECT_TRUE(q85.contains("\xFF\xC0"));    // baseline frame
    EXPECT_FALSE(q85.contains("\xFF\xC2"));   // no progressive frame
    EXPECT_LT(Read("q20.jpg").size(), q85.size());
}

TEST_F(JpegImageWriterTest, ReplacesAnOlderFileAndLeavesNothingElse) {
    Picture picture = Tiles(64, 48, 0);
    QFile old(QString::fromStdString(Path("snap.jpg")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(200000, 'x'));
    old.close();
    ASSERT_TRUE(writer_.WriteJpeg(Path("snap.jpg"), picture.Image(), 85).ok());
    ASSERT_TRUE(writer_.WritePng(Path("snap.png"), picture.Image()).ok());
    ASSERT_TRUE(writer_.WritePng(Path("snap.png"), picture.Image()).ok());
    EXPECT_EQ(Entries(), (QStringList{"snap.jpg", "snap.png"}));
    EXPECT_EQ(QImage::fromData(Read("snap.jpg")).size(), QSize(64, 48));
}

TEST_F(JpegImageWriterTest, FailuresReportTheSystemErrorAndLeaveNoFile) {
    Picture picture = Tiles(64, 48, 0);
    const std::string missing = Path("missing/snap.jpg");
    for (const FileResult& result : {writer_.WriteJpeg(missing, picture.Image(), 85),
                                     writer_.WritePng(missing, picture.Image())}) {
        EXPECT_EQ(result.error, ENOENT);
        EXPECT_EQ(result.message, std::strerror(ENOENT));
    }
    EXPECT_TRUE(Entries().isEmpty());

    // The picture cannot take a folder's place; the temporary file goes again.
    ASSERT_TRUE(QDir(folder_.path()).mkdir("taken.jpg"));
    EXPECT_EQ(writer_.WriteJpeg(Path("taken.jpg"), picture.Image(), 85).error, EISDIR);
    EXPECT_EQ(Entries(), QStringList{"taken.jpg"});

    EXPECT_EQ(writer_.WriteJpeg(Path("empty.jpg"), RasterImage{}, 85).error, EINVAL);
}

TEST_F(JpegImageWriterTest, PngIsLossless) {
    Picture picture = Tiles(37, 23, 3);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        picture.pixels[i] ^= static_cast<uint32_t>(i * 2654435761u) & 0x00FFFFFF;
    }
    ASSERT_TRUE(writer_.WritePng(Path("snap.png"), picture.Image()).ok());
    const QImage read = QImage::fromData(Read("snap.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(read.size(), QSize(37, 23));
    for (int32_t y = 0; y < 23; ++y) {
        for (int32_t x = 0; x < 37; ++x) {
            ASSERT_EQ(read.pixel(x, y), picture.At(x, y) | 0xFF000000) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace tarnwick
