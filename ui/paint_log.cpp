#include "ui/paint_log.h"

#include <QDateTime>

Q_LOGGING_CATEGORY(lcPaint, "tarnwick.paint", QtWarningMsg)

namespace tarnwick {
namespace {

constexpr qint64 kPeriodMs = 10'000;

}  // namespace

void PaintLog::Painted() {
    if (!lcPaint().isDebugEnabled()) {
        return;
    }
    if (first_) {
        first_ = false;
        // Wall-clock milliseconds, so that a script that noted when it started
        // the program can tell how long the first picture took.
        qCDebug(lcPaint, "first meter painted at %lld ms since the epoch",
                static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
        period_.start();
        return;
    }
    ++paints_;
    if (period_.elapsed() >= kPeriodMs) {
        qCDebug(lcPaint, "%d meter paints in %lld ms", paints_,
                static_cast<long long>(period_.restart()));
        paints_ = 0;
    }
}

}  // namespace tarnwick
