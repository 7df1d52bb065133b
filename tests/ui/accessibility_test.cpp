// What a screen reader finds, through Qt's accessibility interface: every
// control a user can act on in the main window and in both setup dialogs has
// a name, and the names say what each control does or shows.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFrame>
#include <QStringList>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/capture_format.h"
#include "core/fakes.h"
#include "ui/main_window.h"
#include "ui/meter_description.h"

namespace tarnwick {
namespace {

// An element as a screen reader says it: its name, and the text of the
// labels it is labelled by (how a list's caption reaches it on this desktop).
struct Element {
    QAccessible::Role role;
    QString name;
    QString description;
    QString label;
    bool Called(const QString& words) const { return name == words || label == words; }
};

// The roles of what a user acts on: buttons of every kind, boxes, fields,
// lists to choose from and menu items.
bool Interactive(QAccessible::Role role) {
    static const QAccessible::Role kRoles[] = {
        QAccessible::Button,         QAccessible::CheckBox,     QAccessible::RadioButton,
        QAccessible::ComboBox,       QAccessible::EditableText, QAccessible::SpinBox,
        QAccessible::Slider,         QAccessible::MenuItem,     QAccessible::ButtonMenu,
        QAccessible::ButtonDropDown, QAccessible::PageTab,      QAccessible::Link,
    };
    return std::find(std::begin(kRoles), std::end(kRoles), role) != std::end(kRoles);
}

void Walk(QAccessibleInterface* node, std::vector<Element>& found) {
    if (node == nullptr || !node->isValid()) {
        return;
    }
    QStringList labels;
    for (const auto& [other, relation] : node->relations(QAccessible::Label)) {
        labels << other->text(QAccessible::Name).trimmed();
    }
    found.push_back({node->role(), node->text(QAccessible::Name).trimmed(),
                     node->text(QAccessible::Description), labels.join(' ')});
    for (int i = 0; i < node->childCount(); ++i) {
        Walk(node->child(i), found);
    }
}

std::vector<Element> Tree(QWidget& window) {
    std::vector<Element> found;
    Walk(QAccessible::queryAccessibleInterface(&window), found);
    return found;
}

// Every interactive element has a name; the list of them is the message.
void ExpectEveryControlNamed(const std::vector<Element>& tree, const char* window) {
    std::string unnamed;
    std::string all;
    for (const Element& e : tree) {
        if (Interactive(e.role)) {
            all += "  [" + e.label.toStdString() + "] " + e.name.toStdString() + "\n";
            if (e.name.isEmpty() && e.label.isEmpty()) {
                unnamed += " role " + std::to_string(static_cast<int>(e.role));
            }
        }
    }
    EXPECT_EQ(unnamed, "") << window << " has unnamed controls; the named ones:\n" << all;
}

std::vector<QString> NamesOf(const std::vector<Element>& tree, QAccessible::Role role) {
    std::vector<QString> names;
    for (const Element& e : tree) {
        if (e.role == role) {
            names.push_back(e.name);
        }
    }
    return names;
}

bool Has(const std::vector<QString>& names, const QString& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The element named `words`.
const Element* Named(const std::vector<Element>& tree, const QString& words) {
    for (const Element& e : tree) {
        if (e.name == words) {
            return &e;
        }
    }
    return nullptr;
}

// The element a user acts on that is called `words`, by its name or label.
const Element* Control(const std::vector<Element>& tree, const QString& words) {
    for (const Element& e : tree) {
        if (Interactive(e.role) && e.Called(words)) {
            return &e;
        }
    }
    return nullptr;
}

TEST(Accessibility, TheMainWindowNamesEveryControlAndReadout) {
    fakes::AppHarness h;
    h.app.FormCreate(1, DefaultSettings());
    TForm1 form(h.app, h.dialogs, h.shell, h.text, nullptr, nullptr);
    form.FormShow();
    h.wave.DeliverSteady(fakes::Frame{3277, 3277});
    const QString peak = QString::fromStdString(h.app.view().PeakDisplay).trimmed();
    ASSERT_TRUE(peak.startsWith("-")) << peak.toStdString();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Named(Tree(form), "Peak level dB: " + peak) != nullptr; }, 1000))
        << "the peak readout is not read as caption: value";

    std::vector<Element> tree = Tree(form);
    ExpectEveryControlNamed(tree, "the main window");
    const std::vector<QString> buttons = NamesOf(tree, QAccessible::Button);
    for (const char* hint : {"Open new log file", "Close current log file", "Replay test sample",
                             "Capture current screen", "Setup log file options",
                             "Setup program options", "Window size", "Start test"}) {
        EXPECT_TRUE(Has(buttons, hint)) << "no button named " << hint;
    }
    for (const char* menu : {"File", "Options", "View", "Help", "Replay Test Sample"}) {
        EXPECT_TRUE(Has(NamesOf(tree, QAccessible::MenuItem), menu)) << "no menu item " << menu;
    }
    for (const char* readout : {"Short term average dB", "Run time average dB", "Run time",
                                "Time over target 1", "Time under target 2"}) {
        const auto named = [&](const Element& e) { return e.name.startsWith(readout); };
        EXPECT_TRUE(std::any_of(tree.begin(), tree.end(), named)) << "no readout " << readout;
    }
    // The picture tells the level within a second.
    const QString described = "Peak level " + peak + " dB, over lamp off";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const std::vector<Element> now = Tree(form);
            const Element* meter = Named(now, "Meter");
            return meter != nullptr && meter->description == described;
        },
        1500))
        << "the meter picture does not describe the level";

    // Started, the button says what it does now.
    form.HandleKey(Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Has(NamesOf(Tree(form), QAccessible::Button), "Stop test"); }, 1000));
    form.hide();
}

TEST(Accessibility, BothSetupDialogsNameEveryControl) {
    fakes::AppHarness h;
    h.Create(DefaultSettings());
    TConfigDialog config(h.app, h.dialogs, nullptr, U'.');
    TForm2 setup(config, nullptr);
    config.Open();
    setup.Render();
    const std::vector<Element> tree = Tree(setup);
    ExpectEveryControlNamed(tree, "Program Setup");
    for (const char* field :
         {"Input Selection", "Channel", "Graph Top, dB below fsd", "Average Time, seconds",
          "Sweep Time, seconds", "Meter Scale", "User Full Scale, dB", "Auto Start level, dB",
          "Loudness Target", "Lower Target 1", "Raise Target 1", "Lower Target 2", "Raise Target 2",
          "Lower Threshold", "Raise Threshold", "Graph background colour",
          "Low colour, Threshold"}) {
        EXPECT_NE(Control(tree, field), nullptr) << "no control called " << field;
    }
    const Element* block = Control(tree, "Graph background colour");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->role, QAccessible::Button);
    // Reached with Tab, a block opens the colour dialog with Space or Enter.
    for (QFrame* frame : setup.findChildren<QFrame*>()) {
        if (frame->accessibleName() == "Graph background colour") {
            EXPECT_TRUE(frame->focusPolicy() & Qt::TabFocus);
            QTest::keyClick(frame, Qt::Key_Space);
            QTest::keyClick(frame, Qt::Key_Return);
        }
    }
    EXPECT_EQ(h.dialogs.colourPresets.size(), 2u);

    TResultsDialog results(h.app, h.shell, nullptr);
    TForm4 resultsWindow(results, nullptr);
    ExpectEveryControlNamed(Tree(resultsWindow), "Test Results Setup");
}

TEST(Accessibility, TheSoundLevelWindowAndItsSetupNameEveryControl) {
    fakes::AppHarness h;
    h.app.FormCreate(1, DefaultSettings());
    std::string error;
    ASSERT_TRUE(h.app.MeasureSoundLevel(kSampleRate, 2, true, error)) << error;
    TForm1 form(h.app, h.dialogs, h.shell, h.text, nullptr, nullptr);
    form.FormShow();
    form.HandleKey(Qt::Key_P);
    QWidget* window = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowTitle() == "Sound Level" && top->isVisible()) {
            window = top;
        }
    }
    ASSERT_NE(window, nullptr) << "P opened no Sound Level window";
    h.wave.DeliverSteady(fakes::Frame{3277, 3277});
    // Its figures are read out as its description, the calibration with them.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QString said = window->accessibleDescription();
            return said.startsWith("LAF ") && said.contains("uncalibrated");
        },
        1500))
        << window->accessibleDescription().toStdString();
    EXPECT_EQ(window->accessibleName(), "Sound Level");
    ExpectEveryControlNamed(Tree(*window), "Sound Level");
    form.HandleKey(Qt::Key_P);
    EXPECT_FALSE(window->isVisible()) << "P closes it again";

    TSoundLevelDialog model(h.app, h.dialogs, nullptr, U'.');
    TSoundLevelSetupWindow setup(model, h.app, nullptr);
    model.FormShow();
    setup.ToControls();
    const std::vector<Element> tree = Tree(setup);
    ExpectEveryControlNamed(tree, "Sound Level Setup");
    for (const char* control :
         {"Channel", "Sensitivity, dB SPL of a full-scale sine; empty: uncalibrated",
          "Calibrate with a sound calibrator", "Limit on LAeq, dB(A); empty: none", "Limit time T",
          "Warning margin, dB under the limit", "LCpeak limit, dB(C); empty: none",
          "LAFmax limit, dB(A); empty: none", "Statistical levels LN, percent",
          "Exposure criterion, dB(A) of a 100 % dose", "Exchange rate"}) {
        EXPECT_NE(Control(tree, control), nullptr) << "no control called " << control;
    }
    TResultsDialog results(h.app, h.shell, nullptr);
    TForm4 resultsWindow(results, nullptr);
    EXPECT_NE(Control(Tree(resultsWindow), "Add sound level to the results"), nullptr);
    form.hide();
}

// Every side window is a window under its title to a screen reader, and says
// its figures as its description.
TEST(Accessibility, EverySideWindowIsAWindowThatSaysItsFigures) {
    fakes::AppHarness h;
    h.app.FormCreate(1, DefaultSettings());
    std::string error;
    ASSERT_TRUE(h.app.MeasureSoundLevel(kSampleRate, 2, true, error)) << error;
    h.app.MeasureLoudness(kSampleRate, true);
    TForm1 form(h.app, h.dialogs, h.shell, h.text, nullptr, nullptr);
    form.FormShow();
    form.NumericDisplay1Click();
    form.HandleKey(Qt::Key_L);
    form.HandleKey(Qt::Key_P);
    form.HandleKey(Qt::Key_B);
    form.HandleKey(Qt::Key_Space);
    h.wave.DeliverSteady(fakes::Frame{3277, 3277});  // -20 dBFS
    const struct {
        const char* title;
        const char* saysFirst;
        const char* saysToo;
    } windows[] = {
        {"Peak Level dB", "Peak level -20.", " dB"},
        {"Loudness", "Momentary -", "true peak max -20."},
        {"Sound Level", "LAF ", "uncalibrated"},
        {"Spectrum", "1000 Hz: ", "uncalibrated"},
    };
    for (const auto& w : windows) {
        QWidget* window = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            window = top->windowTitle() == w.title && top->isVisible() ? top : window;
        }
        ASSERT_NE(window, nullptr) << "no " << w.title << " window";
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(window);
        ASSERT_NE(spoken, nullptr);
        EXPECT_EQ(spoken->role(), QAccessible::Window) << w.title;
        EXPECT_EQ(spoken->text(QAccessible::Name), w.title);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QString said = spoken->text(QAccessible::Description);
                return said.startsWith(w.saysFirst) && said.contains(w.saysToo);
            },
            1500))
            << w.title << ": " << spoken->text(QAccessible::Description).toStdString();
    }
    form.hide();
}

// The meter picture's description follows the level at most once a second,
// on a clock of the test's own.
TEST(Accessibility, TheMeterDescriptionChangesAtMostOnceASecond) {
    DescriptionPacer pacer(1000);
    struct Step {
        int64_t ms;
        const char* text;
        const char* given;  // null: nothing given
    };
    const Step steps[] = {
        {0, "a", "a"},    {40, "b", nullptr},   {999, "c", nullptr},
        {1000, "c", "c"}, {1100, "c", nullptr}, {2500, "c", nullptr},
        {2600, "d", "d"}, {2700, "c", nullptr}, {3600, "c", "c"},
    };
    for (const Step& s : steps) {
        const std::optional<std::string> given = pacer.Offer(s.ms, s.text);
        EXPECT_EQ(given.value_or("(nothing)"), s.given != nullptr ? s.given : "(nothing)")
            << "at " << s.ms << " ms";
    }
    EXPECT_EQ(MeterDescription("low ", true), "Peak level low, over lamp lit");
}

}  // namespace
}  // namespace tarnwick
