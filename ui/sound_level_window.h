#pragma once
// TSoundLevelWindow: the sound level window, "Sound Level". It draws what
// TSoundLevelView holds: LAF in large figures, LAeq of the test, the LAeq
// over the limit's time with the limit's light, forecast and budget, the
// maxima, the statistical levels, LEX,8h and dose, the calibration, and the
// graph of each second's LAeq over the test with the limit line. Like the
// Loudness window it belongs to the main window, stays above it in its layer
// and keeps its size and place in the settings; P closes it, as it opened it.
//
// A screen reader finds the figures in the window's description, changed at
// most once a second.

#include <QElapsedTimer>
#include <QImage>
#include <QSize>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/sound_level_view.h"
#include "ui/meter_description.h"
#include "ui/outer_geometry.h"

class QPainter;

namespace tarnwick {

class TSoundLevelWindow : public QWidget {
public:
    // `onClosed` runs when the window was closed other than from the menu;
    // `owner` is the main window.
    TSoundLevelWindow(MeterApp& app, TSoundLevelView& view, std::function<void()> onClosed,
                      QWidget* owner);

    // Shows the window at outer bounds `outer` (the main window works them
    // out from SPLLeft, SPLTop, SPLWidth and SPLHeight). Without `activate`
    // it leaves the keyboard focus where it is; with it, the desktop decides.
    void FormShow(const QRect& outer, bool activate);
    // Brings the figures up to date, at most ten times a second, and redraws
    // when they changed; nothing while hidden.
    void RefreshSoundLevelWindow();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Paint(QPainter& painter, const TSoundLevelViewState& s);
    void PaintGraph(QPainter& painter, const QRect& box, const TSoundLevelViewState& s);

    MeterApp& app_;
    TSoundLevelView& view_;
    std::function<void()> onClosed_;
    OuterGeometry geometry_;
    TSoundLevelViewState painted_;
    // What the graph's picture shows, so that it is drawn again only when
    // that changes.
    struct GraphShown {
        QSize size;
        std::vector<double> points;
        size_t seconds = 0;
        size_t secondsPerPoint = 1;
        std::optional<double> limitLine;
        double top = 0.0;
        double bottom = 0.0;
        bool live = false;
        std::string unit;
        qreal scale = 1.0;
        bool operator==(const GraphShown&) const = default;
    };
    GraphShown graphShown_;
    QImage graphImage_;
    QElapsedTimer sinceUpdate_;
    static constexpr int kDescriptionIntervalMs = 1000;
    DescriptionPacer description_{kDescriptionIntervalMs};
};

}  // namespace tarnwick
