#pragma once
// TForm5: the numeric window, "Peak Level dB". It repeats the peak readout in
// figures as large as the window allows, stays above other windows, and keeps
// its size and place in the settings.

#include <QImage>
#include <QWidget>

#include "core/meter_app.h"
#include "core/ports/text_rasteriser.h"

namespace tarnwick {

class TForm5 : public QWidget {
public:
    TForm5(MeterApp& app, ITextRasteriser& text, std::function<void()> onClosed);

    // Places and sizes the window from NumLeft, NumTop, NumWidth, NumHeight and
    // shows it.
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
};

}  // namespace tarnwick
