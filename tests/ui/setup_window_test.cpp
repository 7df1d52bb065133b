// The program setup dialog as a window: what the user types, clicks and picks
// in the real widgets reaches the settings at once, shows back in the dialog,
// and the close box still hands over the chosen input device.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/fakes.h"
#include "ui/key_typing.h"
#include "ui/setup_window.h"

namespace tarnwick {
namespace {

// Where the controls sit in the dialog's client area.
const QPoint kComboBox1(16, 34);
const QPoint kEdit1(381, 35);
const QPoint kLabel14(381, 84);
const QPoint kEditAvgTime(385, 165);
const QPoint kEdit3(385, 215);
const QPoint kScaleSelect(296, 297);
const QPoint kEditFullScale(400, 328);
const QPoint kLabel25(416, 391);
const QPoint kLabel27(416, 427);
const QPoint kLabel16(416, 463);
const QPoint kPanels[] = {{8, 8}, {8, 150}, {285, 8}, {288, 271}};

template <class W>
W* ControlAt(QWidget& window, QPoint where) {
    for (W* w : window.findChildren<W*>()) {
        if (w->mapTo(&window, QPoint(0, 0)) == where) {
            return w;
        }
    }
    return nullptr;
}

template <class W>
W* Captioned(QWidget& window, const QString& caption) {
    for (W* w : window.findChildren<W*>()) {
        if (w->text() == caption) {
            return w;
        }
    }
    return nullptr;
}

QFrame* PanelAt(QWidget& window, QPoint where) {
    for (QFrame* frame : window.findChildren<QFrame*>(Qt::FindDirectChildrenOnly)) {
        if (frame->geometry().topLeft() == where) {
            return frame;
        }
    }
    return nullptr;
}

// The colour the field is filled with, away from its text and border.
std::string FillOf(QLineEdit& field) {
    const QImage image = field.grab().toImage();
    return image.pixelColor(image.width() - 6, image.height() / 2).name().toStdString();
}

// Replaces the field's text by typing `keys` over all of it.
void TypeOver(QLineEdit& field, const QString& keys) {
    field.selectAll();
    TypeKeys(field, keys);
}

class SetupWindowTest : public testing::Test {
protected:
    void Start(const TMeterSettings& stored = DefaultSettings()) {
        h.Create(stored);
        model = std::make_unique<TConfigDialog>(
            h.app, h.dialogs, [this] { ++saves; }, U'.');
        window = std::make_unique<TForm2>(*model, nullptr);
    }

    // One showing: `whileOpen` runs inside the modal loop, then the close box
    // ends it (unless `whileOpen` closed it already).
    void Show(const std::function<void(TForm2&)>& whileOpen) {
        bool ran = false;
        QTimer::singleShot(0, window.get(), [&] {
            ran = true;
            whileOpen(*window);
            if (window->isVisible()) {
                window->close();
            }
        });
        window->ShowModal(nullptr);
        EXPECT_TRUE(ran) << "the dialog never ran its modal loop";
    }

    fakes::AppHarness h;
    std::unique_ptr<TConfigDialog> model;
    std::unique_ptr<TForm2> window;
    int saves = 0;
};

TEST_F(SetupWindowTest, CalibrationFieldIsRedExactlyWhileItsTextIsNoNumber) {
    Start();
    Show([&](TForm2& dialog) {
        QLineEdit* edit1 = ControlAt<QLineEdit>(dialog, kEdit1);
        QLabel* headroom = ControlAt<QLabel>(dialog, kLabel14);
        ASSERT_NE(edit1, nullptr);
        ASSERT_NE(headroom, nullptr);
        EXPECT_EQ(edit1->text().toStdString(), "-2");
        const std::string red = "#ff0000";
        const std::string normal = FillOf(*edit1);
        EXPECT_NE(normal, red);

        struct Step {
            const char* keys;
            bool red;
            double calibration;
            const char* headroom;  // null: not looked at
        };
        const Step steps[] = {
            {"-", true, 0.0, nullptr},  // a lone sign is no number yet
            {"4", false, -4.0, "4 dB"},
            {"x", true, 0.0, nullptr},
            {"\b", false, -4.0, "4 dB"},
        };
        edit1->selectAll();
        for (const Step& step : steps) {
            SCOPED_TRACE(step.keys);
            QTest::keyClicks(edit1, step.keys);
            EXPECT_EQ(FillOf(*edit1), step.red ? red : normal);
            EXPECT_EQ(h.app.settings().Calibration, step.calibration);
            if (step.headroom != nullptr) {
                EXPECT_EQ(headroom->text().toStdString(), step.headroom);
            }
        }
        EXPECT_EQ(edit1->text().toStdString(), "-4");
    });
    // The close box keeps what was applied at once and saves nothing.
    EXPECT_EQ(h.app.settings().Calibration, -4.0);
    EXPECT_EQ(saves, 0);
}

TEST_F(SetupWindowTest, SweepAndAverageFieldsResizeTheBlocksAndEmptyTheRings) {
    Start();
    Show([&](TForm2& dialog) {
        QLineEdit* sweep = ControlAt<QLineEdit>(dialog, kEdit3);
        QLineEdit* average = ControlAt<QLineEdit>(dialog, kEditAvgTime);
        ASSERT_NE(sweep, nullptr);
        ASSERT_NE(average, nullptr);
        EXPECT_EQ(sweep->text().toStdString(), "10.0");
        EXPECT_EQ(average->text().toStdString(), "0.3");

        struct Step {
            QLineEdit* field;
            const char* keys;   // UTF-8
            const char* shown;  // what the field holds afterwards
            double sweep;
            int32_t blockBytes;
            int32_t averageLength;
            const char* label6;  // null: not looked at
        };
        const Step steps[] = {
            // The sweep field drops the letter, the superscript and the blank. 0.3 s of 352-byte
            // blocks is 150
            // blocks: the sweep field does not cap the length at 500.
            {sweep, "1x\u00b2 ", "1", 1.0, 352, 150, nullptr},
            // 1 s of them would be 501 blocks; the average field caps at 500,
            // which span 500 x 88 frames, about 1 s.
            {average, "1", "1", 1.0, 352, 500, "Time 1 Secs"},
            // 90 s is held at 60 s; 1 s of 21168-byte blocks is 8 of them.
            {sweep, "90", "90", 60.0, 21168, 8, nullptr},
        };
        for (const Step& step : steps) {
            SCOPED_TRACE(step.keys);
            // Some loud blocks put their peaks into both rings first.
            h.Blocks(5, fakes::Frame{12000, 6000});
            ASSERT_GT(h.app.statistics().RingPosition, 0);

            TypeOver(*step.field, QString::fromUtf8(step.keys));
            EXPECT_EQ(step.field->text().toStdString(), step.shown);
            const TMeterSettings& s = h.app.settings();
            EXPECT_EQ(s.Sweep, step.sweep);
            EXPECT_EQ(s.BlockBytes, step.blockBytes);
            EXPECT_EQ(s.AverageLength, step.averageLength);
            if (step.label6 != nullptr) {
                EXPECT_EQ(h.app.view().Label6, step.label6);
            }
            const TLevelStatistics& stats = h.app.statistics();
            EXPECT_EQ(stats.RingPosition, 0);
            EXPECT_TRUE(std::all_of(stats.ShortRing1.begin(), stats.ShortRing1.end(),
                                    [](int32_t v) { return v == 0; }));
            EXPECT_TRUE(std::all_of(stats.ShortRing2.begin(), stats.ShortRing2.end(),
                                    [](int32_t v) { return v == 0; }));
        }
    });
    EXPECT_EQ(h.app.settings().Sweep, 60.0);
    EXPECT_EQ(h.app.settings().AverageTime, 1.0);
}

TEST_F(SetupWindowTest, UserFullScaleMovesTheShownTargetsAndThreshold) {
    Start();  // scale 2, Full Scale 95, targets -10 and -20, threshold -30
    Show([&](TForm2& dialog) {
        auto* scale = ControlAt<QComboBox>(dialog, kScaleSelect);
        QLineEdit* fullScale = ControlAt<QLineEdit>(dialog, kEditFullScale);
        QLabel* target1 = ControlAt<QLabel>(dialog, kLabel25);
        QLabel* target2 = ControlAt<QLabel>(dialog, kLabel27);
        QLabel* threshold = ControlAt<QLabel>(dialog, kLabel16);
        ASSERT_NE(scale, nullptr);
        ASSERT_NE(fullScale, nullptr);
        ASSERT_NE(target1, nullptr);
        ASSERT_NE(target2, nullptr);
        ASSERT_NE(threshold, nullptr);
        auto shown = [&] {
            return (QStringList{target1->text(), target2->text(), threshold->text()})
                .join(' ')
                .toStdString();
        };

        EXPECT_EQ(shown(), "-10dB -20dB -30dB");
        EXPECT_FALSE(fullScale->isEnabled());

        QTest::keyClick(scale, Qt::Key_End);  // "User Full Scale"
        EXPECT_EQ(h.app.settings().Scale, kUserFullScale);
        EXPECT_TRUE(fullScale->isEnabled());
        EXPECT_EQ(shown(), "85dB 75dB 65dB");

        TypeOver(*fullScale, "100");
        EXPECT_EQ(h.app.settings().FullScale, 100);
        EXPECT_EQ(h.app.settings().DisplayOffset, 100);
        EXPECT_EQ(shown(), "90dB 80dB 70dB");

        // Another scale shows the stored levels again, which never moved.
        QTest::keyClick(scale, Qt::Key_Home);
        EXPECT_FALSE(fullScale->isEnabled());
        EXPECT_EQ(shown(), "-10dB -20dB -30dB");
    });
    const TMeterSettings& s = h.app.settings();
    EXPECT_EQ(s.UpperVol, -10);
    EXPECT_EQ(s.LowerVol, -20);
    EXPECT_EQ(s.Threshold, -30);
    EXPECT_EQ(s.FullScale, 100);
}

TEST_F(SetupWindowTest, LockNeedsTheExactPasswordToLiftAndOutlastsTheShowing) {
    Start();
    struct Step {
        std::optional<std::string> answer;  // nullopt: Cancel
        const char* prompt;                 // the input box's caption
        bool locked;
    };
    auto click = [&](TForm2& dialog, const Step& step) {
        SCOPED_TRACE(step.answer.value_or("(cancel)"));
        auto* lockSet = Captioned<QCheckBox>(dialog, "LockSettings");
        auto* onTop = Captioned<QCheckBox>(dialog, "Always on top");
        auto* lockedText = Captioned<QLabel>(dialog, "Settings are locked");
        auto* save = Captioned<QPushButton>(dialog, "Save and Close");
        ASSERT_NE(lockSet, nullptr);
        ASSERT_NE(onTop, nullptr);
        ASSERT_NE(lockedText, nullptr);
        ASSERT_NE(save, nullptr);

        h.dialogs.inputAnswers.push_back(step.answer);
        const size_t asked = h.dialogs.inputRequests.size();
        QTest::mouseClick(lockSet, Qt::LeftButton);
        ASSERT_EQ(h.dialogs.inputRequests.size(), asked + 1);
        EXPECT_EQ(h.dialogs.inputRequests.back().caption, step.prompt);

        EXPECT_EQ(h.app.settings().Locked, step.locked);
        EXPECT_EQ(lockSet->isChecked(), step.locked);
        for (QPoint where : kPanels) {
            QFrame* panel = PanelAt(dialog, where);
            ASSERT_NE(panel, nullptr);
            EXPECT_EQ(panel->isEnabled(), !step.locked);
        }
        EXPECT_EQ(onTop->isEnabled(), !step.locked);
        EXPECT_EQ(lockedText->isVisible(), step.locked);
        EXPECT_TRUE(lockSet->isEnabled());
        EXPECT_TRUE(save->isEnabled());
    };

    Show([&](TForm2& dialog) {
        click(dialog, {std::nullopt, "LOCK Settings", false});
        click(dialog, {"Tarn42", "LOCK Settings", true});
        EXPECT_EQ(h.app.settings().password, "Tarn42");
        click(dialog, {"tarn42", "Unlock Settings", true});  // letter case counts
        click(dialog, {std::nullopt, "Unlock Settings", true});
        EXPECT_EQ(h.app.settings().password, "Tarn42");
    });
    // The next showing opens locked.
    Show([&](TForm2& dialog) {
        QFrame* panel1 = PanelAt(dialog, kPanels[2]);
        auto* lockedText = Captioned<QLabel>(dialog, "Settings are locked");
        ASSERT_NE(panel1, nullptr);
        ASSERT_NE(lockedText, nullptr);
        EXPECT_FALSE(panel1->isEnabled());
        EXPECT_TRUE(lockedText->isVisible());
        click(dialog, {"Tarn42", "Unlock Settings", false});
        EXPECT_EQ(h.app.settings().password, "");
    });
    // The dialog tells nothing; the box and the panels say it all.
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_EQ(saves, 0);
}

TEST_F(SetupWindowTest, CloseBoxStillSwitchesToTheChosenInputDevice) {
    h.wave.names = {"Built-in Audio Analog Stereo", " USB Microphone"};
    Start();
    ASSERT_EQ(h.wave.openedDevice, 0);
    const int resets = h.wave.resetCalls;
    const int closes = h.wave.closeCalls;

    Show([&](TForm2& dialog) {
        auto* devices = ControlAt<QComboBox>(dialog, kComboBox1);
        ASSERT_NE(devices, nullptr);
        ASSERT_EQ(devices->count(), 2);
        EXPECT_EQ(devices->itemText(1).toStdString(), "USB Microphone");  // the leading blank goes
        EXPECT_EQ(devices->currentIndex(), 0);
        QTest::keyClick(devices, Qt::Key_Down);
        EXPECT_EQ(devices->currentIndex(), 1);
        // The device changes only when the dialog closes.
        EXPECT_EQ(h.app.settings().DeviceIndex, 0);
        EXPECT_EQ(h.wave.openedDevice, 0);
    });
    const TMeterSettings& s = h.app.settings();
    EXPECT_EQ(s.DeviceIndex, 1);
    EXPECT_EQ(s.DeviceName, "USB Microphone");
    EXPECT_EQ(h.wave.resetCalls, resets + 1);
    EXPECT_EQ(h.wave.closeCalls, closes + 1);
    EXPECT_EQ(h.wave.openedDevice, 1);
    EXPECT_TRUE(h.wave.started);
    // The new device's blocks reach the meter.
    const int delivered = h.wave.delivered;
    EXPECT_TRUE(h.wave.DeliverSteady(fakes::Frame{1000, 1000}));
    EXPECT_EQ(h.wave.delivered, delivered + 1);
    EXPECT_EQ(saves, 0);

    // The next showing has the new device selected; closing again leaves it be.
    Show([&](TForm2& dialog) {
        auto* devices = ControlAt<QComboBox>(dialog, kComboBox1);
        ASSERT_NE(devices, nullptr);
        EXPECT_EQ(devices->currentIndex(), 1);
    });
    EXPECT_EQ(h.wave.resetCalls, resets + 1);
    EXPECT_EQ(h.app.settings().DeviceIndex, 1);
}

}  // namespace
}  // namespace tarnwick
