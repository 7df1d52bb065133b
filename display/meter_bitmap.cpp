#include "display/meter_bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tarnwick {
namespace {

constexpr int32_t kGraphLeft = kGraphArea.x1;
constexpr int32_t kGraphTop = kGraphArea.y1;
constexpr int32_t kGraphColumns = kGraphArea.x2 - kGraphArea.x1;  // 500
constexpr int32_t kGraphRows = kGraphArea.y2 - kGraphArea.y1;     // 384
// Columns of the strip: the graph's 500 and room for 524 scrolls before the
// window has to move back to the start of the strip.
constexpr int32_t kStripWidth = 1024;

constexpr uint32_t kWhite = 0xFFFFFFFFu;

bool InGraph(int32_t x, int32_t y) {
    return x >= kGraphArea.x1 && x < kGraphArea.x2 && y >= kGraphArea.y1 && y < kGraphArea.y2;
}

}  // namespace

MeterBitmap::MeterBitmap(ITextRasteriser& text)
    : text_(text),
      pixels_(static_cast<size_t>(kMeterWidth) * kMeterHeight, kWhite),
      strip_(static_cast<size_t>(kStripWidth) * kGraphRows, kWhite) {}

void MeterBitmap::SetBrushColour(uint32_t colour) {
    brushColour_ = ToRgb32(colour);
    brushStyle_ = BrushStyle::kSolid;
}

void MeterBitmap::SetClip(const TRect& clip) {
    clipped_ = true;
    clip_ = clip;
}

void MeterBitmap::RemoveClip() {
    clipped_ = false;
}

uint32_t* MeterBitmap::At(int32_t x, int32_t y) {
    if (InGraph(x, y)) {
        laidOut_ = false;
        return &strip_[static_cast<size_t>((y - kGraphTop) * kStripWidth + offset_ + x -
                                           kGraphLeft)];
    }
    return &pixels_[static_cast<size_t>(y * kMeterWidth + x)];
}

const uint32_t* MeterBitmap::At(int32_t x, int32_t y) const {
    if (InGraph(x, y)) {
        return &strip_[static_cast<size_t>((y - kGraphTop) * kStripWidth + offset_ + x -
                                           kGraphLeft)];
    }
    return &pixels_[static_cast<size_t>(y * kMeterWidth + x)];
}

uint32_t MeterBitmap::Pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= kMeterWidth || y >= kMeterHeight) {
        return 0;
    }
    if (overlay_.shown) {
        const TRect a = GraphOverlayArea();
        if (x >= a.x1 && x < a.x2 && y >= a.y1 && y < a.y2) {
            return GraphOverlayPixels()[static_cast<size_t>((y - a.y1) * (a.x2 - a.x1) + x - a.x1)];
        }
    }
    return *At(x, y);
}

bool MeterBitmap::Visible(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= kMeterWidth || y >= kMeterHeight) {
        return false;
    }
    return !clipped_ || (x >= clip_.x1 && x < clip_.x2 && y >= clip_.y1 && y < clip_.y2);
}

void MeterBitmap::Plot(int32_t x, int32_t y, uint32_t pixel) {
    if (Visible(x, y)) {
        *At(x, y) = pixel;
    }
}

TRect MeterBitmap::Clipped(const TRect& r) const {
    TRect c{std::max(r.x1, 0), std::max(r.y1, 0), std::min(r.x2, kMeterWidth),
            std::min(r.y2, kMeterHeight)};
    if (clipped_) {
        c = {std::max(c.x1, clip_.x1), std::max(c.y1, clip_.y1), std::min(c.x2, clip_.x2),
             std::min(c.y2, clip_.y2)};
    }
    return c;
}

// Columns x1..x2-1 of row y, already clipped, split where the graph area begins
// and ends.
void MeterBitmap::FillRow(int32_t y, int32_t x1, int32_t x2, uint32_t pixel) {
    const bool graphRow = y >= kGraphArea.y1 && y < kGraphArea.y2;
    int32_t x = x1;
    while (x < x2) {
        int32_t end = x2;
        if (graphRow && x < kGraphArea.x1) {
            end = std::min(end, kGraphArea.x1);
        } else if (graphRow && x < kGraphArea.x2) {
            end = std::min(end, kGraphArea.x2);
        }
        std::fill_n(At(x, y), end - x, pixel);
        x = end;
    }
}

void MeterBitmap::Touch(const TRect& r) {
    const TRect c{std::max(r.x1, 0), std::max(r.y1, 0), std::min(r.x2, kMeterWidth),
                  std::min(r.y2, kMeterHeight)};
    if (c.x1 >= c.x2 || c.y1 >= c.y2) {
        return;
    }
    if (dirty_.x1 >= dirty_.x2 || dirty_.y1 >= dirty_.y2) {
        dirty_ = c;
        return;
    }
    dirty_ = {std::min(dirty_.x1, c.x1), std::min(dirty_.y1, c.y1), std::max(dirty_.x2, c.x2),
              std::max(dirty_.y2, c.y2)};
}

PictureChanges MeterBitmap::TakeChanges() const {
    const PictureChanges changes{scrolled_, dirty_};
    scrolled_ = 0;
    dirty_ = {};
    return changes;
}

void MeterBitmap::FillRect(const TRect& r) {
    ++revision_;
    if (brushStyle_ == BrushStyle::kClear) {
        return;
    }
    const TRect c = Clipped(r);
    Touch(c);
    if (c.x1 >= c.x2 || c.y1 >= c.y2) {
        return;
    }
    const bool besideGraph = c.x2 <= kGraphArea.x1 || c.x1 >= kGraphArea.x2 ||
                             c.y2 <= kGraphArea.y1 || c.y1 >= kGraphArea.y2;
    if (besideGraph) {
        // The bars and the frame: plain rows of the picture, filled without
        // asking for each row where it lives.
        uint32_t* row = &pixels_[static_cast<size_t>(c.y1 * kMeterWidth + c.x1)];
        for (int32_t y = c.y1; y < c.y2; ++y, row += kMeterWidth) {
            std::fill_n(row, c.x2 - c.x1, brushColour_);
        }
        return;
    }
    for (int32_t y = c.y1; y < c.y2; ++y) {
        FillRow(y, c.x1, c.x2, brushColour_);
    }
}

void MeterBitmap::MoveTo(int32_t x, int32_t y) {
    penX_ = x;
    penY_ = y;
}

void MeterBitmap::LineTo(int32_t x, int32_t y) {
    ++revision_;
    const int32_t x0 = penX_, y0 = penY_;
    penX_ = x;
    penY_ = y;
    // The line's box, with the wide pen's pixel to the left and above.
    Touch(Clipped(
        TRect{std::min(x0, x) - 1, std::min(y0, y) - 1, std::max(x0, x) + 1, std::max(y0, y) + 1}));
    const int32_t dx = std::abs(x - x0), dy = std::abs(y - y0);
    const int32_t sx = x > x0 ? 1 : -1, sy = y > y0 ? 1 : -1;
    const bool steep = dy > dx;
    const int32_t major = steep ? dy : dx;
    const int32_t minor = steep ? dx : dy;
    if (major == 0 && penWidth_ >= 2) {
        // A wide pen leaves a dot where a line goes nowhere, so a level that
        // holds still still shows as a line on the graph.
        Plot(x0, y0, penColour_);
        Plot(x0 - 1, y0, penColour_);
        return;
    }
    // Every pixel from the start up to the end point, which is left out; the
    // minor coordinate steps at the midpoints, halves rounding up.
    for (int32_t k = 0; k < major; ++k) {
        const int32_t m = static_cast<int32_t>((2LL * k * minor + major) / (2LL * major));
        const int32_t px = steep ? x0 + sx * m : x0 + sx * k;
        const int32_t py = steep ? y0 + sy * k : y0 + sy * m;
        Plot(px, py, penColour_);
        if (penWidth_ >= 2) {
            if (steep) {
                Plot(px - 1, py, penColour_);
            } else {
                Plot(px, py - 1, penColour_);
            }
        }
    }
}

void MeterBitmap::CopyRect(const TRect& dest, const TRect& source) {
    ++revision_;
    const int32_t w = source.x2 - source.x1, h = source.y2 - source.y1;
    if (w <= 0 || h <= 0) {
        return;
    }
    Touch(Clipped(TRect{dest.x1, dest.y1, dest.x1 + w, dest.y1 + h}));
    std::vector<uint32_t> copy(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            copy[static_cast<size_t>(y * w + x)] = Pixel(source.x1 + x, source.y1 + y);
        }
    }
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            Plot(dest.x1 + x, dest.y1 + y, copy[static_cast<size_t>(y * w + x)]);
        }
    }
}

void MeterBitmap::ScrollGraphLeft() {
    ++revision_;
    ++scrolled_;
    if (overlay_.shown) {
        Touch(GraphOverlayArea());  // a window's scrolled copy carries the text along
    }
    // Changed pixels inside the moving columns move one column to the left.
    const bool overlapsGraph = dirty_.x1 < dirty_.x2 && dirty_.y1 < dirty_.y2 &&
                               dirty_.x2 > kGraphLeft + 1 && dirty_.x1 <= kGraphArea.x2 - 1 &&
                               dirty_.y1 < kGraphArea.y2 && dirty_.y2 > kGraphArea.y1;
    if (overlapsGraph && dirty_.x1 > kGraphLeft) {
        dirty_.x1 = std::max(dirty_.x1 - 1, kGraphLeft);
    }
    if (offset_ + kGraphColumns >= kStripWidth) {
        for (int32_t row = 0; row < kGraphRows; ++row) {
            uint32_t* line = &strip_[static_cast<size_t>(row * kStripWidth)];
            std::memmove(line, line + offset_, sizeof(uint32_t) * kGraphColumns);
        }
        offset_ = 0;
    }
    // Column 510 is not part of the copy and keeps its pixels.
    for (int32_t row = 0; row < kGraphRows; ++row) {
        uint32_t* line = &strip_[static_cast<size_t>(row * kStripWidth + offset_)];
        line[kGraphColumns] = line[kGraphColumns - 1];
    }
    ++offset_;
    laidOut_ = false;
}

TextSize MeterBitmap::TextExtent(const std::string& text) {
    return text_.Measure(font_, text);
}

void MeterBitmap::TextOut(int32_t x, int32_t y, const std::string& text) {
    ++revision_;
    const TextSize size = text_.Measure(font_, text);
    const TRect cell = Clipped(TRect{x, y, x + size.width, y + size.height});
    const int32_t w = cell.x2 - cell.x1, h = cell.y2 - cell.y1;
    if (w <= 0 || h <= 0) {
        return;
    }
    Touch(cell);
    // The text is drawn on a copy of the pixels under its visible part, which
    // then goes back: glyphs are blended with what lies beneath them.
    std::vector<uint32_t> area(static_cast<size_t>(w) * h);
    for (int32_t row = 0; row < h; ++row) {
        for (int32_t col = 0; col < w; ++col) {
            area[static_cast<size_t>(row * w + col)] = *At(cell.x1 + col, cell.y1 + row);
        }
    }
    const RasterImage image{area.data(), w, h, w};
    std::optional<uint32_t> background;
    if (brushStyle_ == BrushStyle::kSolid) {
        background = FromRgb32(brushColour_);
    }
    text_.Draw(image, x - cell.x1, y - cell.y1, font_, text, background);
    for (int32_t row = 0; row < h; ++row) {
        for (int32_t col = 0; col < w; ++col) {
            *At(cell.x1 + col, cell.y1 + row) = area[static_cast<size_t>(row * w + col)];
        }
    }
}

const uint32_t* MeterBitmap::GraphPixels() const {
    return &strip_[static_cast<size_t>(offset_)];
}

int32_t MeterBitmap::GraphStride() {
    return kStripWidth;
}

const uint32_t* MeterBitmap::Picture() const {
    if (!laidOut_) {
        for (int32_t row = 0; row < kGraphRows; ++row) {
            std::memcpy(&pixels_[static_cast<size_t>((kGraphTop + row) * kMeterWidth + kGraphLeft)],
                        &strip_[static_cast<size_t>(row * kStripWidth + offset_)],
                        sizeof(uint32_t) * kGraphColumns);
        }
        if (overlay_.shown) {
            const TRect a = GraphOverlayArea();
            const int32_t width = a.x2 - a.x1;
            const uint32_t* composed = GraphOverlayPixels();
            for (int32_t y = a.y1; y < a.y2; ++y) {
                std::memcpy(&pixels_[static_cast<size_t>(y * kMeterWidth + a.x1)],
                            composed + static_cast<size_t>((y - a.y1) * width),
                            sizeof(uint32_t) * static_cast<size_t>(width));
            }
        }
        laidOut_ = true;
    }
    return pixels_.data();
}

void MeterBitmap::SetGraphOverlay(int32_t x, int32_t y, const TRect& clip,
                                  const std::string& text) {
    if (overlay_.shown) {
        Touch(GraphOverlayArea());
    }
    overlay_ = {true,
                x,
                y,
                TRect{std::max(clip.x1, kGraphArea.x1), std::max(clip.y1, kGraphArea.y1),
                      std::min(clip.x2, kGraphArea.x2), std::min(clip.y2, kGraphArea.y2)},
                text,
                font_};
    ++revision_;
    laidOut_ = false;
    Touch(GraphOverlayArea());
}

void MeterBitmap::ClearGraphOverlay() {
    if (!overlay_.shown) {
        return;
    }
    Touch(GraphOverlayArea());
    overlay_ = Overlay{};
    ++revision_;
    laidOut_ = false;
}

TRect MeterBitmap::GraphOverlayArea() const {
    return {kGraphArea.x1, overlay_.clip.y1, kGraphArea.x2,
            std::max(overlay_.clip.y1, overlay_.clip.y2)};
}

const uint32_t* MeterBitmap::GraphOverlayPixels() const {
    if (overlayRevision_ != revision_) {
        overlayRevision_ = revision_;
        const TRect a = GraphOverlayArea();
        const int32_t width = a.x2 - a.x1;
        const int32_t rows = a.y2 - a.y1;
        overlayPixels_.resize(static_cast<size_t>(width) * static_cast<size_t>(rows));
        for (int32_t row = 0; row < rows; ++row) {
            std::memcpy(
                &overlayPixels_[static_cast<size_t>(row * width)],
                &strip_[static_cast<size_t>((a.y1 - kGraphTop + row) * kStripWidth + offset_)],
                sizeof(uint32_t) * static_cast<size_t>(width));
        }
        // The text is drawn onto the clip's part of those rows only.
        const TRect& c = overlay_.clip;
        if (c.x1 < c.x2 && c.y1 < c.y2) {
            const RasterImage part{
                &overlayPixels_[static_cast<size_t>((c.y1 - a.y1) * width + c.x1 - a.x1)],
                c.x2 - c.x1, c.y2 - c.y1, width};
            text_.Draw(part, overlay_.x - c.x1, overlay_.y - c.y1, overlay_.font, overlay_.text,
                       std::nullopt);
        }
    }
    return overlayPixels_.data();
}

}  // namespace tarnwick
