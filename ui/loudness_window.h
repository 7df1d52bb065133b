#pragma once
// TLoudnessWindow: the loudness window, "Loudness". It shows the momentary,
// short-term and integrated loudness in large figures, the loudness range, the
// true-peak maximum, the distance of the integrated loudness from the target,
// and a graph of the short-term loudness over the whole test. Like the numeric
// window it belongs to the main window, stays above it in its layer, and keeps
// its size and place in the settings; C while it has the focus saves a
// picture of it.

#include <QElapsedTimer>
#include <QImage>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "app/meter_app.h"
#include "ui/meter_description.h"
#include "ui/outer_geometry.h"

class QPainter;

namespace tarnwick {

class TLoudnessWindow : public QWidget {
public:
    // `onClosed` runs when the window was closed other than from the menu;
    // `owner` is the main window.
    TLoudnessWindow(MeterApp& app, std::function<void()> onClosed, QWidget* owner);

    // Shows the window at outer bounds `outer` (the main window works them out
    // from LoudLeft, LoudTop, LoudWidth and LoudHeight, the outer size as the
    // numeric window's). Without `activate` (as at the start of the program)
    // it leaves the keyboard focus where it is; with it, the desktop decides.
    void FormShow(const QRect& outer, bool activate);
    // Redraws when the figures or the target changed; nothing while hidden.
    void RefreshLoudnessWindow();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Paint(QPainter& painter);
    void PaintGraph(QPainter& painter, const QRect& area, double target);
    void TakeSnapshot();

    // What the window shows, so that a refresh redraws only what changed.
    struct Shown {
        bool measured = false;
        uint64_t readings = 0;
        size_t historyReadings = 0;
        double target = 0.0;
        bool live = false;  // momentary and short-term follow the input
        bool operator==(const Shown&) const = default;
    };
    Shown Current() const;

    MeterApp& app_;
    std::function<void()> onClosed_;
    OuterGeometry geometry_;
    Shown shown_;
    // The graph's picture, and what it was drawn from.
    bool GraphBehind() const;
    QImage graphImage_;
    double graphTarget_ = 0.0;
    size_t graphReadings_ = 0;
    bool graphMeasured_ = false;
    QElapsedTimer graphDrawn_;
    // The figures as a screen reader hears them, at most once a second.
    DescriptionPacer description_{1000};
    QElapsedTimer sinceShown_;
};

}  // namespace tarnwick
