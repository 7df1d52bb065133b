#include "display/meter_frame.h"

#include <string>

namespace tarnwick {
namespace {

void Line(MeterBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    bitmap.MoveTo(x1, y1);
    bitmap.LineTo(x2, y2);
}

constexpr int32_t kUnitLabelPoints = 8;

}  // namespace

void DrawBevelFrame(MeterBitmap& bitmap, int32_t l, int32_t t, int32_t w, int32_t h) {
    bitmap.SetPenWidth(2);
    bitmap.SetPenColour(0x808080);
    Line(bitmap, l - 1, t, l + w, t);
    Line(bitmap, l, t - 1, l, t + h);
    bitmap.SetPenColour(0xC0C0C0);
    Line(bitmap, l, t + 2, l + w - 2, t + 2);
    Line(bitmap, l + 2, t + 2, l + 2, t + h - 2);
    Line(bitmap, l + w - 2, t + 2, l + w - 2, t + h - 2);
    Line(bitmap, l + w - 2, t + h - 2, l + 2, t + h - 2);
    bitmap.SetPenColour(0xFFFFFF);
    Line(bitmap, l, t + h, l + w, t + h);
    Line(bitmap, l + w, t, l + w, t + h);
}

void DrawScaleTicks(MeterBitmap& bitmap, const ScaleMarks& marks, int32_t x, int32_t baseline) {
    bitmap.SetPenColour(0xFFFFFF);
    bitmap.SetPenWidth(1);
    for (const ScaleLabel& tick : marks.major) {
        if (tick.position != 0) {
            Line(bitmap, x, baseline - tick.position, x + 8, baseline - tick.position);
        }
    }
    for (int32_t position : marks.minor) {
        if (position != 0) {
            Line(bitmap, x + 2, baseline - position, x + 8, baseline - position);
        }
    }
}

void DrawScaleLabels(MeterBitmap& bitmap, const ScaleMarks& marks, int32_t scale,
                     int32_t displayOffset, int32_t x, int32_t baseline) {
    TFont& font = bitmap.Font();
    font.face = "Arial";
    font.bold = true;
    font.colour = 0xFFFFFF;
    const int32_t labelPoints = scale == 0 ? 14 : 10;
    for (int i = 0; i <= kMajorTicks; ++i) {
        const ScaleLabel& label = i == 0 ? marks.unit : marks.major[static_cast<size_t>(i - 1)];
        font.pointSize = i == 0 ? kUnitLabelPoints : labelPoints;
        std::string text = label.text;
        if (scale == kUserFullScale) {
            if (i == 0 || text.empty()) {
                continue;
            }
            text = std::to_string(std::stoi(label.text) + displayOffset);
        }
        if (text.empty()) {
            continue;
        }
        const int32_t width = bitmap.TextExtent(text).width;
        const int32_t top = baseline - 2 - font.pointSize / 2 - label.position;
        bitmap.TextOut(x + 16 - width, top, text);
    }
    font.pointSize = 10;
}

void DrawMeterFrame(MeterBitmap& bitmap, const TMeterScale& meterScale, int32_t scale,
                    int32_t displayOffset) {
    bitmap.SetBrushColour(0x000000);
    bitmap.FillRect({-1, 2, 583, 406});
    bitmap.SetBrushColour(kMeterPanelColour);
    bitmap.FillRect({511, 2, 583, 406});
    // Row 0 lies above the frame's top edge: the panel, not the white the
    // picture starts with.
    bitmap.FillRect({0, 0, kMeterWidth, 1});
    DrawBevelFrame(bitmap, 1, 2, 580, 404);
    bitmap.SetPenColour(0x000000);
    bitmap.SetPenWidth(1);
    DrawScaleTicks(bitmap, meterScale.marks, 535, kScaleBaseline);
    DrawScaleLabels(bitmap, meterScale.marks, scale, displayOffset, 551, kScaleBaseline);
}

}  // namespace tarnwick
