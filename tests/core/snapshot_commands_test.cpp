// Snapshots of the meter picture and the folder commands, through a MeterApp
// with fake ports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/pixel_checks.h"
#include "fakes.h"

namespace tarnwick {
namespace {

constexpr uint32_t kBackground = 0x203040;
constexpr uint32_t kInverse = 0xDFCFBF;  // kBackground xor 0xFFFFFF
const std::string kSnapshotFolder = "/home/operator/Documents/Tarnwick/";

struct Meter {
    explicit Meter(LocalDateTime start) : harness(start) {
        TMeterSettings s = fakes::PlainLevelSettings();
        s.Scolor = kBackground;
        s.Folder = "/srv/results/";
        harness.Create(s);
    }
    MeterApp& app() { return harness.app; }
    const MeterBitmap& bm() { return *harness.app.meterBitmap(); }
    std::vector<std::string> Written() const {
        std::vector<std::string> paths;
        for (const fakes::FakeImages::Written& w : harness.images.written) {
            paths.push_back(w.path);
        }
        return paths;
    }

    fakes::AppHarness harness;
};

TEST(Snapshot, NamedAfterTheDateAndTimeWithSeparatorsReplaced) {
    Meter m(fakes::At(2026, 12, 8, 14, 32, 5, 250));
    m.app().TakeSnapshot();
    m.harness.AdvanceTo(600);  // 14:32:05.850, the same second
    m.app().TakeSnapshot();
    m.harness.AdvanceTo(750);
    m.app().TakeSnapshot();
    EXPECT_EQ(m.Written(), (std::vector<std::string>{kSnapshotFolder + "08-12-2026 14-32-05.jpg",
                                                     kSnapshotFolder + "08-12-2026 14-32-05.jpg",
                                                     kSnapshotFolder + "08-12-2026 14-32-06.jpg"}));
    for (const fakes::FakeImages::Written& w : m.harness.images.written) {
        EXPECT_EQ(w.quality, 85);
    }
    // The whole picture, stamp included, as it stands.
    const std::vector<uint32_t>& last = m.harness.images.written.back().pixels;
    ASSERT_EQ(last.size(), static_cast<size_t>(kMeterWidth * kMeterHeight));
    EXPECT_TRUE(std::equal(last.begin(), last.end(), m.bm().Picture()));
    EXPECT_EQ(last[17 * kMeterWidth + 31], ToRgb32(kInverse));
    EXPECT_TRUE(m.harness.dialogs.messages.empty());
}

TEST(Snapshot, AtMidnightTheDateAlone) {
    Meter m(fakes::At(2026, 12, 9, 0, 0));
    m.app().TakeSnapshot();
    m.harness.AdvanceTo(1);
    m.app().TakeSnapshot();
    EXPECT_EQ(m.Written(), (std::vector<std::string>{kSnapshotFolder + "09-12-2026.jpg",
                                                     kSnapshotFolder + "09-12-2026 00-00-00.jpg"}));
}

TEST(Snapshot, StampInTheInverseOfTheBackgroundAtEightPoints) {
    Meter m(fakes::At(2026, 12, 8, 14, 32, 5));
    // A block paints the bars and leaves a solid brush, which the stamp must not use.
    m.harness.BlockAt(20, fakes::Frame{1000, 1000});
    m.app().TakeSnapshot();
    // "08/12/2026 14:32:05" in 4 x 9 box cells from (30, 16), without a
    // background: boxes at columns 31-32, 35-36, ..., rows 17-23.
    for (int32_t i = 0; i < 19; ++i) {
        const uint32_t glyph = i == 10 ? kBackground : kInverse;  // the blank
        EXPECT_TRUE(AllOf(m.bm(), {31 + 4 * i, 17, 33 + 4 * i, 24}, glyph)) << i;
        EXPECT_TRUE(AllOf(m.bm(), {33 + 4 * i, 16, 35 + 4 * i, 25}, kBackground)) << i;
    }
    EXPECT_TRUE(AllOf(m.bm(), {30, 16, 106, 17}, kBackground));
    EXPECT_TRUE(AllOf(m.bm(), {30, 24, 106, 25}, kBackground));
    EXPECT_TRUE(AllOf(m.bm(), {106, 16, 120, 25}, kBackground));
}

TEST(Snapshot, MissingFolderIsReportedAndTheStampStays) {
    Meter m(fakes::At(2026, 12, 8, 14, 32, 5));
    m.harness.shell.existing.clear();
    m.app().TakeSnapshot();
    EXPECT_TRUE(m.Written().empty());
    ASSERT_EQ(m.harness.dialogs.messages.size(), 1u);
    EXPECT_EQ(m.harness.dialogs.messages[0].text, "Folder does not exist -  " + kSnapshotFolder);
    EXPECT_EQ(m.harness.dialogs.messages[0].caption, " Calvenor");
    EXPECT_TRUE(AllOf(m.bm(), {31, 17, 33, 24}, kInverse));
}

TEST(Snapshot, WriterFailureIsShown) {
    Meter m(fakes::At(2026, 12, 8, 14, 32, 5));
    m.harness.images.failure = {13, "Permission denied"};
    m.app().TakeSnapshot();
    ASSERT_EQ(m.harness.dialogs.messages.size(), 1u);
    EXPECT_EQ(m.harness.dialogs.messages[0].text, "Permission denied");
    EXPECT_EQ(m.harness.dialogs.messages[0].caption, "Tarnwick");
}

TEST(SnapshotFolders, ChooseAppendsASeparatorAndCancelKeepsTheFolder) {
    Meter m(fakes::At(2026, 12, 8, 14, 32, 5));
    EXPECT_EQ(m.app().SnapshotFolder(), kSnapshotFolder);
    m.app().ChooseSnapshotFolder1Click();  // cancelled
    EXPECT_EQ(m.app().SnapshotFolder(), kSnapshotFolder);

    m.harness.dialogs.folderAnswer = "/media/card";
    m.harness.shell.existing.push_back("/media/card/");
    m.app().ChooseSnapshotFolder1Click();
    EXPECT_EQ(m.harness.dialogs.folderStarts,
              (std::vector<std::string>{kSnapshotFolder, kSnapshotFolder}));
    EXPECT_EQ(m.harness.dialogs.folderCaptions.back(), "Choose Snapshot Folder");
    EXPECT_EQ(m.app().SnapshotFolder(), "/media/card/");
    m.app().TakeSnapshot();
    EXPECT_EQ(m.Written(), (std::vector<std::string>{"/media/card/08-12-2026 14-32-05.jpg"}));

    // The root gives two separators in a row, which the file system reads as one.
    m.harness.dialogs.folderAnswer = "/";
    m.app().ChooseSnapshotFolder1Click();
    EXPECT_EQ(m.app().SnapshotFolder(), "//");
}

TEST(SnapshotFolders, ExploreCommandsCheckTheirFolders) {
    Meter m(fakes::At(2026, 12, 8, 14, 32, 5));
    m.app().ExploreFolder1Click();
    m.app().ExploreResultsFolder1Click();  // /srv/results/ does not exist
    EXPECT_EQ(m.harness.shell.explored, (std::vector<std::string>{kSnapshotFolder}));
    ASSERT_EQ(m.harness.dialogs.messages.size(), 1u);
    EXPECT_EQ(m.harness.dialogs.messages[0].text, "Folder does not exist -  /srv/results/");
    EXPECT_EQ(m.harness.dialogs.messages[0].caption, " Calvenor");

    m.harness.shell.existing = {"/srv/results/"};
    m.app().ExploreResultsFolder1Click();
    m.app().ExploreFolder1Click();
    EXPECT_EQ(m.harness.shell.explored,
              (std::vector<std::string>{kSnapshotFolder, "/srv/results/"}));
    ASSERT_EQ(m.harness.dialogs.messages.size(), 2u);
    EXPECT_EQ(m.harness.dialogs.messages[1].text, "Folder does not exist -  " + kSnapshotFolder);
}

TEST(StartMark, InTheInverseOfTheBackgroundAtTheRightEdge) {
    Meter m(fakes::At(2026, 12, 8, 14, 32, 5));
    m.app().StartStopButtonClick();
    // From (509, 392) up to (509, 14), the end point left out.
    EXPECT_TRUE(AllOf(m.bm(), {509, 15, 510, 393}, kInverse));
    EXPECT_TRUE(AllOf(m.bm(), {509, 393, 510, 396}, kBackground));
    EXPECT_TRUE(AllOf(m.bm(), {509, 12, 510, 15}, kBackground));
    EXPECT_TRUE(AllOf(m.bm(), {508, 12, 509, 396}, kBackground));
    EXPECT_TRUE(AllOf(m.bm(), {510, 12, 511, 396}, kBackground));
}

}  // namespace
}  // namespace tarnwick
