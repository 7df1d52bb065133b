// Whole meter pictures after scripted runs, against golden images kept in
// tests/golden/. To regenerate them after a deliberate change of the picture:
//
//   TARNWICK_UPDATE_GOLDEN=1 build/tests/tarnwick_canvas_tests --gtest_filter='GoldenPicture*'
//
// A picture that differs is written beside the test program as
// golden-NAME-actual.png, with golden-NAME-diff.png marking the differing pixels
// in red, for a look before deciding.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "core/fakes.h"
#include "platform/jpeg_image_writer.h"
#include "platform/qt_text_rasteriser.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::Frame;

QImage PictureOf(const MeterBitmap& bitmap) {
    const QImage wrapped(reinterpret_cast<const uchar*>(bitmap.Picture()), kMeterWidth,
                         kMeterHeight, kMeterWidth * 4, QImage::Format_RGB32);
    return wrapped.copy();
}

void ExpectMatchesGolden(const QImage& actual, const std::string& name) {
    const std::string golden = std::string(TARNWICK_GOLDEN_DIR) + "/" + name + ".png";
    if (std::getenv("TARNWICK_UPDATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(actual.save(QString::fromStdString(golden), "PNG")) << golden;
        return;
    }
    const QImage expected =
        QImage(QString::fromStdString(golden)).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << "missing golden image " << golden;
    ASSERT_EQ(expected.size(), actual.size());
    QImage diff(actual.size(), QImage::Format_RGB32);
    diff.fill(Qt::black);
    int differing = 0;
    QPoint first;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            if (actual.pixel(x, y) != expected.pixel(x, y)) {
                if (differing++ == 0) {
                    first = QPoint(x, y);
                }
                diff.setPixel(x, y, qRgb(255, 0, 0));
            }
        }
    }
    if (differing > 0) {
        actual.save(QString::fromStdString("golden-" + name + "-actual.png"), "PNG");
        diff.save(QString::fromStdString("golden-" + name + "-diff.png"), "PNG");
    }
    EXPECT_EQ(differing, 0) << name << ": first difference at (" << first.x() << ", " << first.y()
                            << "); see golden-" << name << "-actual.png and -diff.png";
}

// A square wave: every block at a chosen magnitude, exactly the same on every
// machine.
Frame Square(int32_t i, int16_t left, int16_t right) {
    const bool high = (i / 50) % 2 == 0;
    return Frame{static_cast<int16_t>(high ? left : -left),
                 static_cast<int16_t>(high ? right : -right)};
}

class GoldenPicture : public testing::Test {
protected:
    // Runs `blocks` blocks of 20 ms during a test, each frame given by `frame`.
    void Run(const TMeterSettings& settings, int blocks,
             const std::function<Frame(int64_t block, int32_t i)>& frame) {
        harness.Create(settings);
        harness.app.StartStopButtonClick();
        for (int64_t b = 1; b <= blocks; ++b) {
            harness.timers.AdvanceTo(static_cast<uint64_t>(b) * 20);
            harness.wave.Deliver([&](int32_t i) { return frame(b, i); });
        }
    }

    QtTextRasteriser text;
    AppHarness harness{fakes::TestStartTime(), 5'000'000, &text};
};

TEST_F(GoldenPicture, Silence) {
    Run(DefaultSettings(), 600, [](int64_t, int32_t) { return Frame{}; });
    ExpectMatchesGolden(PictureOf(*harness.app.meterBitmap()), "silence");
}

TEST_F(GoldenPicture, SteadyToneBetweenTheTargets) {
    // -15 dBFS on both channels, after a second of silence.
    Run(DefaultSettings(), 600,
        [](int64_t block, int32_t i) { return block <= 50 ? Frame{} : Square(i, 5827, 5827); });
    ExpectMatchesGolden(PictureOf(*harness.app.meterBitmap()), "steady-tone");
}

TEST_F(GoldenPicture, StereoWithOneChannelLoud) {
    // Left at -30 dBFS, right at -6 dBFS rising to -3 dBFS in bursts.
    Run(DefaultSettings(), 600, [](int64_t block, int32_t i) {
        const int16_t right = (block / 100) % 2 == 0 ? 16423 : 23198;
        return Square(i, 1036, right);
    });
    ExpectMatchesGolden(PictureOf(*harness.app.meterBitmap()), "stereo-one-loud");
}

TEST_F(GoldenPicture, UserFullScaleLabels) {
    TMeterSettings settings = DefaultSettings();
    settings.Scale = kUserFullScale;
    settings.FullScale = 95;
    settings.ShowGrid = true;
    settings.FillPeaks = true;
    Run(settings, 300, [](int64_t block, int32_t i) {
        const auto level = static_cast<int16_t>(300 + 80 * (block % 97));
        return Square(i, level, static_cast<int16_t>(level / 2));
    });
    ExpectMatchesGolden(PictureOf(*harness.app.meterBitmap()), "user-full-scale");
}

TEST(SnapshotJpeg, DecodesToThePictureWithinJpegError) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("tarnwick-snapshot-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    QtTextRasteriser text;
    JpegImageWriter writer;
    AppHarness harness{fakes::TestStartTime(), 5'000'000, &text, &writer};
    harness.shell.documents = folder.string();
    harness.shell.existing = {folder.string() + "/Tarnwick/"};
    std::filesystem::create_directories(folder / "Tarnwick");
    harness.Create(DefaultSettings());
    harness.app.StartStopButtonClick();
    for (int b = 1; b <= 300; ++b) {
        harness.timers.AdvanceTo(static_cast<uint64_t>(b) * 20);
        harness.wave.Deliver(
            [b](int32_t i) { return Square(i, static_cast<int16_t>(40 * b), 3000); });
    }
    harness.app.TakeSnapshot();
    ASSERT_TRUE(harness.dialogs.messages.empty());

    const std::filesystem::path file = folder / "Tarnwick" / "08-12-2026 14-30-06.jpg";
    const QImage decoded =
        QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(decoded.width(), kMeterWidth);
    ASSERT_EQ(decoded.height(), kMeterHeight);
    const QImage picture = PictureOf(*harness.app.meterBitmap());
    double squaredError = 0;
    for (int y = 0; y < kMeterHeight; ++y) {
        for (int x = 0; x < kMeterWidth; ++x) {
            const QRgb a = decoded.pixel(x, y), b = picture.pixel(x, y);
            for (int shift : {0, 8, 16}) {
                const double d =
                    static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
                squaredError += d * d;
            }
        }
    }
    const double mse = squaredError / (3.0 * kMeterWidth * kMeterHeight);
    const double psnr = 10.0 * std::log10(255.0 * 255.0 / mse);
    // Quality 85 on a picture of flat areas and thin lines keeps well above 28 dB;
    // a wrong size, channel order or stride would fall far below it.
    EXPECT_GT(psnr, 28.0);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tarnwick
