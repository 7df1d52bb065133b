#include "ui/sound_level_window.h"
#include "platform/qt_user_dialogs.h"
#include "platform/window_stacking.h"
#include "ui/key_chords.h"
#include "ui/painted_text.h"
#include "ui/window_accessible.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

// The colours of the meter's own side windows: the window's colour behind
// dark boxes, light figures, and the graph darker still.
constexpr uint32_t kWindowColour = 0x61554D;
const QColor kPanel(0x2B, 0x30, 0x38);
const QColor kPlot(0x1C, 0x20, 0x26);
const QColor kLabel(0xB4, 0xBC, 0xC8);
const QColor kValue(0xF2, 0xF4, 0xF7);
const QColor kStale(0x8A, 0x93, 0xA0);
const QColor kGrid(0x3A, 0x41, 0x4B);
const QColor kTrace(0x7C, 0xC4, 0xFF);
const QColor kLightOff(0x4A, 0x52, 0x5C);
const QColor kGreen(0x3C, 0xC8, 0x5A);
const QColor kAmber(0xFF, 0xB0, 0x3B);
const QColor kRed(0xFF, 0x4B, 0x4B);

constexpr int kGap = 6;
constexpr int kMinimumWidth = 320;
constexpr int kMinimumHeight = 300;
// Figures change with every block; more than ten redraws a second would
// cost more than the measurement and show nothing the eye can read.
constexpr int kRefreshMs = 100;
constexpr double kGridDb = 10.0;
constexpr int kReadingsPerRow = 4;

QColor LightColour(LimitLight light) {
    switch (light) {
        case LimitLight::kGreen:
            return kGreen;
        case LimitLight::kAmber:
            return kAmber;
        case LimitLight::kRed:
            return kRed;
        case LimitLight::kOff:
            break;
    }
    return kLightOff;
}

// A dark box with `caption` along its top and `figure` below it.
void Figure(QPainter& painter, const QRect& box, const QString& caption, const QString& figure,
            const QColor& colour, int captionPixels, int figurePixels) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPanel);
    painter.drawRoundedRect(box, 3, 3);
    const QRectF inside = QRectF(box).adjusted(4, 2, -4, -2);
    painter.setPen(kLabel);
    FitText(painter, inside, Qt::AlignHCenter | Qt::AlignTop, caption, Font(captionPixels));
    painter.setPen(colour);
    FitText(painter, inside.adjusted(0, captionPixels, 0, 0), Qt::AlignCenter, figure,
            Font(figurePixels, true));
}

// m:ss, or h:mm:ss from an hour.
QString Clock(size_t seconds) {
    const size_t h = seconds / 3600;
    const QString ms = QString("%1:%2")
                           .arg(seconds / 60 % 60, h > 0 ? 2 : 1, 10, QChar('0'))
                           .arg(seconds % 60, 2, 10, QChar('0'));
    return h > 0 ? QString("%1:").arg(h) + ms : ms;
}

}  // namespace

TSoundLevelWindow::TSoundLevelWindow(MeterApp& app, TSoundLevelView& view,
                                     std::function<void()> onClosed, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      app_(app),
      view_(view),
      onClosed_(std::move(onClosed)) {
    SpeakAsWindow(*this);  // before anything a screen reader may be told
    setWindowTitle("Sound Level");
    setAccessibleName("Sound Level");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
}

void TSoundLevelWindow::FormShow(const QRect& outer, bool activate) {
    ShareOwnersLayer(*this);
    geometry_.Show(*this, outer, activate);
    sinceUpdate_.invalidate();
    RefreshSoundLevelWindow();
}

void TSoundLevelWindow::RefreshSoundLevelWindow() {
    if (!isVisible() || (sinceUpdate_.isValid() && sinceUpdate_.elapsed() < kRefreshMs)) {
        return;
    }
    sinceUpdate_.start();
    const TSoundLevelViewState& s = view_.Update();
    if (const std::optional<std::string> described =
            description_.Offer(sinceUpdate_.msecsSinceReference(), s.description)) {
        setAccessibleDescription(Q(*described));
    }
    if (!(s == painted_)) {
        update();
    }
}

void TSoundLevelWindow::paintEvent(QPaintEvent*) {
    geometry_.Fit(*this);  // the desktop has framed the window by now
    painted_ = view_.state();
    QPainter painter(this);
    Paint(painter, painted_);
}

void TSoundLevelWindow::Paint(QPainter& painter, const TSoundLevelViewState& s) {
    // Framed in the limit's light, the window tells its state across a room;
    // everything else is drawn inside the frame.
    const int frame = s.lightFrame ? std::max(kGap, std::min(width(), height()) / 20) : 0;
    if (frame > 0) {
        painter.fillRect(rect(), LightColour(s.light));
        painter.translate(frame, frame);
    }
    const int w = width() - 2 * frame;
    const int h = height() - 2 * frame;
    painter.fillRect(QRect(0, 0, w, h), ColourFromBgr(kWindowColour));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QColor figure = s.live ? kValue : kStale;

    // LAF, LAeq of the test and LAeq over the limit's time across the top.
    const int top = std::clamp(h * 27 / 100, 64, 170);
    const int captionPixels = std::clamp(top / 8, 10, 14);
    const int lafWidth = (w - 4 * kGap) * 40 / 100;
    const int sideWidth = (w - 4 * kGap - lafWidth) / 2;
    const QRect laf(kGap, kGap, lafWidth, top);
    const QRect laeq(laf.right() + 1 + kGap, kGap, sideWidth, top);
    const QRect rolling(laeq.right() + 1 + kGap, kGap, sideWidth, top);
    const int bigPixels = std::min((top - captionPixels) * 60 / 100, lafWidth * 30 / 100);
    const int midPixels = std::min((top - captionPixels) * 38 / 100, sideWidth * 26 / 100);
    Figure(painter, laf, Q(s.bigCaption) + "  " + Q(s.unit), Q(s.big), figure, captionPixels,
           bigPixels);
    Figure(painter, laeq, "LAeq  " + Q(s.unit), Q(s.laeq), figure, captionPixels, midPixels);
    Figure(painter, rolling, Q(s.rollingCaption), Q(s.rolling), figure, captionPixels, midPixels);
    // The limit's light in the corner of its figure.
    const int lamp = std::clamp(top / 6, 10, 22);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(LightColour(s.light));
    painter.drawEllipse(QRect(rolling.right() - lamp - 3, rolling.bottom() - lamp - 3, lamp, lamp));

    // The limit, its forecast and budget, and the marks that qualify every
    // figure: no input, and clipped seconds.
    const int lineHeight = captionPixels + 6;
    int y = kGap + top + kGap;
    QRectF line(kGap, y, w - 2 * kGap, lineHeight);
    QString limit = Q(s.limit);
    if (!s.prediction.empty()) {
        limit += "   " + Q(s.prediction) + "   " + Q(s.budget);
    }
    if (!s.cLimit.empty()) {
        limit += (limit.isEmpty() ? "" : "     ") + Q(s.cLimit);
    }
    QString marks;
    if (s.overload) {
        marks = Q(kOverloadText);
    }
    if (!s.live) {
        marks += (marks.isEmpty() ? "" : "  ") + Q(s.liveText);
    }
    painter.setPen(kRed);
    painter.setFont(Font(captionPixels + 1, true));
    const int marksWidth = QFontMetrics(painter.font()).horizontalAdvance(marks);
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, marks);
    painter.setPen(kLabel);
    FitText(painter, line.adjusted(0, 0, -marksWidth - kGap, 0), Qt::AlignLeft | Qt::AlignVCenter,
            limit, Font(captionPixels));
    y += lineHeight + kGap / 2;

    // The maxima, the statistical levels and the exposure, four to a row.
    const int count = static_cast<int>(s.readings.size());
    const int rows = (count + kReadingsPerRow - 1) / kReadingsPerRow;
    const int cellWidth = (w - (kReadingsPerRow + 1) * kGap) / kReadingsPerRow;
    const int cellHeight = std::clamp(h * 10 / 100, 32, 52);
    for (int i = 0; i < count; ++i) {
        const QRect cell(kGap + (i % kReadingsPerRow) * (cellWidth + kGap),
                         y + (i / kReadingsPerRow) * (cellHeight + kGap / 2), cellWidth,
                         cellHeight);
        Figure(painter, cell, Q(s.readings[static_cast<size_t>(i)].caption),
               Q(s.readings[static_cast<size_t>(i)].figure), figure, captionPixels - 1,
               std::min(cellHeight * 45 / 100, cellWidth * 22 / 100));
    }
    y += rows * (cellHeight + kGap / 2) + kGap / 2;

    // The calibration, or its absence, and why a figure is missing.
    line = QRectF(kGap, y, w - 2 * kGap, lineHeight);
    painter.setPen(s.uncalibrated ? kAmber : kLabel);
    QString calibration = Q(s.calibration);
    if (!s.problem.empty()) {
        calibration += "   " + Q(s.problem);
    }
    FitText(painter, line, Qt::AlignLeft | Qt::AlignVCenter, calibration, Font(captionPixels));
    y += lineHeight + kGap / 2;

    const QRect graph(kGap, y, w - 2 * kGap, h - y - kGap);
    if (graph.height() <= 4 * lineHeight) {
        return;
    }
    // The graph of the whole test is kept as a picture and drawn again only
    // when what it shows changes, about once a second; the figures above it
    // change ten times as often.
    GraphShown shown{graph.size(),   s.graphPoints,
                     s.graphSeconds, s.graphSecondsPerPoint,
                     s.limitLine,    s.graphTop,
                     s.graphBottom,  s.live,
                     s.unit,         painter.device()->devicePixelRatioF()};
    if (graphImage_.isNull() || !(shown == graphShown_)) {
        graphImage_ = QImage(graph.size() * shown.scale, QImage::Format_ARGB32_Premultiplied);
        graphImage_.setDevicePixelRatio(shown.scale);
        graphImage_.fill(ColourFromBgr(kWindowColour));
        QPainter graphPainter(&graphImage_);
        graphPainter.setRenderHint(QPainter::Antialiasing);
        graphPainter.setRenderHint(QPainter::TextAntialiasing);
        PaintGraph(graphPainter, QRect(QPoint(0, 0), graph.size()), s);
        graphShown_ = std::move(shown);
    }
    painter.drawImage(graph.topLeft(), graphImage_);
}

void TSoundLevelWindow::PaintGraph(QPainter& painter, const QRect& box,
                                   const TSoundLevelViewState& s) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPlot);
    painter.drawRoundedRect(box, 3, 3);
    const QFont small = Font(10);
    const int labelHeight = QFontMetrics(small).height();
    const int scaleWidth = QFontMetrics(small).horizontalAdvance("-100") + 4;
    const QRectF plot(box.left() + scaleWidth + 4, box.top() + labelHeight + 6,
                      box.width() - scaleWidth - 10, box.height() - 2 * labelHeight - 10);
    painter.setFont(small);
    painter.setPen(kLabel);
    painter.drawText(QRectF(plot.left(), box.top() + 2, plot.width(), labelHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, "LAeq each second, " + Q(s.unit));

    const double range = s.graphTop - s.graphBottom;
    const auto yOf = [&](double db) {
        return plot.top() +
               (s.graphTop - std::clamp(db, s.graphBottom, s.graphTop)) / range * plot.height();
    };
    // Lines every 10 dB, labelled every other one where they crowd.
    const double linePixels = plot.height() * kGridDb / range;
    const int labelEvery = linePixels >= labelHeight + 2 ? 1 : 2;
    int index = 0;
    for (double db = s.graphTop; db >= s.graphBottom; db -= kGridDb, ++index) {
        painter.setPen(QPen(kGrid, 1));
        painter.drawLine(QPointF(plot.left(), yOf(db)), QPointF(plot.right(), yOf(db)));
        if (index % labelEvery == 0) {
            painter.setPen(kLabel);
            painter.drawText(
                QRectF(box.left(), yOf(db) - labelHeight / 2.0, scaleWidth, labelHeight),
                Qt::AlignRight | Qt::AlignVCenter, QString::number(static_cast<int>(db)));
        }
    }
    if (s.limitLine) {
        painter.setPen(QPen(kRed, 1.5, Qt::DashLine));
        painter.drawLine(QPointF(plot.left(), yOf(*s.limitLine)),
                         QPointF(plot.right(), yOf(*s.limitLine)));
        painter.setPen(kRed);
        painter.drawText(QRectF(plot.left(), box.top() + 2, plot.width(), labelHeight),
                         Qt::AlignRight | Qt::AlignVCenter, "Limit");
    }

    // The test's seconds across the whole width; silence leaves a gap.
    const size_t n = s.graphPoints.size();
    const auto xOf = [&](size_t i) {
        return n < 2 ? plot.left()
                     : plot.left() +
                           plot.width() * static_cast<double>(i) / static_cast<double>(n - 1);
    };
    QPainterPath trace;
    bool drawing = false;
    for (size_t i = 0; i < n; ++i) {
        const double db = s.graphPoints[i];
        if (!std::isfinite(db)) {
            drawing = false;
            continue;
        }
        const QPointF point(xOf(i), yOf(db));
        if (drawing) {
            trace.lineTo(point);
        } else {
            trace.moveTo(point);
            trace.lineTo(point + QPointF(1.0, 0.0));  // a lone second still shows
            drawing = true;
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(s.live ? kTrace : kStale, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(trace);

    painter.setPen(kLabel);
    const QRectF times(plot.left(), plot.bottom() + 2, plot.width(), labelHeight);
    painter.drawText(times, Qt::AlignLeft | Qt::AlignVCenter, Clock(0));
    painter.drawText(times, Qt::AlignRight | Qt::AlignVCenter, Clock(s.graphSeconds));
}

void TSoundLevelWindow::keyPressEvent(QKeyEvent* event) {
    // P closes the window, as it opened it from the main window.
    if (!event->isAutoRepeat() && event->key() == Qt::Key_P &&
        Chords(event->modifiers()) == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TSoundLevelWindow::closeEvent(QCloseEvent* event) {
    geometry_.Forget();
    if (app_.SoundLevelFormClose() && onClosed_) {
        onClosed_();
    }
    event->accept();
}

}  // namespace tarnwick
