#pragma once
// TForm5: the numeric window, "Peak Level dB". It repeats the peak readout in
// figures as large as the window allows and keeps its size and place in the
// settings. It belongs to the main window: it stays above it, in its layer.

#include <QElapsedTimer>
#include <QImage>
#include <QSize>
#include <QWidget>
#include <string>

#include "app/meter_app.h"
#include "core/ports/text_rasteriser.h"
#include "ui/meter_description.h"
#include "ui/outer_geometry.h"

namespace tarnwick {

class TForm5 : public QWidget {
public:
    // `owner` is the main window.
    TForm5(MeterApp& app, ITextRasteriser& text, std::function<void()> onClosed, QWidget* owner);

    // Shows the window at outer bounds `outer` (the main window works them out
    // from NumLeft, NumTop, NumWidth and NumHeight). Without `activate` (as at
    // the start of the program) it leaves the keyboard focus where it is;
    // with it, the desktop decides. The stored size is the outer size,
    // frame included, as the window state is saved; once the desktop has
    // framed the window its client area is made smaller by the frame, so that
    // the window does not grow by its frame at every start of the program.
    void FormShow(const QRect& outer, bool activate);
    // Redraws the figures when the peak readout changed; nothing while
    // hidden.
    void RefreshNumericWindow();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    MeterApp& app_;
    ITextRasteriser& text_;
    std::function<void()> onClosed_;
    QImage image_;
    std::string drawn_;  // the readout the image holds; empty: none yet
    OuterGeometry geometry_;
    // The figure as a screen reader hears it, at most once a second.
    DescriptionPacer description_{1000};
    QElapsedTimer sinceShown_;
};

}  // namespace tarnwick
