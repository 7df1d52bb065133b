#pragma once
// TForm5: the numeric window, "Peak Level dB". It repeats the peak readout in
// figures as large as the window allows, stays above other windows, and keeps
// its size and place in the settings.

#include <QImage>
#include <QSize>
#include <QWidget>

#include "app/meter_app.h"
#include "core/ports/text_rasteriser.h"
#include "ui/outer_geometry.h"

namespace tarnwick {

class TForm5 : public QWidget {
public:
    TForm5(MeterApp& app, ITextRasteriser& text, std::function<void()> onClosed);

    // Places and sizes the window from NumLeft, NumTop, NumWidth, NumHeight and
    // shows it. The stored size is the outer size, frame included, as the
    // window state is saved; once the desktop has framed the window its client
    // area is made smaller by the frame, so that the window does not grow by
    // its frame at every start of the program.
    void FormShow();
    // Redraws the figures from the peak readout; nothing while hidden.
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
    OuterGeometry geometry_;
};

}  // namespace tarnwick
