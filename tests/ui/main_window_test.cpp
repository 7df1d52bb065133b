// The main window on real widgets: keys, view modes, caption, the numeric
// window and the window state handed to the settings store.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "core/fakes.h"
#include "ui/main_window.h"

namespace tarnwick {
namespace {

struct Window {
    explicit Window(int instance = 1) {
        harness.app.FormCreate(instance, DefaultSettings());
        form = std::make_unique<TForm1>(
            harness.app, harness.dialogs, harness.shell, harness.text,
            [this](const TForm1& f) {
                ++windowStateSaves;
                saved = f.Placement();
            },
            [this](const TForm1&) { ++settingsSaves; });
        form->FormShow();
    }
    ~Window() { form->hide(); }

    fakes::AppHarness harness;
    std::unique_ptr<TForm1> form;
    int windowStateSaves = 0;
    int settingsSaves = 0;
    TWindowPlacement saved;
};

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
    EXPECT_TRUE(w.form->HandleKey(Qt::Key_F));
    EXPECT_FALSE(w.harness.app.settings().FileOpen);
    EXPECT_FALSE(w.form->HandleKey(Qt::Key_Q));
}

TEST(MainWindow, TheSecondCopyCarriesItsNumberInTheCaption) {
    Window first(1);
    EXPECT_EQ(first.form->windowTitle(), "Tarnwick  V.1.40");
    Window second(2);
    EXPECT_EQ(second.form->windowTitle(), "Tarnwick - 2   V.1.40");
}

TEST(MainWindow, NumericWindowOpensAtItsBoundsAndClosingIsRemembered) {
    Window w;
    w.form->NumericDisplay1Click();
    EXPECT_TRUE(w.harness.app.settings().BigNumbers);
    TWindowPlacement placement = w.form->Placement();
    EXPECT_TRUE(placement.numericVisible);
    EXPECT_EQ(placement.numeric.width >= 512, true);

    w.form->NumericDisplay1Click();
    EXPECT_FALSE(w.harness.app.settings().BigNumbers);
    EXPECT_FALSE(w.form->Placement().numericVisible);

    // Closing the main window stores the window state once.
    w.form->close();
    EXPECT_EQ(w.windowStateSaves, 1);
    EXPECT_EQ(w.saved.main.width > 0, true);
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
    EXPECT_EQ(w.settingsSaves, 1);
}

}  // namespace
}  // namespace tarnwick
