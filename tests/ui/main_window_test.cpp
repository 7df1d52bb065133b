// The main window on real widgets: keys, view modes, caption and settings key
// of a second copy, the numeric window, help, and the window state handed to
// the settings store.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "core/fakes.h"
#include "platform/qt_desktop_shell.h"
#include "ui/frame_pacer.h"
#include "ui/main_window.h"
#include "ui/window_places.h"

namespace tarnwick {
namespace {

// The main window over the fakes, its window state stored through the real
// settings store into `harness.store`.
struct Window {
    explicit Window(int instance = 1, std::optional<TMeterSettings> stored = std::nullopt)
        : settingsStore(harness.store, harness.dialogs) {
        harness.app.FormCreate(instance, stored.value_or(DefaultSettings()));
        form = std::make_unique<TForm1>(
            harness.app, harness.dialogs, harness.shell, harness.text,
            [this](const TForm1& f) {
                ++windowStateSaves;
                saved = f.Placement();
                settingsStore.SaveWindowState(harness.app.settings(), saved);
            },
            [this](const TForm1&) { ++settingsSaves; });
        form->FormShow();
    }
    ~Window() { form->hide(); }

    // The settings as the next start of the program would load them.
    TMeterSettings Reloaded(int instance = 1) {
        return settingsStore.LoadSettings(instance, "/home/operator/Documents");
    }

    fakes::AppHarness harness;
    TSettingsStore settingsStore;
    std::unique_ptr<TForm1> form;
    int windowStateSaves = 0;
    int settingsSaves = 0;
    TWindowPlacement saved;
};

QAction* MenuAction(QWidget& window, const QString& caption) {
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->text() == caption) {
            return action;
        }
    }
    return nullptr;
}

TEST(MainWindow, KeysReachTheCommandsAndViewModesCutTheClientArea) {
    Window w;
    EXPECT_EQ(w.form->centralWidget()->height(), 722);
    EXPECT_EQ(w.form->centralWidget()->width(), 678);
    EXPECT_TRUE(w.form->HandleKey(Qt::Key_V));  // 3 -> 1
    EXPECT_EQ(w.harness.app.settings().View, 1);
    EXPECT_EQ(w.form->centralWidget()->height(), 482);
    w.form->HandleKey(Qt::Key_V);
    EXPECT_EQ(w.form->centralWidget()->height(), 548);

    EXPECT_TRUE(w.form->HandleKey(Qt::Key_Space));
    EXPECT_TRUE(w.harness.app.testRun().TestRunning);
    w.harness.dialogs.saveAnswers.push_back(SaveFileAnswer{"/data/hall.csv", 1});
    EXPECT_TRUE(w.form->HandleKey(Qt::Key_S));
    EXPECT_TRUE(w.harness.app.settings().FileOpen);
    // With Alt or Meta a letter is another key; Ctrl+F is the File menu's.
    EXPECT_FALSE(w.form->HandleKey(Qt::Key_F, Qt::AltModifier));
    EXPECT_FALSE(w.form->HandleKey(Qt::Key_F, Qt::MetaModifier));
    EXPECT_FALSE(w.form->HandleKey(Qt::Key_V, Qt::ControlModifier));
    EXPECT_TRUE(w.harness.app.settings().FileOpen);
    EXPECT_TRUE(w.form->HandleKey(Qt::Key_F, Qt::ControlModifier));
    EXPECT_FALSE(w.harness.app.settings().FileOpen);
    EXPECT_TRUE(w.form->HandleKey(Qt::Key_C));
    ASSERT_EQ(w.harness.images.written.size(), 1u);
    EXPECT_EQ(w.harness.images.written[0].path.rfind("/home/operator/Documents/Tarnwick/", 0), 0u);
    EXPECT_FALSE(w.form->HandleKey(Qt::Key_Q));
    EXPECT_TRUE(w.form->HandleKey(Qt::Key_Space));
    EXPECT_FALSE(w.harness.app.testRun().TestRunning);
}

bool ShowsText(QWidget& window, const std::string& text) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().toStdString() == text) {
            return true;
        }
    }
    return false;
}

// When each frame is due is FramePacer's rule, tested on its own clock below;
// here the window shows what the blocks bring.
TEST(MainWindow, TheWindowShowsABlockAndTheLastOfManyFasterOnes) {
    Window w;
    w.harness.wave.DeliverSteady(fakes::Frame{1642, 1642});
    const std::string first = w.harness.app.view().PeakDisplay;
    EXPECT_TRUE(QTest::qWaitFor([&] { return ShowsText(*w.form, first); }, 1000));

    int16_t level = 1000;
    for (int i = 0; i < 50; ++i) {
        w.harness.wave.DeliverSteady(fakes::Frame{level, level});
        level = static_cast<int16_t>(level + 397);
        QCoreApplication::processEvents();
    }
    const std::string last = w.harness.app.view().PeakDisplay;
    EXPECT_TRUE(QTest::qWaitFor([&] { return ShowsText(*w.form, last); }, 1000));
}

// The paint rule on a clock of the test's own: blocks every 2 ms, as at the
// shortest sweep, for 300 ms.
TEST(FramePacer, BlocksFasterThanTheFramesArePaintedTogetherAndTheLastIsShown) {
    FramePacer pacer(30, 50);
    EXPECT_EQ(pacer.BlockShown(1000), 1000);  // after a quiet while: at once
    pacer.FramePainted(1000);
    EXPECT_EQ(pacer.BlockShown(1010), 1050);  // within the frame: waits for it
    EXPECT_EQ(pacer.BlockShown(1030), 1030);  // late enough: brings the frame
    pacer.FramePainted(1030);

    std::vector<int64_t> paints;
    int64_t lastBlock = 0;
    for (int64_t t = 2000; t <= 2400; ++t) {
        if (t < 2300 && t % 2 == 0) {
            pacer.BlockShown(t);
            lastBlock = t;
        }
        if (pacer.due() && *pacer.due() <= t) {
            EXPECT_EQ(*pacer.due(), t) << "a frame painted late";
            pacer.FramePainted(t);
            paints.push_back(t);
        }
    }
    ASSERT_FALSE(paints.empty());
    EXPECT_LE(paints.size(), 300u / 30 + 1) << "a paint for each block";
    for (size_t i = 1; i < paints.size(); ++i) {
        EXPECT_GE(paints[i] - paints[i - 1], 30);
        EXPECT_LE(paints[i] - paints[i - 1], 50);
    }
    EXPECT_GE(paints.back(), lastBlock);
    EXPECT_FALSE(pacer.due());
}

// A side window without a stored place opens where it covers neither the main
// window nor the side windows already open, else clear of the menus and of
// those windows, else cascaded by a title bar; every window lies inside the
// screen, keeping its size unless it is larger.
std::string Bounds(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

TEST(WindowPlaces, SideWindowsOpenWhereTheyCanBeReadAndEveryWindowInsideTheScreen) {
    const QRect screen(0, 0, 1024, 768);
    const QRect wide(0, 0, 1920, 1080);
    const QRect main(200, 0, 680, 768);  // the main window's frame on the small screen
    const QRect big(100, 50, 680, 720);  // and on the large one
    const int toolBarBottom = 59;
    const int step = 30;
    struct Case {
        QRect area;
        QRect main;
        std::vector<QRect> open;
        QSize side;
        QRect first;
    };
    const QRect loudness(780, 50, 360, 300);
    const QRect soundLevel(1140, 50, 420, 380);
    const QRect smallLoudness(200, toolBarBottom, 360, 300);
    const QRect smallSoundLevel(560, toolBarBottom, 420, 380);
    const Case firsts[] = {
        {screen, QRect(0, 100, 680, 768), {}, {300, 200}, QRect(680, 100, 300, 200)},  // right
        {screen, QRect(400, 0, 680, 768), {}, {360, 300}, QRect(40, 0, 360, 300)},     // left
        {screen, main, {}, {512, 256}, QRect(200, toolBarBottom, 512, 256)},  // below the tools
        {screen, main, {}, {512, 900}, QRect(200, 0, 512, 768)},              // too tall
        // On a large screen each opens beside the last, then below it.
        {wide, big, {}, {360, 300}, loudness},
        {wide, big, {loudness}, {420, 380}, soundLevel},
        {wide, big, {loudness, soundLevel}, {512, 256}, QRect(1140, 430, 512, 256)},
        // On a small one over the meter, clear of its menus and of each other.
        {screen, main, {}, {360, 300}, smallLoudness},
        {screen, main, {smallLoudness}, {420, 380}, QRect(560, toolBarBottom, 420, 380)},
        {screen, main, {smallLoudness, smallSoundLevel}, {512, 256}, QRect(0, 359, 512, 256)},
        // With no such room, a title bar down and right of the one below it.
        {screen, main, {smallLoudness}, {900, 600}, QRect(124, toolBarBottom + step, 900, 600)},
    };
    for (const Case& c : firsts) {
        EXPECT_EQ(Bounds(FirstSidePlace(c.side, c.main, c.open, toolBarBottom, step, c.area)),
                  Bounds(c.first));
    }
    const std::pair<QRect, QRect> stored[] = {
        {QRect(200, 200, 680, 770), QRect(200, 0, 680, 768)},
        {QRect(880, 400, 360, 300), QRect(664, 400, 360, 300)},
        {QRect(-50, -20, 300, 200), QRect(0, 0, 300, 200)},
        {QRect(100, 100, 1200, 300), QRect(0, 100, 1024, 300)},
        {QRect(10, 20, 300, 200), QRect(10, 20, 300, 200)},
    };
    for (const auto& [place, inside] : stored) {
        EXPECT_EQ(Bounds(InsideArea(place, screen)), Bounds(inside));
    }
}

TEST(MainWindow, WithoutBlocksWhatChangesIsShownByTheIdleRefresh) {
    Window w;
    QPushButton* startStop = nullptr;
    for (QPushButton* button : w.form->findChildren<QPushButton*>()) {
        startStop = button->iconSize() == QSize(110, 48) ? button : startStop;
    }
    ASSERT_NE(startStop, nullptr);
    QTest::qWait(20);
    const QString hint = startStop->toolTip();
    w.harness.app.StartStopButtonClick();  // not through the window, and no block comes
    EXPECT_TRUE(QTest::qWaitFor([&] { return startStop->toolTip() != hint; }, 500));
}

TEST(MainWindow, TheSecondCopyHasItsOwnCaptionAndSettingsKey) {
    Window first(1);
    EXPECT_EQ(first.form->windowTitle(), "Tarnwick  V.1.40");
    first.form->close();
    EXPECT_TRUE(first.harness.store.Value("Software\\Hollowden\\Tarnwick", "width"));

    Window second(2);
    EXPECT_EQ(second.form->windowTitle(), "Tarnwick - 2   V.1.40");
    second.form->close();
    EXPECT_TRUE(second.harness.store.Value("Software\\Hollowden\\Tarnwick 2", "width"));
    EXPECT_FALSE(second.harness.store.Value("Software\\Hollowden\\Tarnwick", "width"));
}

TEST(MainWindow, NumericWindowOpensClosesAndReturnsWhereItWasLeft) {
    Window w;
    QAction* menu = MenuAction(*w.form, "Numeric Display");
    ASSERT_NE(menu, nullptr);
    menu->trigger();
    EXPECT_TRUE(w.harness.app.settings().BigNumbers);
    EXPECT_TRUE(menu->isChecked());
    TWindowPlacement placement = w.form->Placement();
    ASSERT_TRUE(placement.numericVisible);
    EXPECT_EQ(placement.numeric.width, 512);
    EXPECT_EQ(placement.numeric.height, 256);

    // Closed from the menu and again from its own close box.
    menu->trigger();
    EXPECT_FALSE(w.harness.app.settings().BigNumbers);
    EXPECT_FALSE(w.form->Placement().numericVisible);
    menu->trigger();
    QWidget* numeric = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->windowTitle() == "Peak Level dB") {
            numeric = top;
        }
    }
    ASSERT_NE(numeric, nullptr);
    numeric->close();
    EXPECT_FALSE(w.harness.app.settings().BigNumbers);
    EXPECT_FALSE(menu->isChecked());

    // Left open, moved and resized: the next start opens it there, at the same
    // outer size (the platform's frame is not added again).
    menu->trigger();
    numeric->move(100, 200);  // inside the offscreen platform's 800 x 600 screen
    numeric->resize(QSize(640, 300) - (numeric->frameGeometry().size() - numeric->size()));
    w.form->close();
    EXPECT_EQ(w.windowStateSaves, 1);
    const TMeterSettings next = w.Reloaded();
    EXPECT_TRUE(next.BigNumbers);
    EXPECT_EQ(next.NumLeft, 100);
    EXPECT_EQ(next.NumTop, 200);
    EXPECT_EQ(next.NumWidth, 640);
    EXPECT_EQ(next.NumHeight, 300);

    Window again(1, next);
    EXPECT_TRUE(again.form->Placement().numericVisible);
    // Shown once the main window is framed, or after a second without a frame.
    const auto shown = [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->parentWidget() == again.form.get() && top->windowTitle() == "Peak Level dB") {
                return top->isVisible();
            }
        }
        return false;
    };
    EXPECT_TRUE(QTest::qWaitFor(shown, 2000));
    EXPECT_EQ(again.form->Placement().numeric.left, 100);
    EXPECT_EQ(again.form->Placement().numeric.width, 640);
    EXPECT_EQ(again.form->Placement().numeric.height, 300);
}

// B opens the Spectrum window and has its bands measured; inside it, S is its own (Slow, not Save
// As) and B closes it and stops the bands. Left open, it comes back where it was, with the reading
// its keys chose.
TEST(MainWindow, SpectrumWindowOpensWithBKeepsItsKeysAndReturnsWhereItWasLeft) {
    Window w;
    QAction* menu = MenuAction(*w.form, "Spectrum");
    ASSERT_NE(menu, nullptr);
    const auto spectrum = [](QWidget* owner) -> QWidget* {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->parentWidget() == owner && top->windowTitle() == "Spectrum") {
                return top;
            }
        }
        return nullptr;
    };
    QWidget* window = spectrum(w.form.get());
    ASSERT_NE(window, nullptr);
    const struct {
        const char* what;
        std::function<void()> key;
        bool shown;
    } steps[] = {
        {"B in the main window", [&] { w.form->HandleKey(Qt::Key_B); }, true},
        {"B in the Spectrum window", [&] { QTest::keyClick(window, Qt::Key_B); }, false},
        {"the menu", [&] { menu->trigger(); }, true},
        {"its close box", [&] { window->close(); }, false},
        {"the menu again", [&] { menu->trigger(); }, true},
    };
    for (const auto& step : steps) {
        step.key();
        EXPECT_EQ(window->isVisible(), step.shown) << step.what;
        EXPECT_EQ(w.harness.app.settings().SpectrumWindow, step.shown) << step.what;
        EXPECT_EQ(menu->isChecked(), step.shown) << step.what;
        EXPECT_EQ(w.harness.app.SpectrumBands() != nullptr, step.shown) << step.what;
    }

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_S);
    EXPECT_EQ(w.harness.app.settings().SpectrumReading,
              static_cast<int32_t>(SpectrumReading::kSlow));
    EXPECT_FALSE(w.harness.app.settings().FileOpen) << "S in the Spectrum window saved nothing";

    window->move(60, 120);  // inside the offscreen platform's 800 x 600 screen
    window->resize(QSize(400, 300) - (window->frameGeometry().size() - window->size()));
    w.form->close();
    const TMeterSettings next = w.Reloaded();
    EXPECT_TRUE(next.SpectrumWindow);
    EXPECT_EQ(next.SpectrumReading, static_cast<int32_t>(SpectrumReading::kSlow));
    EXPECT_EQ(next.SpectrumLeft, 60);
    EXPECT_EQ(next.SpectrumTop, 120);
    EXPECT_EQ(next.SpectrumWidth, 400);
    EXPECT_EQ(next.SpectrumHeight, 300);

    Window again(1, next);
    QWidget* reopened = spectrum(again.form.get());
    ASSERT_NE(reopened, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return reopened->isVisible(); }, 2000));
    EXPECT_EQ(again.form->Placement().spectrum.left, 60);
    EXPECT_EQ(again.form->Placement().spectrum.width, 400);
    EXPECT_NE(again.harness.app.SpectrumBands(), nullptr);
}

TEST(MainWindow, HelpWithoutItsPageSaysWhatIsMissing) {
    // The real desktop shell, with no Help folder beside the test program.
    fakes::AppHarness h;
    QtDesktopShell shell;
    MeterApp app(MeterPorts{h.clock, h.timers, h.wave, h.output, h.formats, h.dialogs, h.process,
                            h.store, h.files, shell, h.images, &h.text});
    app.FormCreate(1, DefaultSettings());
    TForm1 form(app, h.dialogs, shell, h.text, nullptr, nullptr);
    form.FormShow();
    QAction* help = MenuAction(form, "Help with the Program");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->shortcut(), QKeySequence(Qt::Key_F1));
    help->trigger();
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].caption, " Tarnwick Error");
    EXPECT_EQ(h.dialogs.messages[0].text, "The specified file was not found (2) - " +
                                              QCoreApplication::applicationDirPath().toStdString() +
                                              "/Help/index.html");
    form.hide();
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

TEST(SetupWindow, OpensWithATestRunningAndAppliesItsFields) {
    Window w;
    ASSERT_FALSE(w.harness.app.testRun().TestRunning);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            ADD_FAILURE() << "the setup dialog did not open";
            return;
        }
        EXPECT_EQ(dialog->windowTitle(), "Ombrix Setup");
        // The first opening re-applies the sweep and the average time.
        EXPECT_EQ(w.harness.app.view().Label6, "Time 0.28 Secs");
        QLineEdit* calibration = nullptr;
        for (QLineEdit* field : dialog->findChildren<QLineEdit*>()) {
            if (field->text() == "-2") {
                calibration = field;
            }
        }
        if (calibration != nullptr) {
            calibration->setText("abc");
            EXPECT_EQ(w.harness.app.settings().Calibration, 0.0);
            EXPECT_NE(calibration->styleSheet(), "");
        } else {
            ADD_FAILURE() << "no calibration field showing -2";
        }
        // The loudness target is typed over the preset it shows.
        for (QComboBox* box : dialog->findChildren<QComboBox*>()) {
            if (box->isEditable()) {
                EXPECT_EQ(box->currentText().toStdString(), kLoudnessTargetPresets[0]);
                box->setEditText("-16.5");
            }
        }
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == "Save and Close") {
                button->click();
                return;
            }
        }
        dialog->reject();
    });
    w.form->ProgramSetup1Click();
    EXPECT_TRUE(w.harness.app.testRun().TestRunning);
    // Save and Close takes an unreadable calibration as -2 and stores once.
    EXPECT_EQ(w.harness.app.settings().Calibration, -2.0);
    EXPECT_EQ(w.harness.app.settings().LoudnessTarget, -16.5);
    EXPECT_EQ(w.settingsSaves, 1);
}

}  // namespace
}  // namespace tarnwick
