#include "ui/main_window.h"
#include "platform/qt_user_dialogs.h"
#include "platform/window_stacking.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cmath>

#include "display/meter_bitmap.h"
#include "ui/about_box.h"
#include "ui/key_chords.h"
#include "ui/paint_log.h"
#include "ui/window_places.h"

namespace tarnwick {
namespace {

constexpr uint32_t kWindowColour = 0x61554D;
constexpr uint32_t kPanelColour = 0x7A6B61;
constexpr int kToolBarHeight = 38;
// A cascaded side window steps by the title bar, at least by this much where
// the desktop gives the main window no frame.
constexpr int kMinTitleStep = 24;
// Where no desktop frames the main window, the side windows left open show
// after this long all the same.
constexpr int kUnframedSideWindowsMs = 1000;
// The Start/Stop button's property that is true while a test runs.
constexpr const char* kRunningProperty = "running";

const std::array<const char*, 8> kToolBarImages = {
    ":/icons/toolbar-0-open.svg",        ":/icons/toolbar-1-close.svg",
    ":/icons/toolbar-2-replay.svg",      ":/icons/toolbar-3-snapshot.svg",
    ":/icons/toolbar-4-log-options.svg", ":/icons/toolbar-5-program-options.svg",
    ":/icons/toolbar-6-window-size.svg", ":/icons/toolbar-7-replay-running.svg",
};

void SetBackground(QWidget* widget, uint32_t colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ColourFromBgr(colour));
    widget->setAutoFillBackground(true);
    widget->setPalette(palette);
}

QLabel* MakeLabel(QWidget* parent, int x, int y, const QString& text, int width = 0) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    if (width > 0) {
        label->setFixedWidth(width);
    }
    return label;
}

// A readout: a sunken white box holding the value text.
QLabel* MakeReadout(QWidget* parent, int x, int y, int width) {
    auto* box = new QLabel(parent);
    box->setGeometry(x, y, width, 26);
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setAlignment(Qt::AlignCenter);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    box->setPalette(palette);
    return box;
}

}  // namespace

// Image1: shows the meter picture, 582 x 406, straight from MeterBitmap's memory.
class MeterImage : public QWidget {
public:
    MeterImage(const MeterApp& app, QWidget* parent) : QWidget(parent), app_(app) {
        setFixedSize(kMeterWidth, kMeterHeight);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // Brings the window's copy of the picture up to date: the graph area is
    // scrolled where it lies on the screen and only what else changed is
    // repainted, so a frame costs a few columns rather than the whole picture.
    void RefreshIfChanged() {
        const MeterBitmap* bitmap = app_.meterBitmap();
        if (bitmap == nullptr) {
            return;
        }
        const PictureChanges changes = bitmap->TakeChanges();
        if (changes.scrolledColumns > 0) {
            scroll(-changes.scrolledColumns, 0,
                   QRect(kGraphArea.x1, kGraphArea.y1, kGraphArea.x2 - kGraphArea.x1,
                         kGraphArea.y2 - kGraphArea.y1));
        }
        const TRect& d = changes.dirty;
        if (d.x1 < d.x2 && d.y1 < d.y2) {
            update(QRect(d.x1, d.y1, d.x2 - d.x1, d.y2 - d.y1));
        }
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        const MeterBitmap* bitmap = app_.meterBitmap();
        if (bitmap == nullptr) {
            return;
        }
        // Only the region Qt asks for is copied, the graph straight from where
        // the picture keeps it, so nothing is laid out first.
        const QRect graphArea(kGraphArea.x1, kGraphArea.y1, kGraphArea.x2 - kGraphArea.x1,
                              kGraphArea.y2 - kGraphArea.y1);
        const QImage around(reinterpret_cast<const uchar*>(bitmap->PictureAroundGraph()),
                            kMeterWidth, kMeterHeight, kMeterWidth * 4, QImage::Format_RGB32);
        const QImage graph(reinterpret_cast<const uchar*>(bitmap->GraphPixels()), graphArea.width(),
                           graphArea.height(), MeterBitmap::GraphStride() * 4,
                           QImage::Format_RGB32);
        QPainter painter(this);
        for (const QRect& r : event->region() - QRegion(graphArea)) {
            painter.drawImage(r.topLeft(), around, r);
        }
        for (const QRect& r : event->region() & QRegion(graphArea)) {
            painter.drawImage(r.topLeft(), graph, r.translated(-graphArea.topLeft()));
        }
        // The text over the graph (the word of a replay) is not in its columns.
        if (bitmap->HasGraphOverlay()) {
            const TRect a = bitmap->GraphOverlayArea();
            const QRect area(a.x1, a.y1, a.x2 - a.x1, a.y2 - a.y1);
            const QImage overlay(reinterpret_cast<const uchar*>(bitmap->GraphOverlayPixels()),
                                 area.width(), area.height(), area.width() * 4,
                                 QImage::Format_RGB32);
            for (const QRect& r : event->region() & QRegion(area)) {
                painter.drawImage(r.topLeft(), overlay, r.translated(-area.topLeft()));
            }
        }
        log_.Painted();
    }

private:
    const MeterApp& app_;
    PaintLog log_;
};

// The "Over" lamp: a round shape on a black circle.
class Lamp : public QWidget {
public:
    explicit Lamp(QWidget* parent) : QWidget(parent) { setFixedSize(30, 30); }
    void SetColour(uint32_t colour) {
        if (colour != colour_) {
            colour_ = colour;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(rect());
        painter.setBrush(ColourFromBgr(colour_));
        painter.drawEllipse(rect().adjusted(4, 4, -4, -4));
    }

private:
    uint32_t colour_ = kLampDark;
};

namespace {

char32_t UserDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? U'.' : point.toUcs4().value(0, U'.');
}

}  // namespace

TForm1::TForm1(MeterApp& app, IUserDialogs& dialogs, IDesktopShell& shell, ITextRasteriser& text,
               std::function<void(const TForm1&)> saveWindowState,
               std::function<void(const TForm1&)> saveSettings)
    : app_(app),
      saveWindowState_(std::move(saveWindowState)),
      saveSettings_(std::move(saveSettings)),
      resultsModel_(std::make_unique<TResultsDialog>(app, shell, [this] { SaveSettingsNow(); })),
      configModel_(std::make_unique<TConfigDialog>(
          app, dialogs, [this] { SaveSettingsNow(); }, UserDecimalSeparator())),
      numeric_(std::make_unique<TForm5>(
          app, text, [this] { numericDisplay1_->setChecked(false); }, this)),
      loudness_(std::make_unique<TLoudnessWindow>(
          app, [this] { loudnessMeter1_->setChecked(false); }, this)),
      soundLevelView_(std::make_unique<TSoundLevelView>(app, UserDecimalSeparator())),
      soundLevel_(std::make_unique<TSoundLevelWindow>(
          app, *soundLevelView_, [this] { soundLevelMeter1_->setChecked(false); }, this)),
      spectrumView_(std::make_unique<TSpectrumView>(app, UserDecimalSeparator())),
      spectrum_(std::make_unique<TSpectrumWindow>(
          app, *spectrumView_, [this] { spectrum1_->setChecked(false); }, this)),
      soundLevelModel_(std::make_unique<TSoundLevelDialog>(
          app, dialogs, [this] { SaveSettingsNow(); }, UserDecimalSeparator())),
      startIcon_(":/icons/start.svg"),
      stopIcon_(":/icons/stop.svg"),
      replayIcon_(kToolBarImages[2]),
      replayRunningIcon_(kToolBarImages[7]) {
    setWindowTitle(QString::fromStdString(app_.view().Caption));
    setWindowIcon(QIcon(":/icons/tarnwick.svg"));
    setWindowFlags((windowFlags() | Qt::WindowMinimizeButtonHint) & ~Qt::WindowMaximizeButtonHint);
    QFont font("Arial");
    font.setPixelSize(14);
    setFont(font);

    // Where a desktop makes the window larger than its client area after all,
    // the area beyond the meter is the window's own colour too.
    SetBackground(this, kWindowColour);
    client_ = new QWidget(this);
    SetBackground(client_, kWindowColour);
    setCentralWidget(client_);
    BuildMenus();
    BuildToolBar(client_);
    BuildControls(client_);
    // No control holds the focus at first, so that Enter runs nothing until
    // Tab has chosen a control; the keys reach the window either way.
    client_->setFocusPolicy(Qt::ClickFocus);
    client_->setFocus();
    QWidget* previous = client_;
    for (QWidget* next :
         std::initializer_list<QWidget*>{tools_[0], tools_[1], tools_[2], tools_[3], tools_[4],
                                         tools_[5], tools_[6], checkBox1_, startStop_}) {
        setTabOrder(previous, next);
        previous = next;
    }
    // The menu items' own keys (Ctrl+X, F1) act in the numeric window too.
    for (QAction* action : findChildren<QAction*>()) {
        if (!action->shortcut().isEmpty()) {
            numeric_->addAction(action);
        }
    }

    clock_.start();
    // Key preview: the window sees every key before the focused control.
    qApp->installEventFilter(this);
    // The window follows the blocks, a frame at a time (see BlockShown). What
    // timers change between blocks is picked up by a slow idle refresh.
    frame_.setSingleShot(true);
    QObject::connect(&frame_, &QTimer::timeout, [this] { Refresh(); });
    QObject::connect(&idle_, &QTimer::timeout, [this] {
        if (!frame_.isActive()) {  // else a frame is coming anyway
            Refresh();
        }
    });
    app_.SetBlockObserver([this] { BlockShown(); });
    Refresh();  // and the idle refresh starts counting
}

void TForm1::BlockShown() {
    if (dayLog_ != nullptr) {
        dayLog_->AddBlock();
    }
    const qint64 now = clock_.elapsed();
    // A frame already overdue (its timer has not had its turn yet) is due now.
    const qint64 wait = std::max<qint64>(0, pacer_.BlockShown(now) - now);
    if (!frame_.isActive() || frame_.remainingTime() > wait) {
        frame_.start(static_cast<int>(wait));
    }
}

void TForm1::SetFrameTimes() {
    // The screen's frame time, rounded up.
    constexpr qreal kDefaultRate = 60.0;
    const QScreen* display = screen();
    const qreal rate =
        display != nullptr && display->refreshRate() >= 1.0 ? display->refreshRate() : kDefaultRate;
    const int screenFrameMs = std::max(1, static_cast<int>(std::ceil(1000.0 / rate)));
    const int earliest = std::max(kFrameMs - kFrameSlackMs, screenFrameMs);
    pacer_.SetFrameTimes(earliest, earliest + 2 * kFrameSlackMs);
}

int TForm1::ClientHeightFor(int32_t view) {
    switch (view) {
        case 1:
            return 482;
        case 2:
            return 548;
        default:
            return 722;
    }
}

void TForm1::ApplyViewMode() {
    const int32_t view = app_.settings().View;
    if (view >= 1 && view <= 3) {
        client_->setFixedHeight(ClientHeightFor(view));
    }
    client_->setFixedWidth(kClientWidth);
    adjustSize();
    FitToScreen();
}

void TForm1::FitToScreen() {
    const QSize room = AvailableAreaFor(frameGeometry()).size() - kFrameAllowance;
    const QSize needed(client_->width(), client_->height() + menuBar()->sizeHint().height());
    if (scroll_ == nullptr && (needed.height() > room.height() || needed.width() > room.width())) {
        // The meter keeps its layout, to the pixel, and the window scrolls it.
        scroll_ = new QScrollArea(this);
        scroll_->setFrameShape(QFrame::NoFrame);
        scroll_->setFocusPolicy(Qt::NoFocus);  // the keys stay the window's
        SetBackground(scroll_->viewport(), kWindowColour);
        takeCentralWidget();
        scroll_->setWidget(client_);
        setCentralWidget(scroll_);
    }
    if (scroll_ != nullptr) {
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        resize((needed + QSize(bar, bar)).boundedTo(room));
    }
}

void TForm1::ToolButton1Click() {
    app_.ToolButton1Click();
    ApplyViewMode();
}

void TForm1::FormShow() {
    const TMeterSettings& s = app_.settings();
    if (s.OnTop) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    resize(s.width, s.height);
    ApplyViewMode();
    // Inside the screen as far as can be told before the desktop frames the
    // window; once it has, the frame is counted too (see eventFilter).
    const QRect stored(s.left, s.top, width(), height());
    move(InsideArea(stored, AvailableAreaFor(stored)).topLeft());
    placeCheckPending_ = true;
    app_.FormShow();
    show();
    SetFrameTimes();  // the screen is known once the window shows
    numericDisplay1_->setChecked(s.BigNumbers);
    loudnessMeter1_->setChecked(s.LoudnessWindow);
    soundLevelMeter1_->setChecked(s.SplWindow);
    spectrum1_->setChecked(s.SpectrumWindow);
    // The side windows left open are placed beside the main window once the
    // desktop has framed it (see eventFilter), where there is a desktop.
    sideWindowsPending_ = true;
    QTimer::singleShot(kUnframedSideWindowsMs, this, [this] { ShowSideWindowsLeftOpen(); });
}

void TForm1::ShowSideWindowsLeftOpen() {
    if (!sideWindowsPending_) {
        return;
    }
    sideWindowsPending_ = false;
    const TMeterSettings& s = app_.settings();
    // A key may have opened or closed one since the start.
    if (s.BigNumbers && !numeric_->isVisible()) {
        ShowNumericWindow(false);
    }
    if (s.LoudnessWindow && !loudness_->isVisible()) {
        ShowLoudnessWindow(false);
    }
    if (s.SplWindow && !soundLevel_->isVisible()) {
        ShowSoundLevelWindow(false);
    }
    if (s.SpectrumWindow && !spectrum_->isVisible()) {
        ShowSpectrumWindow(false);
    }
}

QRect TForm1::SideWindowPlace(QWidget& window, bool stored, int32_t left, int32_t top,
                              int32_t width, int32_t height) {
    std::erase(sideWindowsOpened_, &window);
    sideWindowsOpened_.push_back(&window);
    if (stored) {
        const QRect place(left, top, width, height);
        return InsideArea(place, AvailableAreaFor(place));
    }
    return FirstPlace(window, QSize(width, height));
}

QRect TForm1::FirstPlace(const QWidget& window, const QSize& size) const {
    const QRect main = frameGeometry();
    std::vector<QRect> open;
    for (const QWidget* side : sideWindowsOpened_) {
        if (side == &window) {
            break;  // placed after the windows opened before it
        }
        if (side->isVisible()) {
            open.push_back(side->frameGeometry());
        }
    }
    const int toolBarBottom = client_->mapToGlobal(QPoint(0, kToolBarHeight)).y();
    // The main window's title bar, the height a cascaded window steps by.
    const int titleStep = std::max(kMinTitleStep, geometry().top() - main.top());
    return FirstSidePlace(size, main, open, toolBarBottom, titleStep, AvailableAreaFor(main));
}

void TForm1::ShowNumericWindow(bool activate) {
    const TMeterSettings& s = app_.settings();
    numeric_->FormShow(
        SideWindowPlace(*numeric_, s.NumPlaceStored, s.NumLeft, s.NumTop, s.NumWidth, s.NumHeight),
        activate);
}

void TForm1::ShowLoudnessWindow(bool activate) {
    const TMeterSettings& s = app_.settings();
    loudness_->FormShow(SideWindowPlace(*loudness_, s.LoudPlaceStored, s.LoudLeft, s.LoudTop,
                                        s.LoudWidth, s.LoudHeight),
                        activate);
}

void TForm1::ShowSoundLevelWindow(bool activate) {
    const TMeterSettings& s = app_.settings();
    soundLevel_->FormShow(SideWindowPlace(*soundLevel_, s.SPLPlaceStored, s.SPLLeft, s.SPLTop,
                                          s.SPLWidth, s.SPLHeight),
                          activate);
}

void TForm1::ShowSpectrumWindow(bool activate) {
    const TMeterSettings& s = app_.settings();
    spectrum_->FormShow(SideWindowPlace(*spectrum_, s.SpectrumPlaceStored, s.SpectrumLeft,
                                        s.SpectrumTop, s.SpectrumWidth, s.SpectrumHeight),
                        activate);
}

void TForm1::BuildMenus() {
    QMenu* file = menuBar()->addMenu("&File         ");
    file_ = file;
    saveAs1_ = file->addAction("Save As...                            Ctrl+S",
                               [this] { app_.SaveAs1Click(); });
    file->addAction(" Explore Results Folder...", [this] { app_.ExploreResultsFolder1Click(); });
    closeFile1_ = file->addAction("Close File                            Ctrl+F",
                                  [this] { app_.CloseFile1Click(); });
    file->addSeparator();
    file->addAction("Take Screen Shot               Ctrl+C", [this] { app_.TakeSnapshot(); });
    file->addAction("Choose Snapshot Folder...", [this] { app_.ChooseSnapshotFolder1Click(); });
    file->addAction("Explore Snapshot Folder...", [this] { app_.ExploreFolder1Click(); });
    file->addSeparator();
    file->addAction("Exit program", [this] { close(); });
    file->addSeparator();

    QMenu* options = menuBar()->addMenu("&Options   ");
    options->addAction("Program Setup", [this] { ProgramSetup1Click(); });
    options->addAction("Test Results Setup", [this] { TestResultsSetup1Click(); });
    options->addAction("Sound Level Setup", [this] { SoundLevelSetup1Click(); });

    QMenu* view = menuBar()->addMenu("&View       ");
    for (int mode = 1; mode <= 3; ++mode) {
        static const char* const kNames[] = {"Compact", "Graph and Status", "Full Display"};
        view->addAction(kNames[mode - 1], [this, mode] {
            app_.ViewModeClick(mode);
            ApplyViewMode();
        });
    }
    view->addSeparator();
    numericDisplay1_ = view->addAction("Numeric Display", [this] { NumericDisplay1Click(); });
    numericDisplay1_->setCheckable(true);
    loudnessMeter1_ = view->addAction("Loudness Meter", [this] { LoudnessMeter1Click(); });
    loudnessMeter1_->setCheckable(true);
    soundLevelMeter1_ = view->addAction("Sound Level Meter", [this] { SoundLevelMeter1Click(); });
    soundLevelMeter1_->setCheckable(true);
    spectrum1_ = view->addAction("Spectrum", [this] { Spectrum1Click(); });
    spectrum1_->setCheckable(true);
    view->addSeparator();
    // Ticked while a replay runs; choosing it again ends the replay, as the
    // tool button does.
    replay1_ = view->addAction("Replay Test Sample", [this] {
        app_.TBreplayClick();
        Refresh();
    });
    replay1_->setCheckable(true);
    view->addAction("Clear Screen", QKeySequence("Ctrl+X"), [this] { app_.ClearScreen1Click(); });

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("Tarnwick on the Web", [this] { app_.Website1Click(); });
    help->addAction("Help with the Program", QKeySequence(Qt::Key_F1), [this] {
        app_.Help2Click(QCoreApplication::applicationDirPath().toStdString());
    });
    help->addAction("About Tarnwick", [this] { About1Click(); });
}

TForm1::~TForm1() {
    app_.SetBlockObserver(nullptr);
}

TWindowPlacement TForm1::Placement() const {
    TWindowPlacement placement;
    const QRect frame = frameGeometry();
    placement.main = {frame.left(), frame.top(), frame.width(), frame.height()};
    placement.numericVisible = numeric_->isVisible();
    const QRect numeric = numeric_->frameGeometry();
    placement.numeric = {numeric.left(), numeric.top(), numeric.width(), numeric.height()};
    placement.loudnessVisible = loudness_->isVisible();
    const QRect loudness = loudness_->frameGeometry();
    placement.loudness = {loudness.left(), loudness.top(), loudness.width(), loudness.height()};
    placement.soundLevelVisible = soundLevel_->isVisible();
    const QRect soundLevel = soundLevel_->frameGeometry();
    placement.soundLevel = {soundLevel.left(), soundLevel.top(), soundLevel.width(),
                            soundLevel.height()};
    placement.spectrumVisible = spectrum_->isVisible();
    const QRect spectrum = spectrum_->frameGeometry();
    placement.spectrum = {spectrum.left(), spectrum.top(), spectrum.width(), spectrum.height()};
    if (sideWindowsPending_) {
        // Closed before the windows left open could show: they stay open, where
        // they were.
        const TMeterSettings& s = app_.settings();
        if (!placement.numericVisible) {
            placement.numericVisible = s.BigNumbers;
            placement.numeric = {s.NumLeft, s.NumTop, s.NumWidth, s.NumHeight};
        }
        if (!placement.loudnessVisible) {
            placement.loudnessVisible = s.LoudnessWindow;
            placement.loudness = {s.LoudLeft, s.LoudTop, s.LoudWidth, s.LoudHeight};
        }
        if (!placement.soundLevelVisible) {
            placement.soundLevelVisible = s.SplWindow;
            placement.soundLevel = {s.SPLLeft, s.SPLTop, s.SPLWidth, s.SPLHeight};
        }
        if (!placement.spectrumVisible) {
            placement.spectrumVisible = s.SpectrumWindow;
            placement.spectrum = {s.SpectrumLeft, s.SpectrumTop, s.SpectrumWidth, s.SpectrumHeight};
        }
    }
    return placement;
}

void TForm1::NumericDisplay1Click() {
    const bool show = app_.NumericDisplay1Click();
    numericDisplay1_->setChecked(show);
    if (show) {
        ShowNumericWindow(true);
    } else {
        numeric_->close();
    }
}

void TForm1::LoudnessMeter1Click() {
    const bool show = app_.LoudnessMeter1Click();
    loudnessMeter1_->setChecked(show);
    if (show) {
        ShowLoudnessWindow(true);
    } else {
        loudness_->close();
    }
}

void TForm1::SoundLevelMeter1Click() {
    const bool show = app_.SoundLevelMeter1Click();
    soundLevelMeter1_->setChecked(show);
    if (show) {
        ShowSoundLevelWindow(true);
    } else {
        soundLevel_->close();
    }
}

void TForm1::Spectrum1Click() {
    const bool show = app_.Spectrum1Click();
    spectrum1_->setChecked(show);
    if (show) {
        ShowSpectrumWindow(true);
    } else {
        spectrum_->close();
    }
}

void TForm1::About1Click() {
    TForm3 about(app_.SnapshotFolder(), this);
    about.adjustSize();
    CentreOnScreen(about);
    KeepAboveOwner(about);
    about.exec();
}

void TForm1::TestResultsSetup1Click() {
    if (resultsWindow_ == nullptr) {
        resultsWindow_ = new TForm4(*resultsModel_, this);
    }
    resultsWindow_->ShowModal();
    Refresh();
}

void TForm1::SoundLevelSetup1Click() {
    if (soundLevelSetup_ == nullptr) {
        soundLevelSetup_ = new TSoundLevelSetupWindow(*soundLevelModel_, app_, this);
    }
    soundLevelSetup_->ShowModal();
    Refresh();
}

void TForm1::SaveSettingsNow() {
    if (saveSettings_) {
        saveSettings_(*this);
    }
}

void TForm1::ProgramSetup1Click() {
    if (configWindow_ == nullptr) {
        configWindow_ = new TForm2(*configModel_, this);
    }
    configWindow_->ShowModal(this);
    if (!isVisible()) {
        return;  // the program ended while the dialog was open
    }
    // Always on top follows the setting, the windows this one owns with it,
    // and no control keeps the focus, so that Enter runs nothing unasked.
    const bool onTop = app_.settings().OnTop;
    if (((windowFlags() & Qt::WindowStaysOnTopHint) != 0) != onTop) {
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        show();
        ShareOwnersLayer(*numeric_);
        ShareOwnersLayer(*loudness_);
        ShareOwnersLayer(*soundLevel_);
        ShareOwnersLayer(*spectrum_);
    }
    client_->setFocus();
    Refresh();
}

void TForm1::BuildToolBar(QWidget* client) {
    struct Button {
        int image;
        const char* hint;
        std::function<void()> action;
    };
    const std::array<Button, 7> buttons = {{
        {0, "Open new log file", [this] { app_.SaveAs1Click(); }},
        {1, "Close current log file", [this] { app_.CloseFile1Click(); }},
        {2, "Replay test sample", [this] { app_.TBreplayClick(); }},
        {3, "Capture current screen", [this] { app_.TakeSnapshot(); }},
        {4, "Setup log file options", [this] { TestResultsSetup1Click(); }},
        {5, "Setup program options", [this] { ProgramSetup1Click(); }},
        {6, "Window size", [this] { ToolButton1Click(); }},
    }};
    int x = 0;
    for (const Button& b : buttons) {
        auto* tool = new QToolButton(client);
        tool->setGeometry(x, 0, 48, kToolBarHeight);
        tool->setIcon(QIcon(kToolBarImages[static_cast<size_t>(b.image)]));
        tool->setIconSize(QSize(32, 32));
        tool->setToolTip(b.hint);
        tool->setAccessibleName(b.hint);
        tool->setAutoRaise(true);
        // Reached with Tab, never taken by a click, which leaves the focus
        // where the user put it.
        tool->setFocusPolicy(Qt::TabFocus);
        QObject::connect(tool, &QToolButton::clicked, b.action);
        tools_[static_cast<size_t>(b.image)] = tool;
        x += 48;
        if (b.image == 0) {
            tbOpen_ = tool;
        } else if (b.image == 1) {
            tbClose_ = tool;
        } else if (b.image == 2) {
            tbReplay_ = tool;
        }
    }
}

void TForm1::BuildControls(QWidget* client) {
    image_ = new MeterImage(app_, client);
    image_->move(50, 60);
    image_->setAccessibleName("Meter");

    QPalette light = client->palette();
    light.setColor(QPalette::WindowText, Qt::white);
    label1_ = MakeLabel(client, 50, 487, "", 460);
    label1_->setPalette(light);
    label2_ = MakeLabel(client, 48, 516, QString::fromStdString(app_.view().Label2), 96);
    label2_->setPalette(light);
    label3_ = MakeLabel(client, 144, 516, "", 360);
    label3_->setPalette(light);

    checkBox1_ = new QCheckBox(" Auto-Start", client);
    checkBox1_->move(383, 503);
    checkBox1_->setPalette(light);
    checkBox1_->setToolTip("When checked, display starts when audio is present");
    checkBox1_->setFocusPolicy(Qt::TabFocus);
    QObject::connect(checkBox1_, &QCheckBox::clicked,
                     [this](bool checked) { app_.CheckBox1Click(checked); });

    startStop_ = new QPushButton(client);
    startStop_->setGeometry(525, 487, 108, 44);
    startStop_->setIconSize(QSize(110, 48));
    startStop_->setFocusPolicy(Qt::TabFocus);
    startStop_->setFlat(true);
    // Shown pressed while a test runs (the state comes from the meter): the
    // picture sinks by the width of a shadow drawn above and left of it. A
    // property, not a checked state, so that a screen reader says "button"
    // rather than "check box".
    startStop_->setProperty(kRunningProperty, false);
    startStop_->setStyleSheet(
        "QPushButton { border: none; }"
        "QPushButton[running=\"true\"] { border-top: 2px solid #161616; "
        "border-left: 2px solid #161616; }");
    QObject::connect(startStop_, &QPushButton::clicked, [this] { app_.StartStopButtonClick(); });

    auto* panel5 = new QWidget(client);
    panel5->setGeometry(50, 564, 583, 140);
    SetBackground(panel5, kPanelColour);
    QPalette panelText = panel5->palette();
    panelText.setColor(QPalette::WindowText, Qt::white);
    auto caption = [&](int x, int y, const char* text) {
        MakeLabel(panel5, x, y, text)->setPalette(panelText);
    };
    // A readout's box below its caption, which a screen reader says first.
    auto readout = [&](int x, int y, const char* text) {
        caption(x, y, text);
        QLabel* box = MakeReadout(panel5, x, y + 20, 110);
        readouts_.push_back({box, QString(text).simplified()});
        box->setAccessibleName(readouts_.back().caption);
        return box;
    };
    peak_ = readout(12, 8, "Peak level dB");
    shortAverage_ = readout(140, 8, "Short term average  dB");
    label6_ = MakeLabel(panel5, 140, 56, "", 170);
    label6_->setPalette(panelText);
    longAverage_ = readout(320, 8, "Run time average  dB");
    elapsed_ = readout(12, 80, "Run time");
    elapsed_->setToolTip("Elapsed time since start of test");
    overTime_ = readout(140, 80, "Time over target 1");
    underTime_ = readout(320, 80, "Time under target 2");
    label11_ = MakeLabel(panel5, 450, 100, "", 130);
    label11_->setPalette(panelText);
    caption(470, 8, "Over");
    lamp_ = new Lamp(panel5);
    lamp_->move(510, 4);
    label14_ = MakeLabel(panel5, 320, 56, "THRESHOLD ENABLED");
    QPalette red = panel5->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    label14_->setPalette(red);
    QFont bold = label14_->font();
    bold.setBold(true);
    label14_->setFont(bold);
}

void TForm1::ShowText(QLabel* label, const std::string& text) {
    std::string& shown = shownText_[label];
    if (shown != text) {
        shown = text;
        label->setText(QString::fromStdString(text));
        for (const Readout& r : readouts_) {
            if (r.box == label) {
                const QString value = QString::fromStdString(text).trimmed();
                label->setAccessibleName(value.isEmpty() ? r.caption : r.caption + ": " + value);
            }
        }
    }
}

void TForm1::ShowHint(QWidget* widget, const std::string& hint) {
    std::string& shown = shownText_[widget];
    if (shown != hint) {
        shown = hint;
        widget->setToolTip(QString::fromStdString(hint));
    }
}

void TForm1::Refresh() {
    pacer_.FramePainted(clock_.elapsed());
    // The idle refresh waits a full period from here: while frames follow
    // the blocks it never fires, and the window does not wake for it.
    idle_.start(kIdleRefreshMs);
    const TMainViewState& v = app_.view();
    image_->RefreshIfChanged();
    numeric_->RefreshNumericWindow();
    loudness_->RefreshLoudnessWindow();
    soundLevel_->RefreshSoundLevelWindow();
    spectrum_->RefreshSpectrumWindow();
    ShowText(peak_, v.PeakDisplay);
    ShowText(shortAverage_, v.ShortAvglDisplay);
    ShowText(longAverage_, v.LongAvgDisplay);
    ShowText(overTime_, v.OverTimeDisplay);
    ShowText(underTime_, v.Undertimedisplay);
    ShowText(elapsed_, v.ElapTimeDisplay);
    ShowText(label11_, v.Label11);
    ShowText(label6_, v.Label6);
    ShowText(label1_, v.Label1);
    ShowText(label2_, v.Label2);
    ShowText(label3_, v.Label3);
    label14_->setVisible(v.Label14Visible);
    lamp_->SetColour(v.tooHigh);
    checkBox1_->setChecked(v.CheckBox1Checked);
    tbOpen_->setEnabled(v.TBopenEnabled);
    tbClose_->setEnabled(v.TBcloseEnabled);
    saveAs1_->setEnabled(v.SaveAs1Enabled);
    closeFile1_->setEnabled(v.CloseFile1Enabled);
    // Pictures and hints are set only when they change: setting one makes the
    // button parse and repaint it, which at the frame rate cost more than all
    // of the meter's own work.
    const bool replayRunning = v.TBreplayImage == 7;
    if (replayRunning != shownReplayRunning_) {
        shownReplayRunning_ = replayRunning;
        tbReplay_->setIcon(replayRunning ? replayRunningIcon_ : replayIcon_);
    }
    replay1_->setChecked(replayRunning);
    if (startStop_->property(kRunningProperty).toBool() != v.StartStopButtonDown) {
        startStop_->setProperty(kRunningProperty, v.StartStopButtonDown);
        startStop_->style()->unpolish(startStop_);
        startStop_->style()->polish(startStop_);
        startStop_->update();
    }
    const bool stopShown = v.StartStopPicture == 1;
    if (stopShown != shownStop_) {
        shownStop_ = stopShown;
        startStop_->setIcon(stopShown ? stopIcon_ : startIcon_);
        startStop_->setAccessibleName(stopShown ? "Stop test" : "Start test");
    }
    ShowHint(startStop_, v.StartStopHint);
    if (meterDescription_.Due(clock_.elapsed())) {
        if (const std::optional<std::string> described = meterDescription_.Offer(
                clock_.elapsed(), MeterDescription(v.PeakDisplay, v.tooHigh != kLampDark))) {
            image_->setAccessibleDescription(QString::fromStdString(*described));
        }
    }
    const QString caption = QString::fromStdString(v.Caption);
    if (windowTitle() != caption) {
        setWindowTitle(caption);
    }
}

bool TForm1::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers chords = Chords(modifiers);
    if (chords == Qt::ControlModifier &&
        (key == Qt::Key_S || key == Qt::Key_F || key == Qt::Key_C)) {
        return HandleKey(key);  // the keys the File menu shows beside its items
    }
    if (chords != Qt::NoModifier) {
        return false;
    }
    switch (key) {
        case Qt::Key_F10:
            activateWindow();  // from the numeric window too
            menuBar()->setActiveAction(file_->menuAction());
            return true;
        case Qt::Key_Space:
            app_.StartStopButtonClick();
            return true;
        case Qt::Key_B:
            Spectrum1Click();
            return true;
        case Qt::Key_C:
            app_.TakeSnapshot();
            return true;
        case Qt::Key_F:
            app_.CloseFile1Click();
            return true;
        case Qt::Key_L:
            LoudnessMeter1Click();
            return true;
        case Qt::Key_P:
            SoundLevelMeter1Click();
            return true;
        case Qt::Key_S:
            app_.SaveAs1Click();
            return true;
        case Qt::Key_V:
            ToolButton1Click();
            return true;
        default:
            return false;
    }
}

bool TForm1::TakesKeysFrom(const QWidget* active, int key, Qt::KeyboardModifiers modifiers) const {
    if (active == this || active == numeric_.get()) {
        return true;
    }
    // C and L are the Loudness window's own: a picture of it, and closing it;
    // P is the Sound Level window's, closing it.
    const bool plain = Chords(modifiers) == Qt::NoModifier;
    if (active == soundLevel_.get()) {
        return !(plain && key == Qt::Key_P);
    }
    // The Spectrum window's letters are its own: B closes it, the others
    // choose what it shows.
    if (active == spectrum_.get()) {
        return !(plain && TSpectrumWindow::OwnKey(key));
    }
    const bool loudnessKey = (key == Qt::Key_C || key == Qt::Key_L) && plain;
    return active == loudness_.get() && !loudnessKey;
}

bool TForm1::RunFocusedControl() {
    auto* control = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    if (control == nullptr || control->window() != this || !control->isEnabled()) {
        return false;
    }
    control->click();
    return true;
}

void TForm1::ForgetStaleHover() {
    const QPoint pointer = QCursor::pos();
    for (QToolButton* tool : tools_) {
        if (tool->underMouse() && !tool->rect().contains(tool->mapFromGlobal(pointer))) {
            tool->setAttribute(Qt::WA_UnderMouse, false);
            tool->update();
        }
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Keys reach the window's handler whatever control has the focus, as long
    // as no dialog is open over it and no menu is pulled down (its own keys
    // apply then).
    if (event->type() == QEvent::KeyPress && QApplication::activeModalWidget() == nullptr &&
        QApplication::activePopupWidget() == nullptr) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QWidget* active = QApplication::activeWindow();
        if (!key->isAutoRepeat() && TakesKeysFrom(active, key->key(), key->modifiers()) &&
            HandleKey(key->key(), key->modifiers())) {
            Refresh();
            return true;
        }
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && active == this && Chords(key->modifiers()) == Qt::NoModifier &&
            RunFocusedControl()) {
            Refresh();
            return true;
        }
    } else if (event->type() == QEvent::WindowUnblocked && watched == this) {
        ForgetStaleHover();
    } else if (event->type() == QEvent::Expose && placeCheckPending_ &&
               watched == static_cast<QObject*>(windowHandle()) &&
               frameGeometry().size() != size()) {
        // The desktop has framed the window: its place is checked again with
        // the frame counted.
        placeCheckPending_ = false;
        KeepInsideScreen(*this);
        ShowSideWindowsLeftOpen();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange &&
        (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) != 0) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
        });
    }
    QMainWindow::changeEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    app_.FormClose();
    if (saveWindowState_) {
        saveWindowState_(*this);
    }
    numeric_->hide();
    loudness_->hide();
    soundLevel_->hide();
    spectrum_->hide();
    event->accept();
}

}  // namespace tarnwick
