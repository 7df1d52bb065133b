#include "ui/loudness_window.h"
#include "platform/qt_user_dialogs.h"
#include "platform/window_stacking.h"
#include "ui/window_accessible.h"

#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <vector>

namespace tarnwick {
namespace {

// The meter window's own colour behind everything, darker boxes for the
// figures and darker still for the graph, so that the figures stand out as
// they do on the meter's readouts.
constexpr uint32_t kWindowColour = 0x61554D;
const QColor kBoxColour(0x2B, 0x30, 0x38);
const QColor kGraphColour(0x1C, 0x20, 0x26);
const QColor kCaptionColour(0xB4, 0xBC, 0xC8);
const QColor kFigureColour(0xF2, 0xF4, 0xF7);
const QColor kUnmeasuredColour(0x8A, 0x93, 0xA0);
const QColor kOffTargetColour(0xFF, 0xB0, 0x3B);
const QColor kOverColour(0xFF, 0x4B, 0x4B);
const QColor kGridColour(0x3A, 0x41, 0x4B);
const QColor kTargetColour(0x5C, 0xD0, 0x7A);
const QColor kCurveColour(0x7C, 0xC4, 0xFF);

// What a reading of an input that is not live shows.
const QString kNotLiveFigure = QString::fromStdString(kNotLiveReadout);

// Loudness within this distance of the target is on target, in LU.
constexpr double kOnTargetLu = 1.0;
// True peaks above this leave too little headroom for lossy coding, in dBTP.
constexpr double kTruePeakLimit = -1.0;
// The graph spans from this far below the target to this far above it, in LU.
constexpr double kGraphBelowTarget = 30.0;
constexpr double kGraphAboveTarget = 10.0;
constexpr double kGraphGridLu = 10.0;
// Pixels kept clear between two labels of the graph's scale.
constexpr int kLabelGap = 2;

// 16-bit programme is never quieter than this; what reads lower is the decay
// of the weighting filters into digital silence, and is shown as silence.
constexpr double kQuietestLufs = -100.0;

constexpr int kMargin = 6;
// The graph of the whole test is drawn again at most this often, in ms.
constexpr int kGraphRefreshMs = 1000;
// The window stays large enough for its figures to be read.
constexpr int kMinimumWidth = 280;
constexpr int kMinimumHeight = 220;

// Loudness as the window shows it: minus infinity for silence.
double Audible(double lufs) {
    return lufs >= kQuietestLufs ? lufs : -HUGE_VAL;
}

QString DecimalPoint() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QString(".") : point;
}

// One decimal, "-inf" where there is nothing to measure, as the results files
// write it. `sign` puts a plus before positive values.
QString Figure(double value, bool sign = false) {
    if (!std::isfinite(value)) {
        return value > 0 ? "+inf" : "-inf";
    }
    double rounded = std::round(value * 10.0) / 10.0;
    if (rounded == 0.0) {
        rounded = 0.0;  // no "-0.0"
    }
    QString text = QString::number(rounded, 'f', 1).replace('.', DecimalPoint());
    if (sign && rounded > 0.0) {
        text.prepend('+');
    }
    return text;
}

// The distance of `lufs` from the target, as the figure shows it.
double ShownDistance(double lufs, double target) {
    return std::round((lufs - target) * 10.0) / 10.0;
}

QColor LoudnessColour(double lufs, double target) {
    if (!std::isfinite(lufs)) {
        return kUnmeasuredColour;
    }
    return std::abs(ShownDistance(lufs, target)) > kOnTargetLu ? kOffTargetColour : kFigureColour;
}

QColor TruePeakColour(double dbtp) {
    if (!std::isfinite(dbtp)) {
        return kUnmeasuredColour;
    }
    return std::round(dbtp * 10.0) / 10.0 > kTruePeakLimit ? kOverColour : kFigureColour;
}

QFont FontOfSize(int pixels, bool bold = false) {
    QFont font("Arial");
    font.setPixelSize(std::max(6, pixels));
    font.setBold(bold);
    return font;
}

// The length of `tenths` tenths of a second as m:ss, or h:mm:ss from an hour.
QString Duration(size_t tenths) {
    const size_t seconds = tenths / 10;
    const size_t h = seconds / 3600;
    const size_t m = seconds / 60 % 60;
    const size_t s = seconds % 60;
    return h > 0 ? QString("%1:%2:%3").arg(h).arg(m, 2, 10, QChar('0')).arg(s, 2, 10, QChar('0'))
                 : QString("%1:%2").arg(m).arg(s, 2, 10, QChar('0'));
}

// Draws `text` in `font`, made smaller where it would not fit the width.
void DrawFitted(QPainter& painter, const QRectF& box, Qt::Alignment alignment, const QString& text,
                QFont font) {
    const int advance = QFontMetrics(font).horizontalAdvance(text);
    if (advance > box.width() && advance > 0) {
        font.setPixelSize(std::max(6, static_cast<int>(font.pixelSize() * box.width() / advance)));
    }
    painter.setFont(font);
    painter.drawText(box, alignment, text);
}

// A box with a caption along its top, a figure in the middle and, where it
// has one, the figure's unit below it.
struct Readout {
    QString caption;
    QString figure;
    QString unit;
    QColor colour;
};

void PaintReadout(QPainter& painter, const QRect& box, const Readout& r, int captionPixels,
                  int figurePixels) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBoxColour);
    painter.drawRoundedRect(box, 3, 3);
    const QRectF inner = QRectF(box).adjusted(4, 3, -4, -3);
    QFont caption = FontOfSize(captionPixels);
    caption.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    painter.setPen(kCaptionColour);
    DrawFitted(painter, inner, Qt::AlignHCenter | Qt::AlignTop, r.caption, caption);
    QRectF figure = inner.adjusted(0, captionPixels + 1, 0, 0);
    if (!r.unit.isEmpty()) {
        painter.drawText(inner, Qt::AlignHCenter | Qt::AlignBottom, r.unit);
        figure.adjust(0, 0, 0, -captionPixels);
    }
    painter.setPen(r.colour);
    DrawFitted(painter, figure, Qt::AlignCenter, r.figure, FontOfSize(figurePixels, true));
}

// The window's figures as it writes them: "--" for the momentary and
// short-term loudness of an input that is not live, nothing for the distance
// from the target of loudness not yet measured.
struct Figures {
    double momentary = -HUGE_VAL;
    double shortTerm = -HUGE_VAL;
    LoudnessFigures test{-HUGE_VAL, 0.0, -HUGE_VAL};
    QString momentaryText;
    QString shortTermText;
    QString integratedText;
    QString rangeText;
    QString truePeakText;
    QString toTargetText;
};

Figures FiguresOf(const LoudnessMeter* meter, bool live, double target) {
    Figures f;
    if (meter != nullptr) {
        f.momentary = Audible(meter->Momentary());
        f.shortTerm = Audible(meter->ShortTerm());
        f.test = meter->Test();
        f.test.integrated = Audible(f.test.integrated);
    }
    f.momentaryText = live ? Figure(f.momentary) : kNotLiveFigure;
    f.shortTermText = live ? Figure(f.shortTerm) : kNotLiveFigure;
    f.integratedText = Figure(f.test.integrated);
    f.rangeText = Figure(f.test.range) + " LU";
    f.truePeakText = Figure(f.test.truePeakMax, true) + " dBTP";
    f.toTargetText = std::isfinite(f.test.integrated)
                         ? Figure(f.test.integrated - target, true) + " LU"
                         : QString();
    return f;
}

// What a screen reader says of the figures, in the order they are shown.
QString Described(const Figures& f) {
    const QString notLive = "not live";
    const auto lufs = [&](const QString& text) {
        return text == kNotLiveFigure ? notLive : text + " LUFS";
    };
    QString said = "Momentary " + lufs(f.momentaryText) + ", short-term " + lufs(f.shortTermText) +
                   ", integrated " + lufs(f.integratedText) + ", range " + f.rangeText +
                   ", true peak max " + f.truePeakText;
    if (!f.toTargetText.isEmpty()) {
        said += ", to target " + f.toTargetText;
    }
    return said;
}

}  // namespace

TLoudnessWindow::TLoudnessWindow(MeterApp& app, std::function<void()> onClosed, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      app_(app),
      onClosed_(std::move(onClosed)) {
    SpeakAsWindow(*this);  // before anything a screen reader may be told
    setWindowTitle("Loudness");
    setAccessibleName("Loudness");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
}

void TLoudnessWindow::FormShow(const QRect& outer, bool activate) {
    ShareOwnersLayer(*this);
    geometry_.Show(*this, outer, activate);
}

TLoudnessWindow::Shown TLoudnessWindow::Current() const {
    Shown now;
    now.target = app_.settings().LoudnessTarget;
    if (const LoudnessMeter* meter = app_.Loudness()) {
        now.measured = true;
        now.readings = meter->Readings();
        now.historyReadings = meter->History().Readings();
        now.live = app_.LoudnessLive();
    }
    return now;
}

void TLoudnessWindow::RefreshLoudnessWindow() {
    if (!isVisible()) {
        return;
    }
    // The figures change ten times a second; the main window refreshes more
    // often than that, and a repaint for nothing would cost more than the
    // measurement.
    const Shown now = Current();
    // The figures change ten times a second, the graph's picture once a
    // second at most; the last readings of a test reach it all the same.
    if (now != shown_ || (graphReadings_ != now.historyReadings && graphDrawn_.isValid() &&
                          graphDrawn_.elapsed() >= kGraphRefreshMs)) {
        update();
    }
    if (!sinceShown_.isValid()) {
        sinceShown_.start();
    }
    if (!description_.Due(sinceShown_.elapsed())) {
        return;
    }
    const Figures figures = FiguresOf(app_.Loudness(), now.live, now.target);
    if (const std::optional<std::string> described =
            description_.Offer(sinceShown_.elapsed(), Described(figures).toStdString())) {
        setAccessibleDescription(QString::fromStdString(*described));
    }
}

void TLoudnessWindow::paintEvent(QPaintEvent*) {
    // A window is exposed only after the desktop has framed it.
    geometry_.Fit(*this);
    QPainter painter(this);
    Paint(painter);
}

void TLoudnessWindow::Paint(QPainter& painter) {
    shown_ = Current();
    const double target = shown_.target;
    const Figures f = FiguresOf(app_.Loudness(), shown_.live, target);
    const LoudnessFigures& test = f.test;

    painter.fillRect(rect(), ColourFromBgr(kWindowColour));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const int w = width();
    const int h = height();
    // The three loudness figures across the top, the other figures below them,
    // and the graph in what is left: the figures grow with the window.
    const int row1 = std::clamp(h * 32 / 100, 64, 160);
    const int row2 = std::clamp(h * 15 / 100, 40, 72);
    const int cell = (w - 4 * kMargin) / 3;
    const int captionPixels = std::clamp(row1 / 8, 10, 14);
    const int bigPixels = std::min((row1 - 2 * captionPixels) * 62 / 100, cell * 32 / 100);
    const int valuePixels = std::min((row2 - captionPixels) * 58 / 100, cell * 17 / 100);

    // Readings of an input that is not live are no readings at all.
    const auto liveColour = [&](double lufs) {
        return shown_.live ? LoudnessColour(lufs, target) : kUnmeasuredColour;
    };
    const Readout top[] = {
        {"MOMENTARY", f.momentaryText, "LUFS", liveColour(f.momentary)},
        {"SHORT-TERM", f.shortTermText, "LUFS", liveColour(f.shortTerm)},
        {"INTEGRATED", f.integratedText, "LUFS", LoudnessColour(test.integrated, target)},
    };
    const Readout second[] = {
        {"RANGE (LRA)", f.rangeText, "", kFigureColour},
        {"TRUE PEAK MAX", f.truePeakText, "", TruePeakColour(test.truePeakMax)},
        {"TO TARGET", f.toTargetText, "", LoudnessColour(test.integrated, target)},
    };
    for (int i = 0; i < 3; ++i) {
        const int x = kMargin + i * (cell + kMargin);
        PaintReadout(painter, QRect(x, kMargin, cell, row1), top[i], captionPixels, bigPixels);
        PaintReadout(painter, QRect(x, 2 * kMargin + row1, cell, row2), second[i], captionPixels,
                     valuePixels);
    }

    const int graphTop = 3 * kMargin + row1 + row2;
    const QRect graph(kMargin, graphTop, w - 2 * kMargin, h - graphTop - kMargin);
    if (graph.height() <= 20) {
        return;
    }
    // The graph is kept as a picture, drawn again when its size or target
    // changes and at most once a second as the test goes on: it spans the
    // whole test, and drawing all of it with every reading cost more than
    // the measurement.
    const qreal scale = devicePixelRatioF();
    const QSize pixels = graph.size() * scale;
    if (graphImage_.size() != pixels || graphTarget_ != target || GraphBehind()) {
        graphImage_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        graphImage_.setDevicePixelRatio(scale);
        graphImage_.fill(ColourFromBgr(kWindowColour));
        QPainter graphPainter(&graphImage_);
        graphPainter.setRenderHint(QPainter::Antialiasing);
        graphPainter.setRenderHint(QPainter::TextAntialiasing);
        PaintGraph(graphPainter, QRect(QPoint(0, 0), graph.size()), target);
        graphTarget_ = target;
        graphReadings_ = shown_.historyReadings;
        graphMeasured_ = shown_.measured;
        graphDrawn_.start();
    }
    painter.drawImage(graph.topLeft(), graphImage_);
}

bool TLoudnessWindow::GraphBehind() const {
    if (graphReadings_ == shown_.historyReadings && graphMeasured_ == shown_.measured) {
        return false;
    }
    // A new test, or the first readings, show at once.
    const bool restarted = shown_.historyReadings < graphReadings_ || graphReadings_ == 0 ||
                           graphMeasured_ != shown_.measured;
    return restarted || !graphDrawn_.isValid() || graphDrawn_.elapsed() >= kGraphRefreshMs;
}

void TLoudnessWindow::PaintGraph(QPainter& painter, const QRect& box, double target) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGraphColour);
    painter.drawRoundedRect(box, 3, 3);

    const QFont labelFont = FontOfSize(10);
    const int labelWidth = 26;
    const int labelHeight = 13;
    // A line naming the graph and its target line above it, the times below.
    const QRectF area(box.left() + labelWidth + 4, box.top() + labelHeight + 8,
                      box.width() - labelWidth - 10, box.height() - 2 * labelHeight - 12);
    const QRectF heading(area.left(), box.top() + 3, area.width(), labelHeight);
    painter.setFont(labelFont);
    painter.setPen(kCaptionColour);
    painter.drawText(heading, Qt::AlignLeft | Qt::AlignVCenter, "Short-term loudness");
    painter.setPen(kTargetColour);
    painter.drawText(heading, Qt::AlignRight | Qt::AlignVCenter,
                     "Target " + Figure(target) + " LUFS");
    // The scale grows upward, in steps of the grid, to hold a programme louder
    // than the usual room above the target.
    double loudest = target + kGraphAboveTarget;
    if (const LoudnessMeter* meter = app_.Loudness()) {
        for (const double lufs : meter->History().Points()) {
            loudest = std::max(loudest, lufs);
        }
    }
    const double top = std::min(0.0, std::max(target + kGraphAboveTarget,
                                              std::ceil(loudest / kGraphGridLu) * kGraphGridLu));
    const double bottom = target - kGraphBelowTarget;
    const auto yOf = [&](double lufs) {
        const double clamped = std::clamp(lufs, bottom, top);
        return area.top() + (top - clamped) / (top - bottom) * area.height();
    };

    // Grid lines every 10 LUFS, labelled on the left: every line where the
    // labels have room, every second or more where the graph is too low for
    // labels one line apart not to touch.
    painter.setFont(labelFont);
    const double gridPixels = area.height() * kGraphGridLu / (top - bottom);
    const int labelPixels = QFontMetrics(labelFont).height() + kLabelGap;
    const int labelEvery = std::max(1, static_cast<int>(std::ceil(labelPixels / gridPixels)));
    for (double lufs = std::ceil(bottom / kGraphGridLu) * kGraphGridLu; lufs <= top;
         lufs += kGraphGridLu) {
        const double y = yOf(lufs);
        painter.setPen(QPen(kGridColour, 1));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        if (std::lround(lufs / kGraphGridLu) % labelEvery != 0) {
            continue;
        }
        painter.setPen(kCaptionColour);
        painter.drawText(QRectF(box.left(), y - labelPixels / 2.0, labelWidth, labelPixels),
                         Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(static_cast<int>(lufs)));
    }
    // The target, with its tolerance either side.
    QColor band = kTargetColour;
    band.setAlpha(40);
    const double bandTop = yOf(target + kOnTargetLu);
    painter.fillRect(
        QRectF(area.left(), bandTop, area.width(), yOf(target - kOnTargetLu) - bandTop), band);
    painter.setPen(QPen(kTargetColour, 1.5));
    painter.drawLine(QPointF(area.left(), yOf(target)), QPointF(area.right(), yOf(target)));

    // The short-term loudness of the whole test across the width: the graph
    // is drawn again to the new scale as the test grows. Silence leaves a gap.
    const LoudnessMeter* meter = app_.Loudness();
    const std::vector<double> none;
    const std::vector<double>& points = meter != nullptr ? meter->History().Points() : none;
    const size_t count = points.size();
    const auto xOf = [&](size_t i) {
        return count < 2 ? area.left()
                         : area.left() + area.width() * static_cast<double>(i) /
                                             static_cast<double>(count - 1);
    };
    QPainterPath line;
    QPainterPath fill;
    size_t i = 0;
    while (i < count) {
        if (!std::isfinite(Audible(points[i]))) {
            ++i;
            continue;
        }
        const size_t first = i;
        QPolygonF run;
        for (; i < count && std::isfinite(Audible(points[i])); ++i) {
            run << QPointF(xOf(i), yOf(points[i]));
        }
        if (run.size() == 1) {
            // A lone reading is a short stroke, so that it shows.
            run << run.front() + QPointF(1.0, 0.0);
        }
        line.addPolygon(run);
        run << QPointF(run.back().x(), area.bottom()) << QPointF(xOf(first), area.bottom());
        fill.addPolygon(run);
        fill.closeSubpath();
    }
    QColor under = kCurveColour;
    under.setAlpha(50);
    painter.fillPath(fill, under);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kCurveColour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(line);

    // The time the graph spans, from the start of the test.
    if (meter != nullptr) {
        const QRectF times(area.left(), area.bottom() + 2, area.width(), labelHeight);
        painter.setFont(labelFont);
        painter.setPen(kCaptionColour);
        painter.drawText(times, Qt::AlignLeft | Qt::AlignVCenter, Duration(0));
        painter.drawText(times, Qt::AlignRight | Qt::AlignVCenter,
                         Duration(meter->History().Readings()));
    }
}

void TLoudnessWindow::TakeSnapshot() {
    graphDrawn_.invalidate();  // the picture holds the graph as it is now
    QImage picture = grab().toImage().convertToFormat(QImage::Format_RGB32);
    const RasterImage image{reinterpret_cast<uint32_t*>(picture.bits()), picture.width(),
                            picture.height(), static_cast<int32_t>(picture.bytesPerLine() / 4)};
    app_.TakeLoudnessSnapshot(image);
}

void TLoudnessWindow::keyPressEvent(QKeyEvent* event) {
    // C saves a picture of this window, as it does of the meter in the main
    // window; L closes it, as it opened it there.
    if (!event->isAutoRepeat()) {
        if (event->key() == Qt::Key_C) {
            TakeSnapshot();
            return;
        }
        if (event->key() == Qt::Key_L) {
            close();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void TLoudnessWindow::closeEvent(QCloseEvent* event) {
    geometry_.Forget();
    if (app_.LoudnessFormClose() && onClosed_) {
        onClosed_();
    }
    event->accept();
}

}  // namespace tarnwick
