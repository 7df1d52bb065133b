#pragma once
// TForm1: the main window. Thin: it forwards the user's events to MeterApp and
// renders MeterApp's view state and meter picture. The picture and the
// readouts are refreshed about 25 times a second, and never faster than the
// screen shows frames, whatever the block rate.
//
// It owns the numeric, Loudness, Sound Level and Spectrum windows, which
// stay above it in its layer.
// Every command can be reached from the keyboard: Tab moves through the tool
// buttons, Auto-Start and Start/Stop, Enter runs the one with the focus, and
// the menus open with Alt and their underlined letter, or F10. Each control
// has an accessible name, as a screen reader reads it.

#include <QCheckBox>
#include <QElapsedTimer>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/config_dialog.h"
#include "app/meter_app.h"
#include "app/results_dialog.h"
#include "app/window_day_log.h"
#include "settings/settings_store.h"
#include "ui/frame_pacer.h"
#include "ui/loudness_window.h"
#include "ui/meter_description.h"
#include "ui/numeric_window.h"
#include "ui/results_window.h"
#include "ui/setup_window.h"
#include "ui/sound_level_setup_window.h"
#include "ui/sound_level_window.h"
#include "ui/spectrum_window.h"

namespace tarnwick {

class MeterImage;
class Lamp;

class TForm1 : public QMainWindow {
public:
    // `saveWindowState` stores the window state when the window closes;
    // `saveSettings` stores the settings when a setup dialog is confirmed.
    TForm1(MeterApp& app, IUserDialogs& dialogs, IDesktopShell& shell, ITextRasteriser& text,
           std::function<void(const TForm1&)> saveWindowState,
           std::function<void(const TForm1&)> saveSettings);
    ~TForm1() override;

    // The windows' bounds as the settings store them.
    TWindowPlacement Placement() const;

    // Shows or closes the numeric window.
    void NumericDisplay1Click();
    // Shows or closes the loudness window.
    void LoudnessMeter1Click();
    // Shows or closes the sound level window.
    void SoundLevelMeter1Click();
    // Shows or closes the spectrum window.
    void Spectrum1Click();
    void About1Click();

    // The results setup dialog, modal.
    void TestResultsSetup1Click();
    // The program setup dialog, modal; starts a test if none runs.
    void ProgramSetup1Click();
    // The sound level setup dialog, modal.
    void SoundLevelSetup1Click();

    // Places the window from the settings, inside the screen, applies the view
    // mode and draws the loaded scale. The numeric, Loudness, Sound Level and
    // Spectrum windows left open come back without taking the keyboard focus from this
    // window.
    void FormShow();
    // The per-second log that takes every block; null: none.
    void SetDayLog(WindowDayLog* log) { dayLog_ = log; }

    // Client heights of the view modes 1 to 3; the client width is always 678.
    static constexpr int kClientWidth = 678;
    static int ClientHeightFor(int32_t view);
    void ApplyViewMode();
    void ToolButton1Click();

    // The keys the window sees before any control, while it or the numeric
    // window is active (and while the Loudness window is, but for its own C
    // and L, the Sound Level window, but for its own P, and the Spectrum
    // window, but for its own keys): Space, B, C, F, L, P, S and V without
    // Ctrl, Alt or Meta; Ctrl+S, Ctrl+F and Ctrl+C, the
    // keys the File menu shows; F10, which opens the menu bar. True when the
    // key was taken.
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

protected:
    void closeEvent(QCloseEvent* event) override;
    // The window has no maximise; a desktop that maximises it anyway (from
    // its own menu or a key) finds it restored at once.
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildToolBar(QWidget* client);
    void BuildControls(QWidget* client);
    // The outer bounds `window` opens at: its stored place when the settings
    // hold one, else its first place beside the open side windows; inside
    // the screen either way.
    QRect SideWindowPlace(QWidget& window, bool stored, int32_t left, int32_t top, int32_t width,
                          int32_t height);
    // The first place of side window `window` of outer size `size`, beside the
    // side windows opened before it.
    QRect FirstPlace(const QWidget& window, const QSize& size) const;
    void ShowNumericWindow(bool activate);
    void ShowLoudnessWindow(bool activate);
    void ShowSoundLevelWindow(bool activate);
    void ShowSpectrumWindow(bool activate);
    // On a screen smaller than the window (a small screen, or a large scale)
    // the meter scrolls in a window as large as the screen.
    void FitToScreen();
    // Whether the keys of this window act while `active` is the active window.
    bool TakesKeysFrom(const QWidget* active, int key, Qt::KeyboardModifiers modifiers) const;
    // Enter or Return runs the tool button or the control with the focus.
    bool RunFocusedControl();
    // A tool button under which the pointer left while a dialog was open is no
    // longer drawn as under the pointer.
    void ForgetStaleHover();

    void Refresh();
    // Sets a label's text or a widget's hint when it differs from what was
    // set last.
    void ShowText(QLabel* label, const std::string& text);
    void ShowHint(QWidget* widget, const std::string& hint);
    void SaveSettingsNow();
    // Sets the frame times for the screen the window is on.
    void SetFrameTimes();

    MeterApp& app_;
    std::function<void(const TForm1&)> saveWindowState_;
    std::function<void(const TForm1&)> saveSettings_;
    std::unique_ptr<TResultsDialog> resultsModel_;
    std::unique_ptr<TConfigDialog> configModel_;
    TForm2* configWindow_ = nullptr;
    TForm4* resultsWindow_ = nullptr;
    QWidget* client_ = nullptr;
    MeterImage* image_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;  // "Next Save:", or that the input is lost
    QLabel* label3_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    QPushButton* startStop_ = nullptr;
    std::array<QToolButton*, 7> tools_{};
    QToolButton* tbOpen_ = nullptr;
    QToolButton* tbClose_ = nullptr;
    QToolButton* tbReplay_ = nullptr;
    QMenu* file_ = nullptr;
    QAction* saveAs1_ = nullptr;
    QAction* closeFile1_ = nullptr;
    QAction* replay1_ = nullptr;
    QLabel* peak_ = nullptr;
    QLabel* shortAverage_ = nullptr;
    QLabel* longAverage_ = nullptr;
    QLabel* overTime_ = nullptr;
    QLabel* underTime_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QLabel* label11_ = nullptr;
    QLabel* label6_ = nullptr;
    QLabel* label14_ = nullptr;
    Lamp* lamp_ = nullptr;
    // The readouts with the captions a screen reader says before their values.
    struct Readout {
        QLabel* box;
        QString caption;
    };
    std::vector<Readout> readouts_;
    static constexpr int kDescriptionIntervalMs = 1000;
    DescriptionPacer meterDescription_{kDescriptionIntervalMs};
    // Once the desktop has framed the window, its place is checked again
    // against the screen, the frame included.
    bool placeCheckPending_ = false;
    // Refreshing: a frame follows the blocks, and now and then when idle.
    // 25 frames a second show every movement of the bars the eye can follow,
    // and move the graph evenly: two columns a frame at the default sweep.
    static constexpr int kFrameMs = 40;
    static constexpr int kFrameSlackMs = 10;
    static constexpr int kIdleRefreshMs = 100;
    void BlockShown();
    QElapsedTimer clock_;  // the frames' milliseconds
    FramePacer pacer_{kFrameMs - kFrameSlackMs, kFrameMs + kFrameSlackMs};
    QTimer frame_;
    QTimer idle_;
    std::unique_ptr<TForm5> numeric_;
    QAction* numericDisplay1_ = nullptr;
    std::unique_ptr<TLoudnessWindow> loudness_;
    QAction* loudnessMeter1_ = nullptr;
    // The sound level window's figures are kept while it is closed, so that
    // it shows the whole test when it opens.
    std::unique_ptr<TSoundLevelView> soundLevelView_;
    std::unique_ptr<TSoundLevelWindow> soundLevel_;
    QAction* soundLevelMeter1_ = nullptr;
    std::unique_ptr<TSpectrumView> spectrumView_;
    std::unique_ptr<TSpectrumWindow> spectrum_;
    QAction* spectrum1_ = nullptr;
    // The side windows in the order they were last opened.
    std::vector<const QWidget*> sideWindowsOpened_;
    // The side windows left open at the last run, shown once the main window
    // is framed.
    bool sideWindowsPending_ = false;
    QScrollArea* scroll_ = nullptr;  // only where the screen is too small
    void ShowSideWindowsLeftOpen();
    std::unique_ptr<TSoundLevelDialog> soundLevelModel_;
    TSoundLevelSetupWindow* soundLevelSetup_ = nullptr;

    // What the window shows now, so that Refresh changes only what differs.
    std::unordered_map<const QWidget*, std::string> shownText_;
    QIcon startIcon_;
    QIcon stopIcon_;
    QIcon replayIcon_;
    QIcon replayRunningIcon_;
    std::optional<bool> shownReplayRunning_;
    std::optional<bool> shownStop_;
    WindowDayLog* dayLog_ = nullptr;
};

}  // namespace tarnwick
