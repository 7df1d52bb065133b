// The results setup dialog as a window: typing in the period boxes reaches the
// settings and the schedule key by key, and OK applies the rest.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "core/fakes.h"
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

TEST(ResultsWindow, PeriodBoxesApplyOnEveryKeyAndFilterWhatIsTyped) {
    fakes::AppHarness h;
    h.Create(DefaultSettings());
    int saves = 0;
    TResultsDialog model(h.app, h.shell, [&] { ++saves; });
    TForm4 window(model, nullptr);
    model.FormShow();
    // What FormShow loaded reaches the widgets when the window opens.
    QTimer::singleShot(0, &window, [&] {
        QLineEdit* hours = EditAt(window, 208, 181);
        QLineEdit* minutes = EditAt(window, 288, 181);
        QLineEdit* onTheHour = EditAt(window, 208, 245);
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
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            if (button->text() == "OK") {
                button->click();
            }
        }
    });
    window.ShowModal();
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(model.closed());
}

}  // namespace
}  // namespace tarnwick
