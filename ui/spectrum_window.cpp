#include "ui/spectrum_window.h"
#include "app/sound_level_view.h"
#include "platform/qt_user_dialogs.h"
#include "platform/window_stacking.h"
#include "ui/key_chords.h"
#include "ui/painted_text.h"
#include "ui/window_accessible.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace tarnwick {
namespace {

// The colours of the Sound Level window: the window's colour behind a dark
// plot, light figures.
constexpr uint32_t kWindowColour = 0x61554D;
const QColor kPlot(0x1C, 0x20, 0x26);
const QColor kFocusColumn(0x2E, 0x36, 0x42);
const QColor kLabel(0xB4, 0xBC, 0xC8);
const QColor kValue(0xF2, 0xF4, 0xF7);
const QColor kStale(0x8A, 0x93, 0xA0);
const QColor kGrid(0x3A, 0x41, 0x4B);
const QColor kBar(0x7C, 0xC4, 0xFF);
const QColor kFocusBar(0xB8, 0xE0, 0xFF);
const QColor kAmber(0xFF, 0xB0, 0x3B);
const QColor kRed(0xFF, 0x4B, 0x4B);

constexpr int kGap = 6;
constexpr int kMinimumWidth = 320;
constexpr int kMinimumHeight = 240;
// Band levels change with every block; more than ten redraws a second
// would show nothing the eye can read.
constexpr int kRefreshMs = 100;
// Of each band's width, the bar takes this much; the rest keeps bars apart.
constexpr double kBarShare = 0.7;
constexpr int kLabelGap = 4;  // pixels between two band labels
const char* const kKeysText =
    "Left/Right band   F S E: F, S, Leq   A C Z: weighting   O: octaves   M: max hold   "
    "R: reset   B: close";

// Where everything goes in a window of `size`: fonts and boxes in
// proportion to it, as the Sound Level window's.
struct Layout {
    int readoutPixels;
    int captionPixels;
    int smallPixels;
    QRectF readout;
    QRectF caption;
    QRectF panel;
    QRectF plot;
    QRectF keys;
    int scaleWidth;
};

Layout LayoutFor(const QSize& size) {
    Layout l{};
    const int w = size.width();
    const int h = size.height();
    l.readoutPixels = std::clamp(h * 7 / 100, 12, 28);
    l.captionPixels = std::clamp(h * 4 / 100, 10, 16);
    l.smallPixels = std::clamp(h * 3 / 100, 9, 13);
    double y = kGap;
    l.readout = QRectF(kGap, y, w - 2 * kGap, l.readoutPixels + 8);
    y += l.readout.height();
    l.caption = QRectF(kGap, y, w - 2 * kGap, l.captionPixels + 6);
    y += l.caption.height() + kGap / 2;
    const double keysHeight = l.smallPixels + 6;
    l.keys = QRectF(kGap, h - kGap / 2 - keysHeight, w - 2 * kGap, keysHeight);
    l.panel = QRectF(kGap, y, w - 2 * kGap, std::max(0.0, l.keys.top() - kGap / 2 - y));
    const QFontMetrics small(Font(l.smallPixels));
    l.scaleWidth = small.horizontalAdvance("-100") + 4;
    const double labelHeight = small.height();
    l.plot = QRectF(l.panel.left() + l.scaleWidth + 4, l.panel.top() + labelHeight / 2 + 4,
                    std::max(0.0, l.panel.width() - l.scaleWidth - 12),
                    std::max(0.0, l.panel.height() - 1.5 * labelHeight - 10));
    return l;
}

}  // namespace

TSpectrumWindow::TSpectrumWindow(MeterApp& app, TSpectrumView& view, std::function<void()> onClosed,
                                 QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      app_(app),
      view_(view),
      onClosed_(std::move(onClosed)) {
    SpeakAsWindow(*this);  // before anything a screen reader may be told
    setWindowTitle("Spectrum");
    setAccessibleName("Spectrum");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    clock_.start();
}

bool TSpectrumWindow::OwnKey(int key) {
    switch (key) {
        case Qt::Key_B:
        case Qt::Key_F:
        case Qt::Key_S:
        case Qt::Key_E:
        case Qt::Key_A:
        case Qt::Key_C:
        case Qt::Key_Z:
        case Qt::Key_O:
        case Qt::Key_M:
        case Qt::Key_R:
            return true;
        default:
            return false;
    }
}

void TSpectrumWindow::FormShow(const QRect& outer, bool activate) {
    app_.MeasureSpectrum();
    ShareOwnersLayer(*this);
    geometry_.Show(*this, outer, activate);
    sinceUpdate_.invalidate();
    RefreshSpectrumWindow();
}

void TSpectrumWindow::RefreshSpectrumWindow() {
    if (!isVisible() || (sinceUpdate_.isValid() && sinceUpdate_.elapsed() < kRefreshMs)) {
        return;
    }
    sinceUpdate_.start();
    const TSpectrumViewState& s = view_.Update();
    if (description_.Due(clock_.elapsed())) {
        if (const std::optional<std::string> described =
                description_.Offer(clock_.elapsed(), s.description)) {
            setAccessibleDescription(Q(*described));
        }
    }
    if (!(s == painted_)) {
        update();
    }
}

void TSpectrumWindow::ShowNow() {
    view_.Update();
    update();
}

void TSpectrumWindow::paintEvent(QPaintEvent*) {
    geometry_.Fit(*this);  // the desktop has framed the window by now
    painted_ = view_.state();
    QPainter painter(this);
    Paint(painter, painted_);
}

QRectF TSpectrumWindow::PlotArea() const {
    return LayoutFor(size()).plot;
}

void TSpectrumWindow::Paint(QPainter& painter, const TSpectrumViewState& s) {
    const Layout l = LayoutFor(size());
    painter.fillRect(rect(), ColourFromBgr(kWindowColour));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The band read out, and what the bars are; the marks that qualify them.
    painter.setPen(s.live ? kValue : kStale);
    FitText(painter, l.readout, Qt::AlignLeft | Qt::AlignVCenter, Q(s.readout),
            Font(l.readoutPixels, true));
    QString marks = s.live ? QString() : Q(kNoInputText);
    painter.setPen(kRed);
    painter.setFont(Font(l.captionPixels + 1, true));
    const int marksWidth = QFontMetrics(painter.font()).horizontalAdvance(marks);
    painter.drawText(l.caption, Qt::AlignRight | Qt::AlignVCenter, marks);
    painter.setPen(s.uncalibrated ? kAmber : kLabel);
    FitText(painter, l.caption.adjusted(0, 0, -marksWidth - kGap, 0),
            Qt::AlignLeft | Qt::AlignVCenter, Q(s.caption), Font(l.captionPixels));
    painter.setPen(kLabel);
    FitText(painter, l.keys, Qt::AlignLeft | Qt::AlignVCenter, kKeysText, Font(l.smallPixels));

    painter.setPen(Qt::NoPen);
    painter.setBrush(kPlot);
    painter.drawRoundedRect(l.panel, 3, 3);
    if (s.bars.empty() || l.plot.height() < 2 * l.smallPixels) {
        painter.setPen(kLabel);
        FitText(painter, l.panel.adjusted(kGap, 0, -kGap, 0), Qt::AlignCenter, Q(s.problem),
                Font(l.captionPixels));
        return;
    }

    const QFont small = Font(l.smallPixels);
    const QFontMetrics metrics(small);
    const int labelHeight = metrics.height();
    painter.setFont(small);
    const QRectF& plot = l.plot;
    const double range = s.top - s.bottom;
    const auto yOf = [&](double db) {
        return plot.top() + (s.top - std::clamp(db, s.bottom, s.top)) / range * plot.height();
    };
    // Lines every 10 dB, labelled every other one where they crowd.
    const double linePixels = plot.height() * kSpectrumGridDb / range;
    const int labelEvery = linePixels >= labelHeight + 2 ? 1 : 2;
    int line = 0;
    for (double db = s.top; db >= s.bottom - 0.5; db -= kSpectrumGridDb, ++line) {
        painter.setPen(QPen(kGrid, 1));
        painter.drawLine(QPointF(plot.left(), yOf(db)), QPointF(plot.right(), yOf(db)));
        if (line % labelEvery == 0) {
            painter.setPen(kLabel);
            painter.drawText(
                QRectF(l.panel.left(), yOf(db) - labelHeight / 2.0, l.scaleWidth, labelHeight),
                Qt::AlignRight | Qt::AlignVCenter, QString::number(static_cast<int>(db)));
        }
    }

    const size_t n = s.bars.size();
    const double pitch = plot.width() / static_cast<double>(n);
    int widest = 0;
    for (const SpectrumBar& bar : s.bars) {
        widest = std::max(widest, metrics.horizontalAdvance(Q(bar.nominal)));
    }
    const int step = SpectrumLabelStep(widest, pitch, kLabelGap);
    const size_t shown = s.pointed.value_or(s.focus);
    for (size_t i = 0; i < n; ++i) {
        const SpectrumBar& bar = s.bars[i];
        const double left = plot.left() + pitch * static_cast<double>(i);
        if (i == s.focus) {
            painter.fillRect(QRectF(left, plot.top(), pitch, plot.height()), kFocusColumn);
        }
        const double inset = pitch * (1.0 - kBarShare) / 2.0;
        if (std::isfinite(bar.level) && bar.level > s.bottom) {
            const QColor colour = !s.live ? kStale : i == shown ? kFocusBar : kBar;
            painter.fillRect(QRectF(QPointF(left + inset, yOf(bar.level)),
                                    QPointF(left + pitch - inset, plot.bottom())),
                             colour);
        }
        if (std::isfinite(bar.maxHold) && bar.maxHold > s.bottom) {
            painter.setPen(QPen(kAmber, 2.0, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QPointF(left + inset / 2, yOf(bar.maxHold)),
                             QPointF(left + pitch - inset / 2, yOf(bar.maxHold)));
        }
        if (SpectrumBarLabelled(bar.index, step)) {
            painter.setPen(i == shown ? kValue : kLabel);
            const double centre = left + pitch / 2.0;
            painter.drawText(QRectF(centre - widest, plot.bottom() + 2, 2.0 * widest, labelHeight),
                             Qt::AlignHCenter | Qt::AlignTop, Q(bar.nominal));
        }
    }
    // The band read out is framed, so that the eye finds it among the others.
    const double left = plot.left() + pitch * static_cast<double>(shown);
    painter.setPen(QPen(kValue, 1.0, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(left + 0.5, plot.top() + 0.5, pitch - 1.0, plot.height() - 1.0));
}

void TSpectrumWindow::keyPressEvent(QKeyEvent* event) {
    if (Chords(event->modifiers()) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    // The moving keys repeat while held; the others act once.
    switch (key) {
        case Qt::Key_Left:
            view_.MoveFocus(-1);
            break;
        case Qt::Key_Right:
            view_.MoveFocus(1);
            break;
        case Qt::Key_Home:
            view_.FocusEnd(false);
            break;
        case Qt::Key_End:
            view_.FocusEnd(true);
            break;
        default:
            if (!OwnKey(key)) {
                QWidget::keyPressEvent(event);
                return;
            }
            if (event->isAutoRepeat()) {
                return;
            }
            switch (key) {
                case Qt::Key_B:
                    close();  // as it opened from the main window
                    return;
                case Qt::Key_F:
                    view_.ChooseReading(SpectrumReading::kFast);
                    break;
                case Qt::Key_S:
                    view_.ChooseReading(SpectrumReading::kSlow);
                    break;
                case Qt::Key_E:
                    view_.ChooseReading(SpectrumReading::kLeq);
                    break;
                case Qt::Key_A:
                    view_.ChooseWeighting(SpectrumWeighting::kA);
                    break;
                case Qt::Key_C:
                    view_.ChooseWeighting(SpectrumWeighting::kC);
                    break;
                case Qt::Key_Z:
                    view_.ChooseWeighting(SpectrumWeighting::kZ);
                    break;
                case Qt::Key_O:
                    view_.SwitchBands();
                    break;
                case Qt::Key_M:
                    view_.SwitchMaxHold();
                    break;
                case Qt::Key_R:
                    view_.Reset();
                    break;
                default:
                    break;
            }
    }
    ShowNow();
}

void TSpectrumWindow::mouseMoveEvent(QMouseEvent* event) {
    const QRectF plot = PlotArea();
    const size_t n = view_.state().bars.size();
    std::optional<size_t> bar;
    const QPointF at = event->position();
    if (n > 0 && plot.width() > 0 && at.x() >= plot.left() && at.x() < plot.right() &&
        at.y() >= plot.top() && at.y() <= plot.bottom()) {
        bar = std::min(n - 1, static_cast<size_t>((at.x() - plot.left()) / plot.width() *
                                                  static_cast<double>(n)));
    }
    if (bar != view_.state().pointed) {
        view_.PointAt(bar);
        ShowNow();
    }
    QWidget::mouseMoveEvent(event);
}

void TSpectrumWindow::leaveEvent(QEvent* event) {
    if (view_.state().pointed) {
        view_.PointAt(std::nullopt);
        ShowNow();
    }
    QWidget::leaveEvent(event);
}

void TSpectrumWindow::closeEvent(QCloseEvent* event) {
    geometry_.Forget();
    view_.PointAt(std::nullopt);
    app_.StopSpectrum();  // nothing else shows these bands
    if (app_.SpectrumFormClose() && onClosed_) {
        onClosed_();
    }
    event->accept();
}

}  // namespace tarnwick
