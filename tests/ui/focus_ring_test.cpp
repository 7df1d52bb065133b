// The keyboard focus is seen: a ring goes round the control Tab reaches, not
// round one that was clicked, and its two lines stand 3:1 or more from every
// colour the windows put behind it (WCAG 2.2, 1.4.11 and 2.4.7). A dialog opens
// with the focus on its first control.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "ui/focus_ring.h"

namespace tarnwick {
namespace {

double Luminance(unsigned rgb) {
    const auto channel = [](unsigned c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel((rgb >> 16) & 0xFF) + 0.7152 * channel((rgb >> 8) & 0xFF) +
           0.0722 * channel(rgb & 0xFF);
}

double Contrast(unsigned a, unsigned b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(FocusRing, StandsOutFromEveryBackgroundOfTheWindows) {
    const unsigned backgrounds[] = {
        0x4D5561,  // the main window
        0x616B7A,  // its readout panel
        0xEFEFEF,  // a dialog
        0xFFFFFF,  // a field
        0x000000,  // the meter picture
        0x1C2026,  // the Loudness window's graph
        0xFF0000,  // a target's colour block
        0xFFD200,  // the ring's own yellow, on a yellow block
    };
    for (const unsigned background : backgrounds) {
        const double best = std::max(Contrast(FocusRing::kBrightRgb, background),
                                     Contrast(FocusRing::kDarkRgb, background));
        EXPECT_GE(best, 3.0) << std::hex << background;
    }
}

TEST(FocusRing, GoesRoundWhatTabReachesAndTheFirstControlOfADialog) {
    const FocusRing ring;
    struct Dialog : QDialog {
        void showEvent(QShowEvent* event) override {
            QDialog::showEvent(event);
            FocusFirstControl(*this);
        }
    } dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* hidden = new QLineEdit(&dialog);
    hidden->hide();
    auto* first = new QCheckBox("first", &dialog);
    auto* second = new QPushButton("second", &dialog);
    layout->addWidget(hidden);
    layout->addWidget(first);
    layout->addWidget(second);
    second->setFocus();  // the control used last time
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(QTest::qWaitFor([&] { return first->hasFocus(); }, 1000));
    EXPECT_EQ(ring.Around(), first);

    QTest::keyClick(&dialog, Qt::Key_Tab);
    EXPECT_TRUE(second->hasFocus());
    EXPECT_EQ(ring.Around(), second);

    first->setFocus(Qt::MouseFocusReason);  // a click shows itself
    EXPECT_EQ(ring.Around(), nullptr);
    second->setFocus(Qt::TabFocusReason);
    second->hide();  // not left round a control that is gone
    EXPECT_NE(ring.Around(), second);
}

}  // namespace
}  // namespace tarnwick
