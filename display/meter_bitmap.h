#pragma once
// MeterBitmap: the 582 x 406 meter picture (graph, bars and scale) and the raster
// canvas that draws it.
//
// Pixels are laid out as QImage's RGB32 (0xFFRRGGBB); colours are given as
// 0x00BBGGRR. The canvas follows one set of rules, which decide every pixel:
// - a rectangle (x1, y1)-(x2, y2) covers columns x1..x2-1 and rows y1..y2-1;
// - a line paints its start point and every pixel up to its end, not the end;
//   a line of no length paints nothing, except with a pen of width 2, which
//   leaves its two pixels at the start point;
// - a pen of width 2 paints a second pixel beside each one of the line: to the
//   left on a steep line (vertical included), above on a flat one (horizontal
//   included);
// - pen, brush and font persist between operations until changed; setting a
//   brush colour makes a clear brush solid;
// - text with a clear brush leaves the background, with a solid brush the text
//   cell is filled first;
// - every drawing is clipped to the clip rectangle, when one is set, and to the
//   bitmap.
//
// The graph area scrolls by one column per block. Its columns live in a wider
// strip whose window moves, so a scroll moves no pixels; Picture() lays the
// window out into the picture when it is shown or saved. Every pixel read back
// is the one a plain pixel-by-pixel scroll would give.

#include <cstdint>
#include <string>
#include <vector>

#include "core/ports/text_rasteriser.h"

namespace tarnwick {

constexpr int32_t kMeterWidth = 582;
constexpr int32_t kMeterHeight = 406;

struct TRect {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The graph area, and the part of it a scroll moves.
constexpr TRect kGraphArea{11, 12, 511, 396};

enum class BrushStyle { kSolid, kClear };

// What changed in the picture since a window last showed it: the graph moved
// left by `scrolledColumns` (as ScrollGraphLeft does, that many times), and
// every other pixel that may differ lies inside `dirty` (empty when x1 >= x2).
// A window that scrolls its copy of the graph area and then repaints `dirty`
// from Picture() shows the picture exactly.
struct PictureChanges {
    int32_t scrolledColumns = 0;
    TRect dirty;
};

// 0x00BBGGRR to RGB32, and back.
constexpr uint32_t ToRgb32(uint32_t colour) {
    return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}
constexpr uint32_t FromRgb32(uint32_t pixel) {
    return ((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) | ((pixel & 0xFFu) << 16);
}

class MeterBitmap {
public:
    // `text` draws and measures text; it must outlive the bitmap. The picture
    // starts white.
    explicit MeterBitmap(ITextRasteriser& text);

    // --- Canvas state -----------------------------------------------------------
    void SetPenColour(uint32_t colour) { penColour_ = ToRgb32(colour); }
    void SetPenWidth(int32_t width) { penWidth_ = width; }
    int32_t PenWidth() const { return penWidth_; }
    void SetBrushColour(uint32_t colour);
    void SetBrushStyle(BrushStyle style) { brushStyle_ = style; }
    TFont& Font() { return font_; }
    void SetClip(const TRect& clip);
    void RemoveClip();

    // --- Drawing ----------------------------------------------------------------
    // Fills with the brush colour (nothing with a clear brush).
    void FillRect(const TRect& r);
    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    // Copies `source` onto `dest` (same size), overlapping allowed.
    void CopyRect(const TRect& dest, const TRect& source);
    // Moves the graph one column to the left: the same as copying (12, 12)-(511,
    // 396) onto (11, 12)-(510, 396). Column 510 keeps what it held.
    void ScrollGraphLeft();
    // Text with its cell's top-left corner at (x, y), in the current font.
    void TextOut(int32_t x, int32_t y, const std::string& text);
    TextSize TextExtent(const std::string& text);

    // --- A line of text over the graph -------------------------------------------
    // Text shown over the graph rather than drawn into it: in the current font
    // with a clear brush, its cell's top-left corner at (x, y), clipped to
    // `clip` (rows and columns of the graph area). The graph's columns never
    // hold it, so it shows once, where it stands now, however the graph
    // scrolls, and leaves nothing behind when cleared.
    void SetGraphOverlay(int32_t x, int32_t y, const TRect& clip, const std::string& text);
    void ClearGraphOverlay();
    bool HasGraphOverlay() const { return overlay_.shown; }
    // The rows of the graph the overlay lies on, across the graph's width.
    TRect GraphOverlayArea() const;
    // Those rows with the text over them, GraphOverlayArea()'s width a row;
    // valid until the next drawing.
    const uint32_t* GraphOverlayPixels() const;

    // --- Reading ----------------------------------------------------------------
    // The colour of one pixel as 0x00BBGGRR, or the RGB32 value.
    uint32_t PixelColour(int32_t x, int32_t y) const { return FromRgb32(Pixel(x, y)); }
    uint32_t Pixel(int32_t x, int32_t y) const;
    // The whole picture, kMeterWidth x kMeterHeight RGB32 pixels, row by row,
    // with the graph overlay over it.
    const uint32_t* Picture() const;
    // The same pixels without laying the graph out, for a window that repaints
    // a few columns at a time: the picture outside the graph area (inside it
    // the rows may be stale), and the graph area where it lives, its pixel
    // (kGraphArea.x1, kGraphArea.y1) first and `GraphStride()` pixels a row,
    // without the overlay, which the window then paints over it.
    // Both stay valid until the next drawing.
    const uint32_t* PictureAroundGraph() const { return pixels_.data(); }
    const uint32_t* GraphPixels() const;
    static int32_t GraphStride();
    // Counts the drawing operations, so a window can repaint only when the
    // picture may have changed.
    uint64_t Revision() const { return revision_; }
    // The changes since the last call (the first call: the whole picture), so a
    // window can move and repaint only what changed. One window may take them.
    PictureChanges TakeChanges() const;

private:
    uint32_t* At(int32_t x, int32_t y);
    const uint32_t* At(int32_t x, int32_t y) const;
    bool Visible(int32_t x, int32_t y) const;
    void Plot(int32_t x, int32_t y, uint32_t pixel);
    void FillRow(int32_t y, int32_t x1, int32_t x2, uint32_t pixel);
    TRect Clipped(const TRect& r) const;
    // Adds a rectangle (already clipped, or not) to the changed area.
    void Touch(const TRect& r);

    ITextRasteriser& text_;
    mutable std::vector<uint32_t> pixels_;  // the picture; the graph area laid out on demand
    std::vector<uint32_t> strip_;           // graph rows, kStripWidth columns each
    int32_t offset_ = 0;                    // strip column of graph column 11
    mutable bool laidOut_ = false;          // pixels_ holds the graph window

    uint32_t penColour_ = 0xFF000000u;
    int32_t penWidth_ = 1;
    uint32_t brushColour_ = 0xFFFFFFFFu;
    BrushStyle brushStyle_ = BrushStyle::kSolid;
    TFont font_;
    bool clipped_ = false;
    TRect clip_;
    int32_t penX_ = 0, penY_ = 0;
    uint64_t revision_ = 0;
    // Bookkeeping for the window that shows the picture, not the picture's
    // state, hence mutable.
    mutable TRect dirty_{0, 0, kMeterWidth, kMeterHeight};
    mutable int32_t scrolled_ = 0;

    struct Overlay {
        bool shown = false;
        int32_t x = 0, y = 0;
        TRect clip;
        std::string text;
        TFont font;
    };
    Overlay overlay_;
    mutable std::vector<uint32_t> overlayPixels_;  // the overlay's rows, composed
    mutable uint64_t overlayRevision_ = ~uint64_t{0};
};

}  // namespace tarnwick
