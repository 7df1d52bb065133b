// The results setup dialog as a window: typing in the period boxes reaches the
// settings and the schedule key by key, the close box keeps what they applied,
// and OK applies the rest, the loudness box included.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <array>
#include <optional>
#include <ostream>
#include <string>

#include "core/fakes.h"
#include "results/save_schedule.h"
#include "ui/key_typing.h"
#include "ui/results_window.h"

namespace tarnwick {
namespace {

QLineEdit* EditAt(QWidget& window, int x, int y) {
    for (QLineEdit* edit : window.findChildren<QLineEdit*>()) {
        if (edit->geometry().topLeft() == QPoint(x, y)) {
            return edit;
        }
    }
    return nullptr;
}

// The hours, minutes and on-the-hour boxes; null where a box is missing.
std::array<QLineEdit*, 3> PeriodBoxes(QWidget& window) {
    return {EditAt(window, 208, 181), EditAt(window, 288, 181), EditAt(window, 208, 245)};
}

TEST(ResultsWindow, PeriodBoxesApplyOnEveryKeyAndFilterWhatIsTyped) {
    fakes::AppHarness h;
    h.Create(DefaultSettings());
    int saves = 0;
    TResultsDialog model(h.app, h.shell, [&] { ++saves; });
    TForm4 window(model, nullptr);
    model.FormShow();
    // What FormShow loaded reaches the widgets when the window opens.
    QTimer::singleShot(0, &window, [&] {
        auto [hours, minutes, onTheHour] = PeriodBoxes(window);
        if (hours == nullptr || minutes == nullptr || onTheHour == nullptr) {
            ADD_FAILURE() << "the period boxes are not where they belong";
            window.reject();
            return;
        }
        EXPECT_EQ(minutes->text(), "15");
        hours->clear();
        QTest::keyClicks(hours, "1x");  // the letter is dropped
        EXPECT_EQ(hours->text(), "1");
        minutes->clear();
        QTest::keyClicks(minutes, "30");
        EXPECT_EQ(h.app.settings().SaveMins, 90);
        onTheHour->clear();
        QTest::keyClicks(onTheHour, "25");
        EXPECT_EQ(h.app.settings().SaveHours, 24);
        for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
            if (box->text().toStdString() == kResultsCBLoudness) {
                box->click();
            }
        }
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            if (button->text() == "OK") {
                button->click();
            }
        }
    });
    window.ShowModal();
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(model.closed());
    EXPECT_TRUE(h.app.settings().LoudnessInResults);
}

TEST(ResultsWindow, PeriodBoxesDropEveryCharacterButTheDigits) {
    fakes::AppHarness h;
    h.Create(DefaultSettings());
    TResultsDialog model(h.app, h.shell, [] {});
    TForm4 window(model, nullptr);
    QTimer::singleShot(0, &window, [&] {
        for (QPoint where : {QPoint(208, 181), QPoint(288, 181), QPoint(208, 245)}) {
            QLineEdit* box = EditAt(window, where.x(), where.y());
            if (box == nullptr) {
                ADD_FAILURE() << "no period box at " << where.x() << "," << where.y();
                continue;
            }
            box->clear();
            // Superscripts, fractions and accented letters are on many keyboards.
            TypeKeys(*box, QString::fromUtf8("2\u00b2\u00bd-\u00e9 1"));
            EXPECT_EQ(box->text().toStdString(), "21");
        }
        window.close();
    });
    window.ShowModal();
    EXPECT_EQ(h.app.settings().SaveMins, 21 * 60 + 21);
    EXPECT_EQ(h.app.settings().SaveHours, 21);
}

// One period row edit: what is typed over each box ("" empties it, nullopt
// leaves it alone), and what the settings and the schedule show afterwards.
struct PeriodRow {
    const char* name;
    std::optional<QString> hours;
    std::optional<QString> minutes;
    bool arrowInMinutes;  // a key that changes no text
    std::optional<QString> onTheHour;
    int32_t saveMins;
    int32_t saveHours;
    bool minuteSaveMoved;  // re-scheduled from the moment of typing
    bool hourSaveMoved;
};

void PrintTo(const PeriodRow& row, std::ostream* out) {
    *out << row.name;
}

class PeriodRows : public testing::TestWithParam<PeriodRow> {};

void TypeOver(QLineEdit& box, const QString& keys) {
    box.selectAll();
    if (keys.isEmpty()) {
        QTest::keyClick(&box, Qt::Key_Backspace);
    } else {
        QTest::keyClicks(&box, keys);
    }
}

TEST_P(PeriodRows, KeyReleaseAppliesTheRowAndTheCloseBoxKeepsIt) {
    const PeriodRow& row = GetParam();
    fakes::AppHarness h;
    TMeterSettings stored = DefaultSettings();  // Save Mins 15
    stored.SaveHours = 6;
    h.Create(stored);
    int saves = 0;
    TResultsDialog model(h.app, h.shell, [&] { ++saves; });
    TForm4 window(model, nullptr);

    QTimer::singleShot(0, &window, [&] {
        auto [hours, minutes, onTheHour] = PeriodBoxes(window);
        if (hours == nullptr || minutes == nullptr || onTheHour == nullptr) {
            ADD_FAILURE() << "the period boxes are not where they belong";
            window.close();
            return;
        }
        h.AdvanceTo(60'000);  // 14:31:00, so that a re-scheduled save shows
        const LocalDateTime now = h.clock.Now();
        const TTestRun before = h.app.testRun();
        if (row.hours) {
            TypeOver(*hours, *row.hours);
        }
        if (row.minutes) {
            TypeOver(*minutes, *row.minutes);
        }
        if (row.arrowInMinutes) {
            QTest::keyClick(minutes, Qt::Key_Right);
        }
        if (row.onTheHour) {
            TypeOver(*onTheHour, *row.onTheHour);
        }
        EXPECT_EQ(h.app.settings().SaveMins, row.saveMins);
        EXPECT_EQ(h.app.settings().SaveHours, row.saveHours);
        const TTestRun& run = h.app.testRun();
        EXPECT_EQ(
            run.NextMinuteSaveTime.ms,
            (row.minuteSaveMoved ? MinutesFromNow(now, row.saveMins) : before.NextMinuteSaveTime)
                .ms);
        EXPECT_EQ(run.NextHourSaveTime.ms,
                  (row.hourSaveMoved ? fakes::At(2026, 12, 8, 15, 0) : before.NextHourSaveTime).ms);
        window.close();  // the close box, not OK
    });
    window.ShowModal();
    EXPECT_FALSE(model.closed());
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(h.app.settings().SaveMins, row.saveMins);
    EXPECT_EQ(h.app.settings().SaveHours, row.saveHours);

    // The next showing splits the period afresh, whatever was typed.
    QTimer::singleShot(0, &window, [&] {
        auto [hours, minutes, onTheHour] = PeriodBoxes(window);
        if (hours != nullptr && minutes != nullptr && onTheHour != nullptr) {
            EXPECT_EQ(hours->text().toInt(), row.saveMins / 60);
            EXPECT_EQ(minutes->text().toInt(), row.saveMins % 60);
            EXPECT_EQ(onTheHour->text().toInt(), row.saveHours);
        }
        window.close();
    });
    window.ShowModal();
}

INSTANTIATE_TEST_SUITE_P(
    ResultsWindow, PeriodRows,
    testing::Values(
        PeriodRow{"NoHoursNoMinutesSaveEveryMinute", "0", "0", false, {}, 1, 6, true, false},
        PeriodRow{"ThirtyHoursStopAtADay", "30", "0", false, {}, 1440, 6, true, false},
        // Reopened, 90 minutes show as 1 hour 30.
        PeriodRow{"NinetyMinutesNeedNoHours", "0", "90", false, {}, 90, 6, true, false},
        PeriodRow{"EmptiedMinutesKeepThePeriodAndItsSave", {}, "", false, {}, 15, 6, false, false},
        PeriodRow{"EmptiedHoursLeaveTheMinutesAlone", "", "45", false, {}, 45, 6, true, false},
        PeriodRow{"AnArrowKeyMovesTheSaveWithoutAChange", {}, {}, true, {}, 15, 6, true, false},
        PeriodRow{"NoHoursOnTheHourMeanEveryHour", {}, {}, false, "0", 15, 1, false, true},
        // The hourly save moves to the next whole hour even so.
        PeriodRow{"EmptiedOnTheHourKeepsItsHours", {}, {}, false, "", 15, 6, false, true}),
    [](const testing::TestParamInfo<PeriodRow>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tarnwick
