#pragma once
// TSpectrumWindow: the spectrum window, "Spectrum". It draws what
// TSpectrumView holds: a bar for each one-third octave or octave band,
// rising in frequency from left to right, on a level axis in dB, with the
// highest F of each band as a tick under max hold, the band in focus read
// out along the top and what the bars are below it. Like the Sound Level
// window it belongs to the main window, stays above it in its layer and
// keeps its size and place in the settings; B closes it, as it opened it.
//
// Its keys (OwnKey) go to the view: Left and Right (Home, End) move the
// focus, F, S and E choose F, S or Leq, A, C and Z the weighting, O octaves
// or one-third octaves, M max hold, R starts the Leq and maxima again.
//
// A screen reader finds the readout and the loudest band in the window's
// description, changed at most once a second.

#include <QElapsedTimer>
#include <QWidget>
#include <functional>

#include "app/spectrum_view.h"
#include "ui/meter_description.h"
#include "ui/outer_geometry.h"

class QPainter;

namespace tarnwick {

class TSpectrumWindow : public QWidget {
public:
    // `onClosed` runs when the window was closed other than from the menu;
    // `owner` is the main window.
    TSpectrumWindow(MeterApp& app, TSpectrumView& view, std::function<void()> onClosed,
                    QWidget* owner);

    // Shows the window at outer bounds `outer` (the main window works them
    // out from SpectrumLeft, SpectrumTop, SpectrumWidth and SpectrumHeight)
    // and has the owner measure its bands. Without `activate` it leaves the
    // keyboard focus where it is; with it, the desktop decides.
    void FormShow(const QRect& outer, bool activate);
    // Brings the figures up to date, at most ten times a second, and redraws
    // when they changed; nothing while hidden.
    void RefreshSpectrumWindow();
    // `key` without Ctrl, Alt or Meta is the window's own while it is
    // active: the main window leaves it to the window.
    static bool OwnKey(int key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The bars' area, in the window's pixels.
    QRectF PlotArea() const;
    void Paint(QPainter& painter, const TSpectrumViewState& s);
    // The state changed by a key or the pointer: shown now.
    void ShowNow();

    MeterApp& app_;
    TSpectrumView& view_;
    std::function<void()> onClosed_;
    OuterGeometry geometry_;
    TSpectrumViewState painted_;
    QElapsedTimer sinceUpdate_;
    QElapsedTimer clock_;  // for the description's pace
    static constexpr int kDescriptionIntervalMs = 1000;
    DescriptionPacer description_{kDescriptionIntervalMs};
};

}  // namespace tarnwick
