// Snapshots of the meter picture, and the folders the user works with.

#include <algorithm>

#include "app/meter_app.h"

namespace tarnwick {
namespace {

inline const std::string kFolderMessageCaption = " Calvenor";

// File names cannot hold the separators of dates and times.
std::string SnapshotFileName(std::string dateTime) {
    std::replace(dateTime.begin(), dateTime.end(), ':', '-');
    std::replace(dateTime.begin(), dateTime.end(), '/', '-');
    return dateTime + ".jpg";
}

}  // namespace

bool MeterApp::CheckFolder(const std::string& folder) {
    if (ports_.shell.DirectoryExists(folder)) {
        return true;
    }
    ports_.dialogs.MessageBox("Folder does not exist -  " + folder, kFolderMessageCaption);
    return false;
}

bool MeterApp::CheckSnapshotFolder() {
    return CheckFolder(snapshotFolder_);
}

void MeterApp::TakeSnapshot() {
    if (bitmap_ == nullptr) {
        return;
    }
    const std::string path = snapshotFolder_ + SnapshotFileName(DateTimeText(ports_.clock.Now()));
    // The stamp stays on the live picture and scrolls away with the graph.
    bitmap_->SetBrushStyle(BrushStyle::kClear);
    bitmap_->Font().colour = settings_.Scolor ^ 0xFFFFFFu;
    bitmap_->Font().pointSize = 8;
    bitmap_->TextOut(30, 16, DateTimeText(ports_.clock.Now()));
    if (!CheckSnapshotFolder()) {
        return;
    }
    const RasterImage picture{const_cast<uint32_t*>(bitmap_->Picture()), kMeterWidth, kMeterHeight,
                              kMeterWidth};
    const FileResult written = ports_.images.WriteJpeg(path, picture, kSnapshotJpegQuality);
    if (!written.ok()) {
        ports_.dialogs.MessageBox(written.message, kApplicationTitle);
    }
}

void MeterApp::TakeLoudnessSnapshot(const RasterImage& picture) {
    if (!CheckSnapshotFolder()) {
        return;
    }
    const std::string path =
        snapshotFolder_ + "Loudness " + SnapshotFileName(DateTimeText(ports_.clock.Now()));
    const FileResult written = ports_.images.WriteJpeg(path, picture, kSnapshotJpegQuality);
    if (!written.ok()) {
        ports_.dialogs.MessageBox(written.message, kApplicationTitle);
    }
}

void MeterApp::ChooseSnapshotFolder1Click() {
    if (const std::optional<std::string> chosen =
            ports_.dialogs.ChooseFolder(kChooseSnapshotFolderCaption, snapshotFolder_)) {
        snapshotFolder_ = *chosen + "/";
    }
}

void MeterApp::ExploreFolder1Click() {
    if (CheckSnapshotFolder()) {
        ports_.shell.Explore(snapshotFolder_);
    }
}

void MeterApp::ExploreResultsFolder1Click() {
    if (CheckFolder(settings_.Folder)) {
        ports_.shell.Explore(settings_.Folder);
    }
}

}  // namespace tarnwick
