#include "display/sweep_graph.h"

#include <algorithm>

#include "core/level_math.h"

namespace tarnwick {
namespace {

constexpr int32_t B = kGraphBaseline;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
// Bytes of stored audio per column of the "REPLAY" text's travel.
constexpr int32_t kReplayTextStepBytes = 4400;

// The canvas as the graph leaves it for whoever draws next.
void LeaveCanvas(MeterBitmap& bitmap) {
    bitmap.Font().pointSize = 14;
    bitmap.Font().colour = kBlack;
    bitmap.SetBrushStyle(BrushStyle::kClear);
    bitmap.SetPenWidth(1);
}

void Line(MeterBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    bitmap.MoveTo(x1, y1);
    bitmap.LineTo(x2, y2);
}

void DrawColumn(MeterBitmap& bm, TSweepGraph& g, const TSweepColumn& c, const TGraphContext& ctx,
                bool secondMark) {
    const TMeterSettings& s = ctx.settings;
    const bool stereo = IsStereoChannel(s.Channel);
    const bool right = s.Channel == kChannelRight;
    const uint32_t peakColour = right ? s.Rcolor : s.Mcolor;
    const uint32_t averageColour = right ? s.Ravcolor : s.Lavcolor;

    bm.ScrollGraphLeft();
    bm.SetClip({11, 12, 510, 396});
    const uint32_t contrast = ContrastColour(s.Scolor);

    // The newest column starts from the background.
    bm.SetPenWidth(1);
    bm.SetPenColour(s.Scolor);
    Line(bm, 509, 395, 509, 14);

    if (secondMark) {
        bm.SetPenWidth(1);
        bm.MoveTo(507, 392);
        if (s.ShowGrid) {
            bm.SetPenColour(kGrey);
            bm.LineTo(507, 14);
        } else {
            bm.SetPenColour(contrast);
            bm.LineTo(507, 390);
        }
    }

    if (s.ShowPeaks) {
        auto trace1 = [&] {
            bm.SetPenColour(peakColour);
            bm.SetPenWidth(2);
            Line(bm, 509, g.PreviousPeak1Y, 510, B - c.p1);
            g.PreviousPeak1Y = B - c.p1;
        };
        // The second trace takes the pen width the steps before it left.
        auto trace2 = [&] {
            if (stereo) {
                bm.SetPenColour(s.Rcolor);
                Line(bm, 509, g.PreviousPeak2Y, 510, B - c.p2);
                g.PreviousPeak2Y = B - c.p2;
            }
        };
        if (c.a2 < c.a1) {
            trace1();
            trace2();
        } else {
            trace2();
            trace1();
        }
    }

    if (s.FillPeaks) {
        bm.SetPenWidth(2);
        auto fill = [&](int32_t height, uint32_t colour) {
            bm.SetPenColour(colour);
            bm.MoveTo(510, 395);
            if (height > 0) {
                bm.LineTo(510, B - height);
            }
        };
        // The later, taller fill covers the earlier one: each column shows the
        // louder channel's colour, the right one's on a tie.
        if (!stereo) {
            fill(c.p1, peakColour);
        } else if (c.p2 < c.p1) {
            fill(c.p2, s.Rcolor);
            fill(c.p1, s.Mcolor);
        } else {
            fill(c.p1, s.Mcolor);
            fill(c.p2, s.Rcolor);
        }
    }

    if (s.FillAverage) {
        auto fill1 = [&] {
            if (c.a1 > 4) {
                bm.SetPenWidth(2);
                bm.SetPenColour(peakColour);
                Line(bm, 510, B - c.a1, 510, 395);
            }
        };
        auto fill2 = [&] {
            if (stereo && c.a2 > 4) {
                bm.SetPenColour(s.Rcolor);
                Line(bm, 510, B - c.a2, 510, 395);
            }
        };
        if (c.a2 < c.a1) {
            fill1();
            fill2();
        } else {
            fill2();
            fill1();
        }
    }

    if (s.ShowAverage) {
        bm.SetPenColour(averageColour);
        bm.SetPenWidth(2);
        Line(bm, 509, B - g.PreviousAverage1, 509, B - c.a1);
        if (stereo) {
            bm.SetPenColour(s.Ravcolor);
            Line(bm, 509, B - g.PreviousAverage2, 509, B - c.a2);
        }
    }

    if (!s.ShowAverage && !s.ShowPeaks && !s.FillPeaks && !s.FillAverage) {
        // Fill from just above the previous column's average to this peak.
        bm.SetPenWidth(1);
        auto line1 = [&] {
            bm.SetPenColour(s.Mcolor);
            Line(bm, 508, B - g.PreviousAverage1 - 2, 508, B - c.p1);
        };
        auto line2 = [&] {
            if (stereo) {
                bm.SetPenColour(s.Rcolor);
                Line(bm, 508, B - g.PreviousAverage2 - 2, 508, B - c.p2);
            }
        };
        if (c.a2 < c.a1) {
            line1();
            line2();
        } else {
            line2();
            line1();
        }
    }

    if (s.ShowGrid) {
        bm.SetPenColour(kGrey);
        bm.SetPenWidth(1);
        Line(bm, 507, B - ctx.marks.unit.position, 508, B - ctx.marks.unit.position);
        for (const ScaleLabel& tick : ctx.marks.major) {
            Line(bm, 507, B - tick.position, 508, B - tick.position);
        }
    }

    g.PreviousAverage1 = c.a1;
    g.PreviousAverage2 = c.a2;

    bm.SetPenWidth(1);
    auto dot = [&](uint32_t colour, int32_t height) {
        bm.SetPenColour(colour);
        bm.MoveTo(507, B - height);
        if (height > 0) {
            bm.LineTo(508, B - height);
        }
    };
    dot(s.Lowcolor, c.th);
    dot(s.Midcolor, c.t2);
    dot(s.Topcolor, c.t1);

    LeaveCanvas(bm);

    bm.RemoveClip();
    if (ctx.replaying) {
        const int32_t x = 511 - ((ctx.storePosition / kReplayTextStepBytes) % 500);
        // In the contrast colour, so the word shows on any background; over
        // the graph, not in its columns, which move 1 pixel a block while the
        // word moves 0.8 and would leave a smear of copies behind.
        bm.Font().colour = contrast;
        bm.SetGraphOverlay(x, 40, {std::max(x, 11), 40, 510, 64}, "REPLAY");
        bm.Font().colour = kBlack;
    }
}

}  // namespace

void ResetForTestStart(TSweepGraph& graph) {
    graph.PreviousAverage1 = 4;
    graph.PreviousAverage2 = 4;
    graph.PreviousPeak1Y = 388;
    graph.PreviousPeak2Y = 388;
}

bool IsLightColour(uint32_t colour) {
    const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return (r + g + b) / 3 >= 128;
}

uint32_t ContrastColour(uint32_t background) {
    return IsLightColour(background) ? kBlack : kWhite;
}

void ClearGraph(MeterBitmap& bitmap, const TMeterSettings& s, const HeightTable& heights) {
    const double factor = s.CalibrationFactor;
    const int32_t th = AmplitudeToHeight(DbToAmplitude(s.Threshold), factor, heights);
    const int32_t t2 = AmplitudeToHeight(DbToAmplitude(s.LowerVol), factor, heights);
    const int32_t t1 = AmplitudeToHeight(DbToAmplitude(s.UpperVol), factor, heights);
    bitmap.SetBrushColour(s.Scolor);
    bitmap.FillRect(kGraphArea);
    bitmap.SetPenWidth(1);
    auto targetLine = [&](uint32_t colour, int32_t height) {
        if (height > 0) {
            bitmap.SetPenColour(colour);
            Line(bitmap, 15, B - height, 505, B - height);
        }
    };
    targetLine(s.Lowcolor, th);
    targetLine(s.Midcolor, t2);
    targetLine(s.Topcolor, t1);
    LeaveCanvas(bitmap);
}

bool PlotSweepColumn(MeterBitmap* bitmap, TSweepGraph& graph, const TSweepColumn& column,
                     const TGraphContext& context, bool& secondElapsed) {
    if (bitmap != nullptr && !context.replaying) {
        bitmap->ClearGraphOverlay();  // the replay is over: its word goes
    }
    if (!context.testRunning && !context.replaying) {
        return false;
    }
    const bool secondMark = secondElapsed;
    secondElapsed = false;
    if (bitmap != nullptr) {
        DrawColumn(*bitmap, graph, column, context, secondMark);
        return true;
    }
    const bool stereo = IsStereoChannel(context.settings.Channel);
    if (context.settings.ShowPeaks) {
        graph.PreviousPeak1Y = B - column.p1;
        if (stereo) {
            graph.PreviousPeak2Y = B - column.p2;
        }
    }
    graph.PreviousAverage1 = column.a1;
    graph.PreviousAverage2 = column.a2;
    return true;
}

}  // namespace tarnwick
