#pragma once
// What the meter window reports about its painting, for measuring start-up and
// repaint rates: when the first meter was painted and how many times the meter
// was painted in each ten seconds. Silent unless the logging category
// "tarnwick.paint" is enabled, e.g. QT_LOGGING_RULES="tarnwick.paint.debug=true".

#include <QElapsedTimer>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPaint)

namespace tarnwick {

class PaintLog {
public:
    // Call from every paint of the meter picture.
    void Painted();

private:
    bool first_ = true;
    QElapsedTimer period_;
    int paints_ = 0;
};

}  // namespace tarnwick
